// Building and serializing secure requests.
#include <cstring>

#include "base/errors.h"
#include "base/log.h"
#include "secure/digest.h"
#include "secure/message.h"

namespace mdsp {

bool Build(Message& message, const uint8_t destination[6], uint8_t type, uint32_t seed,
           const uint8_t* payload, size_t payloadLength, const char* password) {
  size_t blockLength = password ? kAuthBlockSize : 0;
  // The length field is 16 bits and the payload area fixed: refuse before
  // either could be overrun. Serialize enforces the datagram limit.
  if (payloadLength > kPayloadArea) {
    ReportError(ERR_MESSAGE_TOO_LONG);
    return false;
  }
  message.magic = kSecureMagic;
  std::memcpy(message.destinationMac, destination, 6);
  message.flags = 0;
  message.type = type;
  message.length = static_cast<uint16_t>(payloadLength + blockLength);
  std::memset(message.payload, 0, sizeof message.payload);
  std::memset(message.seed, 0, sizeof message.seed);
  std::memset(message.digest, 0, sizeof message.digest);
  message.authenticated = false;
  if (password) {
    std::memcpy(message.seed, &seed, 4);
    if (!ComputeAuthDigest(password, message.seed, payload, payloadLength, message.digest)) {
      ReportError(ERR_SYSTEM);
      return false;
    }
    message.authenticated = true;
  }
  if (payloadLength > 0) std::memcpy(message.payload, payload, payloadLength);
  return true;
}

size_t Serialize(const Message& message, uint8_t* out) {
  size_t block = message.authenticated ? kAuthBlockSize : 0;
  if (message.length < block) {
    ReportError(ERR_MESSAGE_TOO_LONG);
    return 0;
  }
  size_t payloadLength = message.length - block;
  size_t total = kHeaderSize + block + payloadLength;
  if (total > kMaxDatagram || payloadLength > kPayloadArea) {
    ReportError(ERR_MESSAGE_TOO_LONG);
    return 0;
  }
  out[0] = static_cast<uint8_t>(message.magic);
  out[1] = static_cast<uint8_t>(message.magic >> 8);
  std::memcpy(out + 2, message.destinationMac, 6);
  std::memcpy(out + 8, message.sourceMac, 6);
  out[14] = message.flags;
  out[15] = message.type;
  out[16] = static_cast<uint8_t>(message.length);
  out[17] = static_cast<uint8_t>(message.length >> 8);
  // Written whenever the message is authenticated, seed 0 included, so the
  // datagram always holds the bytes its length field counts.
  if (block) {
    std::memcpy(out + kHeaderSize, message.seed, 4);
    std::memcpy(out + kHeaderSize + 4, message.digest, 32);
  }
  std::memcpy(out + kHeaderSize + block, message.payload, payloadLength);
  return total;
}

}  // namespace mdsp
