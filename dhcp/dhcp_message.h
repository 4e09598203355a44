// One DHCP message in unpacked form plus its raw datagram.
//
// The server keeps one of these for the request and one for the reply and
// reuses both for every message, so nothing is allocated per datagram.
#pragma once

#include <cstdint>

namespace pelmar {

// Fixed BOOTP part in front of the options.
constexpr int kDhcpFixedLength = 236;
constexpr int kDhcpDatagramCapacity = 2048;
constexpr int kDhcpOptionCapacity = kDhcpDatagramCapacity - kDhcpFixedLength;
// Every reply is padded to this size; some old clients reject shorter ones.
constexpr int kDhcpReplyLength = 300;

constexpr uint8_t kDhcpDiscover = 1;
constexpr uint8_t kDhcpOffer = 2;
constexpr uint8_t kDhcpRequest = 3;
constexpr uint8_t kDhcpAck = 5;
constexpr uint8_t kDhcpNak = 6;

enum class DhcpParseResult {
  kAccepted,
  kTooShort,          // fewer than the 236 bytes of the fixed part
  kTooLong,           // more than fits the datagram buffer
  kBadOptionLength,   // option 1, 50, 53 or 54 with a length it cannot have
  kTruncatedOption,   // length byte or value beyond the received bytes
};

const char* DhcpParseResultName(DhcpParseResult result);

class CDhcpMessage {
 public:
  CDhcpMessage();

  // Unpacks datagram[0, datagramLength). Option flags of earlier messages
  // are cleared first, so nothing carries over from one message to the next.
  DhcpParseResult Parse();

  // Packs the header fields and the present options into datagram and sets
  // datagramLength (always kDhcpReplyLength for what the server sends).
  void Serialize();

  int optionLength = 0;
  int datagramLength = 0;
  uint8_t op = 0;
  uint8_t htype = 0;
  uint8_t hlen = 0;
  uint8_t hops = 0;
  uint8_t xid[4] = {};
  uint8_t secs[2] = {};
  uint8_t ciaddr[4] = {};
  uint8_t yiaddr[4] = {};
  uint8_t siaddr[4] = {};
  uint8_t giaddr[4] = {};
  uint8_t chaddr[16] = {};
  uint8_t sname[64] = {};
  uint8_t file[128] = {};
  uint8_t options[kDhcpOptionCapacity] = {};
  uint8_t datagram[kDhcpDatagramCapacity] = {};
  uint8_t messageTypePresent = 0;
  uint8_t messageType = 0;
  uint8_t subnetMaskPresent = 0;
  uint8_t subnetMask[4] = {};
  uint8_t serverIdentifierPresent = 0;
  uint8_t serverIdentifier[4] = {};
  uint8_t requestedAddressPresent = 0;
  uint8_t requestedAddress[4] = {};

 private:
  void ClearOptions();
  DhcpParseResult ScanOptions();
};

}  // namespace pelmar
