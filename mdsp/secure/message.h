// Secure datagrams: layout, build, encode, accept and send.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mdsp.h"
#include "state/module_table.h"
#include "state/tlv.h"

namespace mdsp {

inline constexpr uint16_t kSecureMagic = 0xABC1;
inline constexpr size_t kHeaderSize = 18;
inline constexpr size_t kAuthBlockSize = 36;  // seed (4) + digest (32)
inline constexpr size_t kMaxDatagram = 548;
inline constexpr size_t kPayloadArea = 548;
// Largest payloads that still fit one datagram.
inline constexpr size_t kMaxPlainPayload = kMaxDatagram - kHeaderSize;                   // 530
inline constexpr size_t kMaxAuthPayload = kMaxDatagram - kHeaderSize - kAuthBlockSize;  // 494
inline constexpr uint8_t kFlagReply = 0x01;
inline constexpr uint8_t kFlagStatus = 0x02;

enum MessageType : uint8_t {
  kTypeDiscover = 0,
  kTypeAuthentication = 1,
  kTypeConfigure = 2,
  kTypeWink = 3,
  kTypeRestart = 4,
  kTypeMassRestart = 5,
  kTypePing = 255,
};

inline constexpr uint8_t kBroadcastMac[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// One secure datagram, built to send or filled from a received one.
class Message : public BaseMessage {
 public:
  Message();
  void GetMac(uint8_t mac[6]) const override;  // the source MAC

  uint16_t magic = kSecureMagic;
  uint8_t destinationMac[6] = {};
  uint8_t sourceMac[6] = {};
  uint8_t flags = 0;
  uint8_t type = 0;
  uint16_t length = 0;  // bytes after the header, auth block included
  uint8_t payload[kPayloadArea];
  uint8_t seed[4] = {};
  uint8_t digest[32] = {};
  bool authenticated = false;
};

// Fills a request (source MAC left for the sender). With a password the
// message is authenticated: `seed` holds the four seed bytes in memory order
// (as copied out of the Authentication reply), and the digest is taken over
// password, seed and payload. Fails with ERR_MESSAGE_TOO_LONG when the
// payload exceeds the payload area, ERR_SYSTEM when no digest can be made.
bool Build(Message& message, const uint8_t destination[6], uint8_t type, uint32_t seed,
           const uint8_t* payload, size_t payloadLength, const char* password);
// Writes the datagram into out (room for kMaxDatagram bytes) and returns its
// length; 0 with ERR_MESSAGE_TOO_LONG when it would exceed kMaxDatagram.
// An authenticated message always carries its authentication block, also
// with seed 0, so the datagram agrees with its length field.
size_t Serialize(const Message& message, uint8_t* out);
// A new Message filled from a received datagram, or nullptr when it is not a
// reply (flag bit 0) addressed to slotMac, or is malformed: shorter than the
// header, wrong magic, or a length field beyond the received bytes or the
// payload area. Never reads past `length`.
Message* Accept(const uint8_t* data, size_t length, const uint8_t slotMac[6]);

}  // namespace mdsp
