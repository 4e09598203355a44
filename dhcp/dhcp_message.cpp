#include "dhcp_message.h"

#include <cstring>

namespace pelmar {

namespace {

constexpr uint8_t kMagicCookie[4] = {99, 130, 83, 99};

constexpr uint8_t kOptionPad = 0;
constexpr uint8_t kOptionSubnetMask = 1;
constexpr uint8_t kOptionRequestedAddress = 50;
constexpr uint8_t kOptionMessageType = 53;
constexpr uint8_t kOptionServerIdentifier = 54;
constexpr uint8_t kOptionEnd = 255;

}  // namespace

const char* DhcpParseResultName(DhcpParseResult result) {
  switch (result) {
    case DhcpParseResult::kAccepted: return "accepted";
    case DhcpParseResult::kTooShort: return "too short";
    case DhcpParseResult::kTooLong: return "too long";
    case DhcpParseResult::kBadOptionLength: return "bad option length";
    case DhcpParseResult::kTruncatedOption: return "truncated option";
  }
  return "unknown";
}

CDhcpMessage::CDhcpMessage() = default;

void CDhcpMessage::ClearOptions() {
  messageTypePresent = 0;
  messageType = 0;
  subnetMaskPresent = 0;
  std::memset(subnetMask, 0, sizeof subnetMask);
  serverIdentifierPresent = 0;
  std::memset(serverIdentifier, 0, sizeof serverIdentifier);
  requestedAddressPresent = 0;
  std::memset(requestedAddress, 0, sizeof requestedAddress);
}

DhcpParseResult CDhcpMessage::Parse() {
  ClearOptions();
  if (datagramLength < kDhcpFixedLength) return DhcpParseResult::kTooShort;
  if (datagramLength > kDhcpDatagramCapacity) return DhcpParseResult::kTooLong;

  const uint8_t* d = datagram;
  op = d[0];
  htype = d[1];
  hlen = d[2];
  hops = d[3];
  std::memcpy(xid, d + 4, 4);
  std::memcpy(secs, d + 8, 2);
  // Bytes 10 and 11 (flags) are not needed: every reply is broadcast.
  std::memcpy(ciaddr, d + 12, 4);
  std::memcpy(yiaddr, d + 16, 4);
  std::memcpy(siaddr, d + 20, 4);
  std::memcpy(giaddr, d + 24, 4);
  std::memcpy(chaddr, d + 28, 16);
  std::memcpy(sname, d + 44, 64);
  std::memcpy(file, d + 108, 128);

  optionLength = datagramLength - kDhcpFixedLength;
  std::memcpy(options, d + kDhcpFixedLength, static_cast<size_t>(optionLength));

  // Plain BOOTP (no cookie) carries no options we could use. The length is
  // checked first so that a short tail never makes us read stale bytes.
  if (optionLength <= 4 || std::memcmp(options, kMagicCookie, 4) != 0)
    return DhcpParseResult::kAccepted;
  return ScanOptions();
}

DhcpParseResult CDhcpMessage::ScanOptions() {
  int at = 4;
  while (at < optionLength) {
    uint8_t code = options[at];
    if (code == kOptionEnd) break;
    if (code == kOptionPad) {
      at += 1;
      continue;
    }
    // Never read past what was received: a cut-off option drops the message.
    if (at + 1 >= optionLength) return DhcpParseResult::kTruncatedOption;
    int length = options[at + 1];
    if (at + 2 + length > optionLength) return DhcpParseResult::kTruncatedOption;
    const uint8_t* value = options + at + 2;
    switch (code) {
      case kOptionSubnetMask:
        if (length != 4) return DhcpParseResult::kBadOptionLength;
        subnetMaskPresent = 1;
        std::memcpy(subnetMask, value, 4);
        break;
      case kOptionRequestedAddress:
        if (length != 4) return DhcpParseResult::kBadOptionLength;
        requestedAddressPresent = 1;
        std::memcpy(requestedAddress, value, 4);
        break;
      case kOptionMessageType:
        if (length != 1) return DhcpParseResult::kBadOptionLength;
        messageTypePresent = 1;
        messageType = value[0];
        break;
      case kOptionServerIdentifier:
        if (length != 4) return DhcpParseResult::kBadOptionLength;
        serverIdentifierPresent = 1;
        std::memcpy(serverIdentifier, value, 4);
        break;
      default:
        break;
    }
    at += 2 + length;
  }
  return DhcpParseResult::kAccepted;
}

void CDhcpMessage::Serialize() {
  uint8_t* d = datagram;
  d[0] = op;
  d[1] = htype;
  d[2] = hlen;
  d[3] = hops;
  std::memcpy(d + 4, xid, 4);
  std::memcpy(d + 8, secs, 2);
  d[10] = 0;
  d[11] = 0;
  std::memcpy(d + 12, ciaddr, 4);
  std::memcpy(d + 16, yiaddr, 4);
  std::memcpy(d + 20, siaddr, 4);
  std::memcpy(d + 24, giaddr, 4);
  std::memcpy(d + 28, chaddr, 16);
  std::memcpy(d + 44, sname, 64);
  std::memcpy(d + 108, file, 128);

  int at = kDhcpFixedLength;
  std::memcpy(d + at, kMagicCookie, 4);
  at += 4;
  if (messageTypePresent) {
    d[at++] = kOptionMessageType;
    d[at++] = 1;
    d[at++] = messageType;
  }
  if (subnetMaskPresent) {
    d[at++] = kOptionSubnetMask;
    d[at++] = 4;
    std::memcpy(d + at, subnetMask, 4);
    at += 4;
  }
  d[at++] = kOptionEnd;
  if (at < kDhcpReplyLength) {
    std::memset(d + at, 0, static_cast<size_t>(kDhcpReplyLength - at));
    at = kDhcpReplyLength;
  }
  datagramLength = at;
  optionLength = at - kDhcpFixedLength;
}

}  // namespace pelmar
