#include "wire_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pelmar_test {

WireClient::~WireClient() {
  if (fd_ >= 0) close(fd_);
}

bool WireClient::Open(uint16_t port) {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  return bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

bool WireClient::Broadcast(const std::vector<uint8_t>& bytes, uint16_t port) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                sizeof target) == static_cast<ssize_t>(bytes.size());
}

std::vector<uint8_t> WireClient::Receive(int timeoutMs) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return {};
  std::vector<uint8_t> buffer(4096);
  ssize_t n = recv(fd_, buffer.data(), buffer.size(), 0);
  if (n < 0) return {};
  buffer.resize(static_cast<size_t>(n));
  return buffer;
}

}  // namespace pelmar_test
