#include "dhcp_server.h"

#include <cstring>

namespace pelmar {

namespace {

constexpr uint8_t kClientPrefix[3] = {0x02, 0xA7, 0x5E};
constexpr uint8_t kNetworkPrefix[3] = {10, 200, 1};
constexpr uint8_t kSubnetMask[4] = {255, 255, 255, 0};
constexpr uint8_t kOpReply = 2;

}  // namespace

const char* DhcpAnswerTypeName(uint8_t messageType) {
  switch (messageType) {
    case kDhcpOffer: return "offer";
    case kDhcpAck: return "ack";
    case kDhcpNak: return "nak";
    default: return "?";
  }
}

CDhcpServer::~CDhcpServer() { Stop(); }

DhcpStartError CDhcpServer::Start(const char* interfaceName, int* systemError) {
  Stop();
  return DhcpSocketOpen(&socket_, kDhcpServerPort, interfaceName, systemError);
}

void CDhcpServer::Stop() { DhcpSocketClose(&socket_); }

bool CDhcpServer::IsStarted() const { return DhcpSocketIsOpen(socket_); }

int CDhcpServer::Poll(DhcpAnswer* answer) {
  return ServeOne(answer) == DhcpServeResult::kAnswered ? 1 : 0;
}

DhcpServeResult CDhcpServer::ServeOne(DhcpAnswer* answer) {
  DhcpOrigin origin;
  int received =
      DhcpSocketReceive(socket_, request_.datagram, kDhcpDatagramCapacity, &origin);
  if (received < 0) return DhcpServeResult::kIdle;
  request_.datagramLength = received;
  if (!ComposeReply(answer)) return DhcpServeResult::kIgnored;
  return DhcpSocketSendBroadcast(socket_, reply_.datagram, reply_.datagramLength,
                                 kDhcpClientPort, origin)
             ? DhcpServeResult::kAnswered
             : DhcpServeResult::kSendFailed;
}

DhcpWaitResult CDhcpServer::Wait(intptr_t wakeHandle, int timeoutMs) {
  return DhcpSocketWait(socket_, wakeHandle, timeoutMs);
}

bool CDhcpServer::HandleDatagram(const uint8_t* bytes, int length, DhcpAnswer* answer) {
  if (length < 0 || length > kDhcpDatagramCapacity || (!bytes && length > 0)) return false;
  if (length > 0) std::memcpy(request_.datagram, bytes, static_cast<size_t>(length));
  request_.datagramLength = length;
  return ComposeReply(answer);
}

bool CDhcpServer::ComposeReply(DhcpAnswer* answer) {
  if (request_.Parse() != DhcpParseResult::kAccepted) return false;
  if (std::memcmp(request_.chaddr, kClientPrefix, sizeof kClientPrefix) != 0) return false;

  // Only discover and request are answered; anything else (release, inform,
  // no type at all) would otherwise go out with a made-up type.
  if (!request_.messageTypePresent) return false;
  uint8_t address[4] = {kNetworkPrefix[0], kNetworkPrefix[1], kNetworkPrefix[2],
                        request_.chaddr[5]};
  uint8_t type;
  if (request_.messageType == kDhcpDiscover) {
    type = kDhcpOffer;
  } else if (request_.messageType == kDhcpRequest) {
    bool asksOther = request_.requestedAddressPresent &&
                     std::memcmp(request_.requestedAddress, address, 4) != 0;
    type = asksOther ? kDhcpNak : kDhcpAck;
  } else {
    return false;
  }

  reply_.op = kOpReply;
  reply_.htype = request_.htype;
  reply_.hlen = request_.hlen;
  std::memcpy(reply_.xid, request_.xid, 4);
  std::memcpy(reply_.yiaddr, address, 4);
  std::memcpy(reply_.chaddr, request_.chaddr, 6);
  reply_.messageTypePresent = 1;
  reply_.messageType = type;
  reply_.subnetMaskPresent = 1;
  std::memcpy(reply_.subnetMask, kSubnetMask, 4);
  reply_.Serialize();

  if (answer) {
    std::memcpy(answer->hardwareAddress, request_.chaddr, 6);
    std::memcpy(answer->address, address, 4);
    answer->messageType = type;
  }
  return true;
}

}  // namespace pelmar
