// Tag-length-value lists: the payload of secure messages and the common
// form in which callers read every module's values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mdsp {

inline constexpr size_t kTlvMaxValue = 255;

// One stored item as it is on the wire: tag, length, then exactly `length`
// value bytes. Items live only inside a list; a pointer to one holds until
// the list grows or goes.
struct TlvItem {
  uint8_t tag;
  uint8_t length;
  uint8_t value[];
};

// The items of one list, in insertion order, in a single block: where each
// item starts, then the items in wire form back to back. A module record is
// in memory thousands of times over, so it costs one allocation of about
// its size on the wire rather than one of the largest value size per item.
class TlvItems {
 public:
  TlvItems() = default;
  ~TlvItems();
  TlvItems(const TlvItems&) = delete;
  TlvItems& operator=(const TlvItems&) = delete;

  size_t count() const { return count_; }
  const TlvItem* operator[](size_t i) const {
    return reinterpret_cast<const TlvItem*>(Wire() + Starts()[i]);
  }
  // The items in wire form, `WireSize()` bytes.
  const uint8_t* Wire() const { return WireArea(); }
  size_t WireSize() const { return wireBytes_; }

  // Room for `items` more items holding `bytes` more value bytes, so they
  // append without moving the block; false when there is no memory (the
  // items already held stay as they are).
  bool Reserve(size_t items, size_t bytes);
  // Copies the value in; grows the block when it is full. False when there
  // is no memory; nothing is appended then.
  bool Append(uint8_t tag, uint8_t length, const void* value);

 private:
  uint32_t* Starts() const { return static_cast<uint32_t*>(block_); }
  uint8_t* WireArea() const { return static_cast<uint8_t*>(block_) + itemRoom_ * sizeof(uint32_t); }

  void* block_ = nullptr;
  size_t count_ = 0;
  size_t itemRoom_ = 0;
  size_t wireBytes_ = 0;
  size_t wireRoom_ = 0;
};

struct TlvList {
  TlvItems items;
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
