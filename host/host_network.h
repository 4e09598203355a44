// A host interface's IPv4 network, as the marks, Move and the bulk check see it.
#pragma once

#include <cstdint>
#include <string>

namespace pelmar {

// An address of a host interface, with its mask (first octet most significant).
struct HostSubnet {
  uint32_t address = 0;
  uint32_t mask = 0;
};

// One IPv4 address of a host interface, with what a module there needs.
struct HostNetwork {
  std::string name;  // the interface's name, e.g. "eth0"
  uint32_t address = 0;
  uint32_t mask = 0;
  uint32_t gateway = 0;  // 0.0.0.0 when the interface has no default gateway
};

}  // namespace pelmar
