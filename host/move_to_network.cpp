#include "move_to_network.h"

#include <bit>

#include "module_texts.h"

namespace pelmar {

std::vector<HostNetwork> ScanningNetworks(std::span<const HostNetwork> all,
                                          std::span<const uint32_t> scanningAddresses) {
  std::vector<HostNetwork> out;
  for (uint32_t address : scanningAddresses)
    for (const HostNetwork& n : all)
      if (n.address == address) {
        out.push_back(n);
        break;
      }
  return out;
}

std::vector<HostSubnet> SubnetsOf(std::span<const HostNetwork> networks) {
  std::vector<HostSubnet> out;
  for (const HostNetwork& n : networks) out.push_back({n.address, n.mask});
  return out;
}

std::set<uint32_t> TakenAddresses(std::span<const MarkSubject> modules,
                                  std::span<const HostNetwork> host) {
  std::set<uint32_t> taken;
  for (const MarkSubject& m : modules)
    if (m.ipValid) taken.insert(m.ip);
  for (const HostNetwork& n : host) taken.insert(n.address);
  return taken;
}

std::optional<uint32_t> ChooseFreeAddress(const HostNetwork& network,
                                          const std::set<uint32_t>& taken,
                                          const std::function<bool(uint32_t)>& answers,
                                          int maxProbes) {
  const uint32_t base = network.address & network.mask;
  const uint64_t last = static_cast<uint64_t>(base | ~network.mask);  // the broadcast
  int probes = 0;
  for (uint64_t candidate = static_cast<uint64_t>(base) + 1; candidate < last; ++candidate) {
    const auto address = static_cast<uint32_t>(candidate);
    const uint32_t lowOctet = address & 0xFF;
    if (lowOctet == 0 || lowOctet == 255) continue;
    if (taken.count(address) || address == network.gateway || address == network.address)
      continue;
    if (probes++ >= maxProbes) return std::nullopt;
    if (!answers(address)) return address;
  }
  return std::nullopt;
}

ModuleRecord MovedRecord(const ModuleRecord& record, const HostNetwork& network,
                         uint32_t address) {
  ModuleRecord moved = record;
  moved.ip = address;
  moved.ipValid = true;
  moved.subnet = network.mask;
  moved.subnetValid = true;
  moved.gateway = network.gateway;
  moved.gatewayValid = true;
  moved.dhcp = 0;
  moved.dhcpValid = true;
  return moved;
}

std::string NetworkLabel(const HostNetwork& network) {
  return network.name + " (" + Ipv4Text(network.address) + "/" +
         std::to_string(std::popcount(network.mask)) + ")";
}

}  // namespace pelmar
