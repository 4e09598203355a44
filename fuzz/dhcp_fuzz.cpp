// The recovery DHCP server's request path: message parse, then the answer
// decision. Each input is parsed twice over different stale buffer contents;
// any difference means the parser looked past the received bytes, which the
// sanitizers cannot see inside the fixed message buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "dhcp_message.h"
#include "dhcp_server.h"

using namespace pelmar;

namespace {

CDhcpMessage& Fresh(uint8_t fill) {
  static CDhcpMessage messages[2];
  CDhcpMessage& m = messages[fill ? 1 : 0];
  std::memset(m.datagram, fill, sizeof m.datagram);
  std::memset(m.options, fill, sizeof m.options);
  return m;
}

bool SameParse(const CDhcpMessage& a, const CDhcpMessage& b) {
  if (a.optionLength != b.optionLength) return false;
  if (a.messageTypePresent != b.messageTypePresent || a.messageType != b.messageType ||
      a.subnetMaskPresent != b.subnetMaskPresent ||
      a.serverIdentifierPresent != b.serverIdentifierPresent ||
      a.requestedAddressPresent != b.requestedAddressPresent)
    return false;
  return std::memcmp(a.subnetMask, b.subnetMask, 4) == 0 &&
         std::memcmp(a.serverIdentifier, b.serverIdentifier, 4) == 0 &&
         std::memcmp(a.requestedAddress, b.requestedAddress, 4) == 0 &&
         std::memcmp(a.chaddr, b.chaddr, sizeof a.chaddr) == 0 &&
         std::memcmp(a.xid, b.xid, 4) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size <= static_cast<size_t>(kDhcpDatagramCapacity)) {
    CDhcpMessage& zeros = Fresh(0x00);
    CDhcpMessage& ones = Fresh(0xFF);
    for (CDhcpMessage* m : {&zeros, &ones}) {
      if (size > 0) std::memcpy(m->datagram, data, size);
      m->datagramLength = static_cast<int>(size);
    }
    DhcpParseResult first = zeros.Parse();
    DhcpParseResult second = ones.Parse();
    if (first != second) std::abort();
    if (first == DhcpParseResult::kAccepted && !SameParse(zeros, ones)) std::abort();
    if (size < static_cast<size_t>(kDhcpFixedLength) && first != DhcpParseResult::kTooShort)
      std::abort();
  }

  static CDhcpServer server;  // never started: no socket, only the answer logic
  DhcpAnswer answer;
  if (size > static_cast<size_t>(kDhcpDatagramCapacity) + 1) size = kDhcpDatagramCapacity + 1;
  if (!server.HandleDatagram(data, static_cast<int>(size), &answer)) return 0;

  // Only recovery clients get an answer, and the answer echoes what they sent.
  const CDhcpMessage& reply = server.Reply();
  if (size < static_cast<size_t>(kDhcpFixedLength) || reply.datagramLength != kDhcpReplyLength)
    std::abort();
  if (std::memcmp(data + 28, answer.hardwareAddress, 6) != 0 ||
      std::memcmp(answer.hardwareAddress, "\x02\xA7\x5E", 3) != 0 ||
      std::memcmp(reply.datagram + 4, data + 4, 4) != 0)
    std::abort();
  const uint8_t expected[4] = {10, 200, 1, data[33]};
  if (std::memcmp(answer.address, expected, 4) != 0) std::abort();
  if (answer.messageType != kDhcpOffer && answer.messageType != kDhcpAck &&
      answer.messageType != kDhcpNak)
    std::abort();

  // What we send must read back as what we meant to send.
  static CDhcpMessage echo;
  std::memcpy(echo.datagram, reply.datagram, static_cast<size_t>(reply.datagramLength));
  echo.datagramLength = reply.datagramLength;
  if (echo.Parse() != DhcpParseResult::kAccepted || !echo.messageTypePresent ||
      echo.messageType != answer.messageType || !echo.subnetMaskPresent)
    std::abort();
  return 0;
}
