#include "udp_probe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "netns.h"

namespace net_test {

UdpProbe::UdpProbe(const std::string& device, uint16_t port) { Open(device, port); }

UdpProbe::UdpProbe(Lab& lab, const std::string& ns, const std::string& device,
                   const std::string& returnTo, uint16_t port) {
  if (!lab.Enter(ns)) return;
  Open(device, port);
  lab.Enter(returnTo);
}

UdpProbe::~UdpProbe() {
  if (fd_ >= 0) close(fd_);
}

void UdpProbe::Open(const std::string& device, uint16_t port) {
  port_ = port;
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  setsockopt(fd_, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(),
             static_cast<socklen_t>(device.size()));
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(port);
  ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
}

bool UdpProbe::Broadcast(const void* data, size_t length) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port_);
  to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  return sendto(fd_, data, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(length);
}

bool UdpProbe::SendTo(const std::string& ip, uint16_t port, const std::string& bytes) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (inet_pton(AF_INET, ip.c_str(), &to.sin_addr) != 1) return false;
  return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(bytes.size());
}

std::string UdpProbe::Receive(int timeoutMs, bool* got, std::string* from) {
  pollfd p{fd_, POLLIN, 0};
  *got = poll(&p, 1, timeoutMs) == 1;
  if (!*got) return "";
  char buffer[2048];
  sockaddr_in sender{};
  socklen_t length = sizeof sender;
  ssize_t n = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
  if (n < 0) {
    *got = false;
    return "";
  }
  if (from) {
    char ip[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &sender.sin_addr, ip, sizeof ip);
    *from = std::string(ip) + ":" + std::to_string(ntohs(sender.sin_port));
  }
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace net_test
