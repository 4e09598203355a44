// Which received secure datagrams are replies for us.
#include <cstring>
#include <new>

#include "base/errors.h"
#include "base/log.h"
#include "secure/message.h"

namespace mdsp {

Message* Accept(const uint8_t* data, size_t length, const uint8_t slotMac[6]) {
  if (length < kHeaderSize) return nullptr;
  uint16_t magic = static_cast<uint16_t>(data[0] | data[1] << 8);
  if (magic != kSecureMagic) return nullptr;
  uint8_t flags = data[14];
  if (!(flags & kFlagReply) || std::memcmp(data + 2, slotMac, 6) != 0) return nullptr;
  uint16_t payloadLength = static_cast<uint16_t>(data[16] | data[17] << 8);
  // A length field the datagram cannot back is a damaged or hostile reply:
  // dropped, rather than cut to a payload the module never meant.
  if (payloadLength > length - kHeaderSize || payloadLength > kPayloadArea) {
    Report(kLogTrace, "Secure datagram dropped: length field %u, %zu bytes received",
           payloadLength, length);
    return nullptr;
  }
  auto* message = new (std::nothrow) Message;
  if (!message) {
    ReportError(ERR_NO_MEMORY);
    return nullptr;
  }
  message->magic = magic;
  std::memcpy(message->destinationMac, data + 2, 6);
  std::memcpy(message->sourceMac, data + 8, 6);
  message->flags = flags;
  message->type = data[15];
  message->length = payloadLength;
  std::memcpy(message->payload, data + kHeaderSize, payloadLength);
  return message;
}

}  // namespace mdsp
