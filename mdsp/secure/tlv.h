// Tag-length-value lists: the payload of secure messages and the common
// form in which callers read every module's values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "owned_array.h"

namespace mdsp {

inline constexpr size_t kTlvMaxValue = 255;

struct TlvItem {
  uint8_t tag;
  uint8_t length;
  uint8_t value[kTlvMaxValue];
};

// Items in insertion order; capacity grows 16 at a time.
struct TlvList {
  OwnedArray<TlvItem> items;
};

// Appends a copy of the value; the tag is stored as its low byte. A length
// above 255 fails with ERR_OUT_OF_RANGE; no memory with ERR_NO_MEMORY.
// Nothing is appended then.
bool TlvAppend(TlvList& list, uint32_t tag, size_t length, const void* value);
// Parses a whole TLV sequence; true only when it ends exactly at `length`.
// An item that runs past the end fails with ERR_OUT_OF_RANGE; the items
// before it stay in the list. Never reads past `length`.
bool TlvParse(const uint8_t* bytes, size_t length, TlvList& list);
// First item with the tag; nullptr (ERR_NOT_FOUND recorded, not reported)
// when there is none.
const TlvItem* TlvFind(const TlvList& list, uint8_t tag);
// Bytes TlvConcatenate needs for the whole list; compare it with the room
// available before concatenating to tell a list that does not fit.
size_t TlvEncodedSize(const TlvList& list);
// Writes the items as tag, length, value into `out` (room for `capacity`
// bytes), in list order, and returns the bytes written. It stops before the
// first item that would not fit, so the output is always a prefix of the
// list and never runs past `capacity`.
size_t TlvConcatenate(const TlvList& list, uint8_t* out, size_t capacity);

}  // namespace mdsp
