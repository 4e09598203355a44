// Acceptance of secure datagrams as received on a slot, then the TLV parse a
// Discover reply gets. The slot MAC is fixed; the seed corpus addresses it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "secure/message.h"

namespace {
constexpr uint8_t kSlotMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
constexpr size_t kDatagramCapacity = 1500;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kDatagramCapacity) return 0;
  mdsp::Message* message = mdsp::Accept(data, size, kSlotMac);
  if (!message) return 0;
  if (message->length > size - mdsp::kHeaderSize || !(message->flags & mdsp::kFlagReply) ||
      std::memcmp(message->destinationMac, kSlotMac, 6) != 0)
    std::abort();
  mdsp::TlvParse(message->payload, message->length, message->tlvs);
  delete message;
  return 0;
}
