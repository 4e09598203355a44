#include "state/tlv.h"

#include <cstdlib>
#include <cstring>

#include "base/errors.h"
#include "base/log.h"

namespace mdsp {

TlvItems::~TlvItems() { std::free(block_); }

bool TlvItems::Reserve(size_t items, size_t bytes) {
  const size_t wireNeeded = 2 * items + bytes;
  if (itemRoom_ - count_ >= items && wireRoom_ - wireBytes_ >= wireNeeded) return true;
  const size_t itemRoom = count_ + items > itemRoom_ ? count_ + items : itemRoom_;
  const size_t wireRoom =
      wireBytes_ + wireNeeded > wireRoom_ ? wireBytes_ + wireNeeded : wireRoom_;
  void* block = std::malloc(itemRoom * sizeof(uint32_t) + wireRoom);
  if (!block) return false;
  if (count_ > 0) {
    std::memcpy(block, Starts(), count_ * sizeof(uint32_t));
    std::memcpy(static_cast<uint8_t*>(block) + itemRoom * sizeof(uint32_t), Wire(), wireBytes_);
  }
  std::free(block_);
  block_ = block;
  itemRoom_ = itemRoom;
  wireRoom_ = wireRoom;
  return true;
}

bool TlvItems::Append(uint8_t tag, uint8_t length, const void* value) {
  // An eighth more each time it grows: a list built one item at a time
  // moves rarely, and a list made to measure that gets one more item (the
  // secure-module marker) keeps little spare room.
  if ((count_ == itemRoom_ || wireRoom_ - wireBytes_ < 2u + length) &&
      !Reserve(1 + count_ / 8, length + wireBytes_ / 8))
    return false;
  uint8_t* at = WireArea() + wireBytes_;
  at[0] = tag;
  at[1] = length;
  if (length > 0) std::memcpy(at + 2, value, length);
  Starts()[count_++] = static_cast<uint32_t>(wireBytes_);
  wireBytes_ += 2u + length;
  return true;
}

bool TlvAppend(TlvList& list, uint32_t tag, size_t length, const void* value) {
  if (length > kTlvMaxValue) {
    ReportError(ERR_OUT_OF_RANGE);
    return false;
  }
  if (!list.items.Append(static_cast<uint8_t>(tag), static_cast<uint8_t>(length), value)) {
    ReportError(ERR_NO_MEMORY);
    return false;
  }
  return true;
}

bool TlvParse(const uint8_t* bytes, size_t length, TlvList& list) {
  // Measure the whole items first, so the list grows once for all of them.
  size_t items = 0, end = 0;
  while (end != length && length - end >= 2 && bytes[end + 1] <= length - end - 2) {
    ++items;
    end += 2 + bytes[end + 1];
  }
  if (!list.items.Reserve(items, end - 2 * items)) {
    ReportError(ERR_NO_MEMORY);
    return false;
  }
  for (size_t at = 0; at != end; at += 2 + bytes[at + 1])
    list.items.Append(bytes[at], bytes[at + 1], bytes + at + 2);  // room reserved above
  if (end != length) {
    ReportError(ERR_OUT_OF_RANGE);
    return false;
  }
  return true;
}

const TlvItem* TlvFind(const TlvList& list, uint8_t tag) {
  for (size_t i = 0; i < list.items.count(); ++i)
    if (list.items[i]->tag == tag) return list.items[i];
  RecordError(ERR_NOT_FOUND);
  return nullptr;
}

size_t TlvEncodedSize(const TlvList& list) { return list.items.WireSize(); }

size_t TlvConcatenate(const TlvList& list, uint8_t* out, size_t capacity) {
  // The list is kept in wire form: the output is its longest prefix of whole
  // items that fits, never one with an item left out of the middle.
  size_t written = 0;
  for (size_t i = 0; i < list.items.count(); ++i) {
    size_t size = 2u + list.items[i]->length;
    if (capacity - written < size) break;
    written += size;
  }
  if (written > 0) std::memcpy(out, list.items.Wire(), written);
  return written;
}

}  // namespace mdsp
