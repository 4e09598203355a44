// What the doctor asks the operating system: the interfaces and their kinds,
// the firewall's ruleset, who holds UDP port 67 and who may open it. Every
// answer is read in the calling thread's network namespace.
#pragma once

#include <string>
#include <vector>

#include "doctor_report.h"

namespace pelmar {

std::vector<InterfaceFacts> ProbeInterfaces();
// Runs `nft -j list ruleset` and judges it (firewall_rules).
FirewallFacts ProbeFirewall();
// Port 67, this user's rights and the capability of each named program,
// looked for beside the running program first, then on PATH.
DhcpFacts ProbeDhcp(const std::vector<std::string>& programNames);

// Whether the file carries cap_net_bind_service as permitted and effective.
bool FileHasBindCapability(const std::string& path);

}  // namespace pelmar
