#include "doctor.h"

#include <algorithm>

#include "doctor_probes.h"
#include "module_census.h"

namespace pelmar {

DoctorReport RunDoctor(const LibraryApi* api, const DoctorOptions& options) {
  DoctorFacts facts;
  facts.interfaces = ProbeInterfaces();
  facts.scansSkipped = !options.scan || !api;
  if (!facts.scansSkipped) {
    for (const InterfaceFacts& nic : facts.interfaces) {
      if (!ScansUse(nic)) continue;
      const auto& only = options.onlyAddresses;
      if (!only.empty() && std::find(only.begin(), only.end(), nic.address) == only.end()) continue;
      ScanOutcome outcome;
      outcome.interfaceName = nic.name;
      outcome.address = nic.address;
      std::vector<ModuleMac> macs;
      outcome.ran = DiscoverThrough(*api, nic.address, options.scanTimeoutMs, options.scanContext,
                                    macs, &outcome.error);
      outcome.modules = static_cast<int>(macs.size());
      facts.scans.push_back(outcome);
    }
  }
  facts.firewall = ProbeFirewall();
  facts.dhcp = ProbeDhcp({"pelmar", "pelmar-dhcpd"});
  return BuildDoctorReport(facts);
}

std::string InterfaceNameOf(const std::string& address) {
  for (const InterfaceFacts& nic : ProbeInterfaces())
    if (nic.address == address) return nic.name;
  return "";
}

}  // namespace pelmar
