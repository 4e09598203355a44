// POSIX backend of the DHCP server's socket layer (Linux: IP_PKTINFO tells
// the arrival interface and picks the departure interface).
#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dhcp_socket.h"

namespace pelmar {

namespace {

int ToFd(const DhcpSocket& socket) { return static_cast<int>(socket.handle); }

DhcpStartError Fail(int fd, DhcpStartError error, int* systemError) {
  if (systemError) *systemError = errno;
  if (fd >= 0) close(fd);
  return error;
}

}  // namespace

DhcpStartError DhcpSocketOpen(DhcpSocket* socket, uint16_t port, const char* interfaceName,
                              int* systemError) {
  socket->handle = -1;
  socket->networkStackStarted = false;  // nothing to start on POSIX
  if (systemError) *systemError = 0;

  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd < 0) return Fail(-1, DhcpStartError::kCreateSocket, systemError);

  int on = 1;
  if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
    return Fail(fd, DhcpStartError::kBroadcast, systemError);
  if (setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0)
    return Fail(fd, DhcpStartError::kPacketInfo, systemError);

  if (interfaceName && *interfaceName) {
    if (if_nametoindex(interfaceName) == 0)
      return Fail(fd, DhcpStartError::kNoSuchInterface, systemError);
    if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interfaceName,
                   static_cast<socklen_t>(std::strlen(interfaceName))) != 0)
      return Fail(fd, DhcpStartError::kBindInterface, systemError);
  }

  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    if (errno == EACCES || errno == EPERM)
      return Fail(fd, DhcpStartError::kPortPermission, systemError);
    if (errno == EADDRINUSE) return Fail(fd, DhcpStartError::kPortInUse, systemError);
    return Fail(fd, DhcpStartError::kBind, systemError);
  }

  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
    return Fail(fd, DhcpStartError::kNonBlocking, systemError);

  socket->handle = fd;
  return DhcpStartError::kNone;
}

bool DhcpSocketIsOpen(const DhcpSocket& socket) { return socket.handle >= 0; }

int DhcpSocketReceive(const DhcpSocket& socket, uint8_t* buffer, int capacity, DhcpOrigin* origin) {
  if (origin) origin->interfaceIndex = 0;
  if (socket.handle < 0) return -1;

  // No waiting-byte query first: on Linux it reports only the first
  // datagram's size, so an empty datagram would block the queue for good.
  sockaddr_in sender{};
  iovec part{buffer, static_cast<size_t>(capacity)};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
  msghdr message{};
  message.msg_name = &sender;
  message.msg_namelen = sizeof sender;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;

  ssize_t received = recvmsg(ToFd(socket), &message, MSG_DONTWAIT);
  if (received < 0) return -1;
  if (message.msg_flags & MSG_TRUNC) return -1;

  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO && origin) {
      in_pktinfo info;
      std::memcpy(&info, CMSG_DATA(c), sizeof info);
      origin->interfaceIndex = info.ipi_ifindex;
    }
  }
  return static_cast<int>(received);
}

DhcpWaitResult DhcpSocketWait(const DhcpSocket& socket, intptr_t wakeHandle, int timeoutMs) {
  if (socket.handle < 0) return DhcpWaitResult::kError;
  pollfd watched[2] = {{ToFd(socket), POLLIN, 0}, {static_cast<int>(wakeHandle), POLLIN, 0}};
  nfds_t count = wakeHandle >= 0 ? 2 : 1;
  for (;;) {
    int ready = poll(watched, count, timeoutMs < 0 ? -1 : timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return DhcpWaitResult::kError;
    if (ready == 0) return DhcpWaitResult::kTimeout;
    if (count == 2 && watched[1].revents != 0) return DhcpWaitResult::kWake;
    if (watched[0].revents & POLLNVAL) return DhcpWaitResult::kError;
    // POLLERR included: receiving clears a pending error.
    return DhcpWaitResult::kDatagram;
  }
}

bool DhcpSocketSendBroadcast(const DhcpSocket& socket, const uint8_t* data, int length,
                             uint16_t port, const DhcpOrigin& origin) {
  if (socket.handle < 0) return false;

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  iovec part{const_cast<uint8_t*>(data), static_cast<size_t>(length)};
  msghdr message{};
  message.msg_name = &target;
  message.msg_namelen = sizeof target;
  message.msg_iov = &part;
  message.msg_iovlen = 1;

  // A limited broadcast otherwise leaves by the default route, which is
  // rarely the cable the client is on.
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  if (origin.interfaceIndex > 0) {
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = origin.interfaceIndex;
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
  }

  ssize_t sent = sendmsg(ToFd(socket), &message, MSG_NOSIGNAL);
  return sent == length;
}

void DhcpSocketInterfaceName(const DhcpSocket& socket, const DhcpOrigin& origin, char* name,
                             int capacity) {
  if (!name || capacity <= 0) return;
  name[0] = '\0';
  char found[IF_NAMESIZE] = {};
  socklen_t length = sizeof found;
  bool known = false;
  if (origin.interfaceIndex > 0) {
    known = if_indextoname(static_cast<unsigned>(origin.interfaceIndex), found) != nullptr;
  } else if (socket.handle >= 0) {
    known = getsockopt(ToFd(socket), SOL_SOCKET, SO_BINDTODEVICE, found, &length) == 0 &&
            found[0] != '\0';
  }
  if (!known) return;
  found[IF_NAMESIZE - 1] = '\0';
  std::strncpy(name, found, static_cast<size_t>(capacity) - 1);
  name[capacity - 1] = '\0';
}

void DhcpSocketClose(DhcpSocket* socket) {
  if (socket->handle >= 0) close(ToFd(*socket));
  socket->handle = -1;
  socket->networkStackStarted = false;
}

}  // namespace pelmar
