// A plain UDP socket on one interface, as a module or another host would
// hold it: it broadcasts test datagrams and catches what the code under test
// sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace net_test {

class Lab;

class UdpProbe {
 public:
  // Bound to `port` on every address, tied to `device`, in the calling
  // thread's namespace. Shares the port (SO_REUSEADDR) with other sockets.
  explicit UdpProbe(const std::string& device, uint16_t port = 3250);
  // The same, opened inside namespace `ns`; the calling thread then moves to
  // `returnTo`.
  UdpProbe(Lab& lab, const std::string& ns, const std::string& device,
           const std::string& returnTo, uint16_t port = 3250);
  ~UdpProbe();
  UdpProbe(const UdpProbe&) = delete;
  UdpProbe& operator=(const UdpProbe&) = delete;

  bool ok() const { return ok_; }

  // To 255.255.255.255 on the probe's port.
  bool Broadcast(const void* data, size_t length);
  bool Broadcast(const std::string& bytes) { return Broadcast(bytes.data(), bytes.size()); }
  // To one address ("10.77.0.1") and port only.
  bool SendTo(const std::string& ip, uint16_t port, const std::string& bytes);

  // One datagram, or "" with *got = false when none came within timeoutMs.
  // `from` receives "IP:PORT" of the sender when given.
  std::string Receive(int timeoutMs, bool* got, std::string* from = nullptr);

 private:
  void Open(const std::string& device, uint16_t port);

  int fd_ = -1;
  bool ok_ = false;
  uint16_t port_ = 3250;
};

}  // namespace net_test
