#include "udp_port.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace mdspsim {
namespace {

// Room for a scan burst and for hundreds of answers at once.
constexpr int kBufferBytes = 8 * 1024 * 1024;

std::string lastError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

void GrowBuffer(int fd, int forceOption, int option) {
  // The forcing variant ignores the system cap (we run as root in a
  // namespace); fall back to the capped one.
  if (setsockopt(fd, SOL_SOCKET, forceOption, &kBufferBytes, sizeof kBufferBytes) != 0)
    setsockopt(fd, SOL_SOCKET, option, &kBufferBytes, sizeof kBufferBytes);
}

}  // namespace

int OpenModulePort(const std::string& iface, std::string& error) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = lastError("socket");
    return -1;
  }
  int on = 1;
  bool ok = setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
            setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
  if (!ok) error = lastError("setsockopt");
  if (ok && setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, iface.c_str(),
                       static_cast<socklen_t>(iface.size())) != 0) {
    ok = false;
    error = lastError(("bind to device " + iface).c_str());
  }
  if (ok) {
    GrowBuffer(fd, SO_RCVBUFFORCE, SO_RCVBUF);
    GrowBuffer(fd, SO_SNDBUFFORCE, SO_SNDBUF);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(kPort);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ok = false;
      error = lastError("bind 0.0.0.0:3250");
    }
  }
  if (!ok) {
    close(fd);
    return -1;
  }
  return fd;
}

std::vector<uint32_t> InterfaceAddresses(const std::string& iface) {
  std::vector<uint32_t> result;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return result;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET && iface == a->ifa_name)
      result.push_back(ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr));
  }
  freeifaddrs(list);
  return result;
}

void SendAll(int fd, const std::vector<Outgoing>& batch,
             std::vector<std::pair<size_t, std::string>>& failures) {
  constexpr size_t kChunk = 64;
  size_t next = 0;
  while (next < batch.size()) {
    size_t count = std::min(kChunk, batch.size() - next);
    sockaddr_in addrs[kChunk];
    iovec iovs[kChunk];
    mmsghdr msgs[kChunk];
    for (size_t i = 0; i < count; ++i) {
      const Outgoing& o = batch[next + i];
      addrs[i] = sockaddr_in{};
      addrs[i].sin_family = AF_INET;
      addrs[i].sin_port = htons(o.to.port);
      addrs[i].sin_addr.s_addr = htonl(o.to.ip);
      iovs[i].iov_base = const_cast<uint8_t*>(o.data.data());
      iovs[i].iov_len = o.data.size();
      msgs[i] = mmsghdr{};
      msgs[i].msg_hdr.msg_name = &addrs[i];
      msgs[i].msg_hdr.msg_namelen = sizeof addrs[i];
      msgs[i].msg_hdr.msg_iov = &iovs[i];
      msgs[i].msg_hdr.msg_iovlen = 1;
    }
    int sent = sendmmsg(fd, msgs, static_cast<unsigned>(count), 0);
    if (sent < 0) {
      if (errno == EINTR) continue;
      // The first datagram of the chunk failed; skip it and go on.
      failures.emplace_back(next, lastError("send"));
      ++next;
      continue;
    }
    next += static_cast<size_t>(sent);
  }
}

}  // namespace mdspsim
