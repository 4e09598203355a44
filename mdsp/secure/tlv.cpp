#include "secure/tlv.h"

#include <cstdlib>
#include <cstring>

#include "errors.h"

namespace mdsp {

TlvItems::~TlvItems() { std::free(block_); }

bool TlvItems::Reserve(size_t items, size_t bytes) {
  if (itemRoom_ - count_ >= items && valueRoom_ - valueBytes_ >= bytes) return true;
  const size_t itemRoom = count_ + items > itemRoom_ ? count_ + items : itemRoom_;
  const size_t valueRoom = valueBytes_ + bytes > valueRoom_ ? valueBytes_ + bytes : valueRoom_;
  void* block = std::malloc(itemRoom * sizeof(TlvItem) + valueRoom);
  if (!block) return false;
  auto* heads = static_cast<TlvItem*>(block);
  uint8_t* values = static_cast<uint8_t*>(block) + itemRoom * sizeof(TlvItem);
  if (valueBytes_ > 0) std::memcpy(values, Values(), valueBytes_);
  // Values lie back to back in item order, so each one's new place follows
  // from the lengths before it.
  size_t at = 0;
  for (size_t i = 0; i < count_; ++i) {
    heads[i] = TlvItem{Heads()[i].tag, Heads()[i].length, values + at};
    at += heads[i].length;
  }
  std::free(block_);
  block_ = block;
  itemRoom_ = itemRoom;
  valueRoom_ = valueRoom;
  return true;
}

bool TlvItems::Append(uint8_t tag, uint8_t length, const void* value) {
  // A quarter more each time it grows: a list built one item at a time
  // moves rarely, and a list made to measure keeps little spare room.
  if ((count_ == itemRoom_ || valueRoom_ - valueBytes_ < length) &&
      !Reserve(1 + count_ / 4, length + valueBytes_ / 4))
    return false;
  uint8_t* at = Values() + valueBytes_;
  if (length > 0) std::memcpy(at, value, length);
  Heads()[count_++] = TlvItem{tag, length, at};
  valueBytes_ += length;
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
  size_t items = 0, valueBytes = 0, end = 0;
  while (end != length && length - end >= 2 && bytes[end + 1] <= length - end - 2) {
    ++items;
    valueBytes += bytes[end + 1];
    end += 2 + bytes[end + 1];
  }
  if (!list.items.Reserve(items, valueBytes)) {
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

size_t TlvEncodedSize(const TlvList& list) {
  size_t total = 0;
  for (size_t i = 0; i < list.items.count(); ++i) total += 2 + list.items[i]->length;
  return total;
}

size_t TlvConcatenate(const TlvList& list, uint8_t* out, size_t capacity) {
  size_t written = 0;
  for (size_t i = 0; i < list.items.count(); ++i) {
    const TlvItem* item = list.items[i];
    // Stop rather than skip, so what was written is always a prefix of the list.
    if (capacity - written < 2u + item->length) break;
    out[written] = item->tag;
    out[written + 1] = item->length;
    std::memcpy(out + written + 2, item->value, item->length);
    written += 2 + item->length;
  }
  return written;
}

}  // namespace mdsp
