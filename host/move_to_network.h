// "Move to this network": a module on another network, or without an
// address, gets a free address in the subnet of one host interface, with
// that interface's mask and gateway. Which address is free is decided here
// from what the list and the host know, and from a probe the caller hands in
// (something answering for the address on the link).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "module_marks.h"
#include "module_record.h"

namespace pelmar {

// The networks of the interfaces that scan, in the order of their addresses;
// an address no host network has is left out.
std::vector<HostNetwork> ScanningNetworks(std::span<const HostNetwork> all,
                                          std::span<const uint32_t> scanningAddresses);
std::vector<HostSubnet> SubnetsOf(std::span<const HostNetwork> networks);

// Addresses nobody may be given: every listed module's and every host
// interface's.
std::set<uint32_t> TakenAddresses(std::span<const MarkSubject> modules,
                                  std::span<const HostNetwork> host);

// How many candidates may be probed on the link before giving up.
inline constexpr int kMaxAddressProbes = 16;

// The first free address of the network, counting up from its first host
// address: not taken, not the gateway, not ending in .0 or .255 (a module
// refuses those), and `answers` (the probe on the link) says nobody has it.
// nothing when the subnet has no such address among the first maxProbes
// probed.
std::optional<uint32_t> ChooseFreeAddress(const HostNetwork& network,
                                          const std::set<uint32_t>& taken,
                                          const std::function<bool(uint32_t)>& answers,
                                          int maxProbes = kMaxAddressProbes);

// The record as the configuration dialog should open for the move: the new
// address, the interface's mask and gateway, DHCP off (a module on DHCP
// would ignore them); DNS servers and host name stay the module's.
ModuleRecord MovedRecord(const ModuleRecord& record, const HostNetwork& network,
                         uint32_t address);

// "eth0 (10.77.0.1/24)".
std::string NetworkLabel(const HostNetwork& network);

}  // namespace pelmar
