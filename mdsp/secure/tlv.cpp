#include "secure/tlv.h"

#include <cstring>
#include <new>

#include "errors.h"

namespace mdsp {

bool TlvAppend(TlvList& list, uint32_t tag, size_t length, const void* value) {
  if (length > kTlvMaxValue) {
    ReportError(ERR_OUT_OF_RANGE);
    return false;
  }
  auto* item = new (std::nothrow) TlvItem;
  if (!item) {
    ReportError(ERR_NO_MEMORY);
    return false;
  }
  item->tag = static_cast<uint8_t>(tag);
  item->length = static_cast<uint8_t>(length);
  if (length > 0) std::memcpy(item->value, value, length);
  if (!list.items.Append(item)) {
    delete item;
    ReportError(ERR_NO_MEMORY);
    return false;
  }
  return true;
}

bool TlvParse(const uint8_t* bytes, size_t length, TlvList& list) {
  size_t at = 0;
  while (at != length) {
    if (length - at < 2 || bytes[at + 1] > length - at - 2) {
      ReportError(ERR_OUT_OF_RANGE);
      return false;
    }
    uint8_t itemLength = bytes[at + 1];
    if (!TlvAppend(list, bytes[at], itemLength, bytes + at + 2)) return false;
    at += 2 + itemLength;
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
