#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "udp.h"

namespace mdsp::platform {

bool NetStartup(int* failureCode) {
  if (failureCode) *failureCode = 0;
  return true;
}

void NetCleanup() {}

SocketHandle UdpCreate() {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  return fd < 0 ? kInvalidSocket : fd;
}

bool UdpEnableBroadcast(SocketHandle socket) {
  int on = 1;
  return setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

bool UdpSetReceiveBuffer(SocketHandle socket, int bytes, int* granted) {
  // Linux doubles the value for its bookkeeping and caps a plain request at
  // net.core.rmem_max; a privileged process may go past the cap.
  if (setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0 &&
      setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0)
    return false;
  int size = 0;
  socklen_t length = sizeof size;
  if (getsockopt(socket, SOL_SOCKET, SO_RCVBUF, &size, &length) != 0) size = 0;
  *granted = size;
  return true;
}

bool UdpBind(SocketHandle socket, const char* device, uint16_t port) {
  int on = 1;
  // Several slots, and other programs on this host, share the port.
  if (setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return false;
  if (device && device[0] &&
      setsockopt(socket, SOL_SOCKET, SO_BINDTODEVICE, device,
                 static_cast<socklen_t>(std::strlen(device))) != 0)
    return false;
  // Bound to a unicast address, a socket would not see broadcasts (modules
  // configured for a foreign subnet answer by broadcast), so bind to any.
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  return bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

void UdpSetNonBlocking(SocketHandle socket) {
  int flags = fcntl(socket, F_GETFL, 0);
  if (flags >= 0) fcntl(socket, F_SETFL, flags | O_NONBLOCK);
}

bool UdpSendBroadcast(SocketHandle socket, const void* data, size_t length, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  ssize_t sent;
  do {
    sent = sendto(socket, data, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(length);
}

size_t UdpReceiveBatch(SocketHandle socket, uint8_t* const* buffers, size_t capacity,
                       size_t count, long* lengths) {
  if (count > kUdpMaxBatch) count = kUdpMaxBatch;
  iovec parts[kUdpMaxBatch];
  mmsghdr messages[kUdpMaxBatch];
  for (size_t i = 0; i < count; ++i) {
    parts[i] = {buffers[i], capacity};
    messages[i] = {};
    messages[i].msg_hdr.msg_iov = &parts[i];
    messages[i].msg_hdr.msg_iovlen = 1;
  }
  int received;
  do {
    received = recvmmsg(socket, messages, static_cast<unsigned int>(count), MSG_DONTWAIT, nullptr);
  } while (received < 0 && errno == EINTR);
  if (received <= 0) return 0;
  for (int i = 0; i < received; ++i) {
    // A datagram larger than the buffer is dropped whole rather than parsed
    // cut short.
    bool cut = (messages[i].msg_hdr.msg_flags & MSG_TRUNC) != 0;
    lengths[i] = cut ? -1 : static_cast<long>(messages[i].msg_len);
  }
  return static_cast<size_t>(received);
}

void UdpClose(SocketHandle socket) {
  shutdown(socket, SHUT_WR);
  close(socket);
}

void UdpWaitReadable(const SocketHandle* sockets, size_t count, uint32_t timeoutMs) {
  constexpr size_t kMaxSockets = 64;
  pollfd fds[kMaxSockets];
  if (count > kMaxSockets) count = kMaxSockets;
  for (size_t i = 0; i < count; ++i) fds[i] = {sockets[i], POLLIN, 0};
  poll(fds, count, static_cast<int>(timeoutMs));
}

}  // namespace mdsp::platform
