// The kernel's interfaces and IPv4 default routes, read once each way: the
// marks, Move, the bulk check and the doctor all look at the host through
// these two, and each picks what it needs. Read in the calling thread's
// network namespace.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelmar::platform {

struct InterfaceIpv4 {
  uint32_t address = 0;  // first octet most significant
  uint32_t mask = 0;
  bool hasMask = false;
};

struct HostInterface {
  std::string name;
  unsigned flags = 0;            // IFF_* bits
  bool ethernetAddress = false;  // a 6-byte hardware address
  std::vector<InterfaceIpv4> ipv4;  // in the kernel's order
};

// Every interface, in the order of the kernel's interface index.
std::vector<HostInterface> ListInterfaces();

// A route to 0.0.0.0/0.
struct DefaultRoute {
  std::string interfaceName;
  uint32_t gateway = 0;     // first octet most significant
  bool viaGateway = false;  // the route names a gateway (not just a device)
};

// In the routing table's order.
std::vector<DefaultRoute> ReadDefaultRoutes();

}  // namespace pelmar::platform
