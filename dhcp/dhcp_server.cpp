#include "dhcp_server.h"

#include <cstdio>
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

bool ParseDhcpHardwareAddress(const char* text, DhcpHardwareAddress* address) {
  if (!text || !address) return false;
  DhcpHardwareAddress read{};
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  // Six pairs of hex digits, one separator kind throughout.
  const char separator = text[0] && text[1] ? text[2] : '\0';
  if (separator != '-' && separator != ':') return false;
  for (int i = 0; i < 6; ++i) {
    const char* pair = text + 3 * i;
    int high = digit(pair[0]);
    int low = high < 0 ? -1 : digit(pair[1]);
    if (low < 0) return false;
    read[static_cast<size_t>(i)] = static_cast<uint8_t>(high * 16 + low);
    if (pair[2] != (i < 5 ? separator : '\0')) return false;
  }
  *address = read;
  return true;
}

bool IsModuleFamilyAddress(const uint8_t address[6]) {
  return std::memcmp(address, kClientPrefix, sizeof kClientPrefix) == 0;
}

int FormatDhcpAnswer(const DhcpAnswer& answer, char* line, int capacity) {
  const uint8_t* m = answer.hardwareAddress;
  const uint8_t* a = answer.address;
  // The name may fill its array without a terminating zero.
  int nameLength = 0;
  while (nameLength < kDhcpInterfaceNameCapacity && answer.interfaceName[nameLength])
    ++nameLength;
  return std::snprintf(line, capacity > 0 ? static_cast<size_t>(capacity) : 0,
                       "%s %02X-%02X-%02X-%02X-%02X-%02X %u.%u.%u.%u%s%.*s",
                       DhcpAnswerTypeName(answer.messageType), m[0], m[1], m[2], m[3], m[4], m[5],
                       a[0], a[1], a[2], a[3], nameLength > 0 ? " on " : "", nameLength,
                       answer.interfaceName);
}

CDhcpServer::~CDhcpServer() { Stop(); }

DhcpStartError CDhcpServer::Start(const DhcpScope& scope, int* systemError) {
  Stop();
  AllowOnly(scope.allowedClients);
  return DhcpSocketOpen(&socket_, kDhcpServerPort,
                        scope.interfaceName.empty() ? nullptr : scope.interfaceName.c_str(),
                        systemError);
}

void CDhcpServer::AllowOnly(std::vector<DhcpHardwareAddress> clients) {
  allowed_ = std::move(clients);
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
  if (!DhcpSocketSendBroadcast(socket_, reply_.datagram, reply_.datagramLength, kDhcpClientPort,
                               origin))
    return DhcpServeResult::kSendFailed;
  if (answer)
    DhcpSocketInterfaceName(socket_, origin, answer->interfaceName, kDhcpInterfaceNameCapacity);
  return DhcpServeResult::kAnswered;
}

int CDhcpServer::ServeCycle(int limit, DhcpAnswerSink sink, void* context) {
  int taken = 0;
  while (taken < limit) {
    DhcpAnswer answer;
    DhcpServeResult result = ServeOne(&answer);
    if (result == DhcpServeResult::kIdle) break;
    ++taken;
    if (result == DhcpServeResult::kAnswered && sink) sink(answer, context);
  }
  return taken;
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
  if (!IsAllowed(request_.chaddr)) return false;

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
    *answer = DhcpAnswer{};
    std::memcpy(answer->hardwareAddress, request_.chaddr, 6);
    std::memcpy(answer->address, address, 4);
    answer->messageType = type;
  }
  return true;
}

bool CDhcpServer::IsAllowed(const uint8_t hardwareAddress[6]) const {
  if (!IsModuleFamilyAddress(hardwareAddress)) return false;
  if (allowed_.empty()) return true;
  for (const DhcpHardwareAddress& client : allowed_)
    if (std::memcmp(client.data(), hardwareAddress, client.size()) == 0) return true;
  return false;
}

}  // namespace pelmar
