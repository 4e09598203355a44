// TLV parsing: never reads past the input, and whatever parsed concatenates
// back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "state/tlv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  mdsp::TlvList list;
  bool whole = mdsp::TlvParse(data, size, list);
  size_t encoded = mdsp::TlvEncodedSize(list);
  if (whole ? encoded != size : encoded >= size) std::abort();
  uint8_t* out = new uint8_t[encoded + 1];
  size_t written = mdsp::TlvConcatenate(list, out, encoded);
  if (written != encoded || std::memcmp(out, data, written) != 0) std::abort();
  for (size_t i = 0; i < list.items.count(); ++i) {
    const mdsp::TlvItem* first = mdsp::TlvFind(list, list.items[i]->tag);
    if (!first) std::abort();
  }
  delete[] out;
  return 0;
}
