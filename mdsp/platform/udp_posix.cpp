#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
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

bool UdpSetReceiveBuffer(SocketHandle socket, int bytes) {
  // Linux doubles the value and charges each datagram's bookkeeping against
  // it, and caps it at net.core.rmem_max; a privileged process may go past
  // the cap, so try that when the plain request was cut.
  if (setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) != 0) return false;
  int granted = 0;
  socklen_t size = sizeof granted;
  if (getsockopt(socket, SOL_SOCKET, SO_RCVBUF, &granted, &size) == 0 && granted < 2 * bytes)
    setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
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

long UdpReceive(SocketHandle socket, void* buffer, size_t capacity) {
  for (;;) {
    // MSG_TRUNC reports the datagram's real length: one larger than the
    // buffer is dropped whole rather than parsed cut short.
    ssize_t received = recv(socket, buffer, capacity, MSG_DONTWAIT | MSG_TRUNC);
    if (received < 0 && errno == EINTR) continue;
    if (received < 0) return -1;
    if (static_cast<size_t>(received) > capacity) continue;
    return static_cast<long>(received);
  }
}

void UdpClose(SocketHandle socket) {
  shutdown(socket, SHUT_WR);
  close(socket);
}

}  // namespace mdsp::platform
