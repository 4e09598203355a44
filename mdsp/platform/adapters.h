// Enumeration of the host's network adapters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mdsp::platform {

struct AdapterRecord {
  uint8_t hardwareAddress[8] = {};
  unsigned hardwareAddressLength = 0;
  std::string firstIpv4;  // dotted text, "0.0.0.0" when the adapter has none
  std::string description;
  std::string name;  // the system's interface name
};

// Lists the adapters in a stable order (by interface index), leaving out
// loopback. False when the enumeration fails or finds no adapter at all.
bool EnumerateAdapters(std::vector<AdapterRecord>& adapters);

// Replaces the enumeration (nullptr restores the real one). For tests only.
using AdapterSource = bool (*)(std::vector<AdapterRecord>&);
void SetAdapterSourceForTesting(AdapterSource source);

}  // namespace mdsp::platform
