// A DHCP client socket for wire tests: UDP port 68 in the calling thread's
// current network namespace, broadcasting to port 67.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelmar_test {

class WireClient {
 public:
  WireClient() = default;
  ~WireClient();
  WireClient(const WireClient&) = delete;
  WireClient& operator=(const WireClient&) = delete;

  // Binds 0.0.0.0:port with broadcast on.
  bool Open(uint16_t port = 68);
  // Sends to 255.255.255.255 at the port.
  bool Broadcast(const std::vector<uint8_t>& bytes, uint16_t port = 67);
  // Waits up to timeoutMs for one datagram; empty when none came.
  std::vector<uint8_t> Receive(int timeoutMs);

 private:
  int fd_ = -1;
};

}  // namespace pelmar_test
