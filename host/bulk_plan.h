// Many modules at once: the plan (what each module gets), read from a CSV
// file or handed out from a first address, and the conflicts that keep it
// from being applied. Pure: the dialog and mdspctl apply show it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "configure_request.h"  // ConfigurePlan
#include "host_network.h"
#include "module_record.h"

namespace pelmar {

// One module of the plan, in the plan's order.
struct BulkEntry {
  std::array<uint8_t, 6> mac{};
  ConfigurePlan plan;          // empty cells change nothing
  int line = 0;                // CSV line (0: not from a file)
  int module = -1;             // index into the listed modules; -1: not listed
  bool secure = false;         // the listed module's protocol, which the run uses
  std::vector<std::string> problems;  // conflicts; the plan is applied only without any
};

// The columns of a plan file, in this order; a first line naming them is a
// header and skipped. Blank lines and lines starting with '#' are skipped.
inline constexpr const char kBulkCsvColumns[] = "mac,ip,mask,gateway,dns1,dns2,dhcp,hostname";

// Reads a plan file. Every data line becomes an entry; a value that cannot
// be read becomes a problem of its entry ("bad value: ...") rather than an
// error, so the whole plan can be shown with what is wrong in it.
std::vector<BulkEntry> ReadBulkCsv(std::string_view text);

// The modules in list order get first, first + 1, ... with the same mask,
// gateway and DNS servers (dns1 0: not changed), DHCP off.
std::vector<BulkEntry> HandOutAddresses(const std::vector<ModuleRecord>& modules, uint32_t first,
                                        uint32_t mask, uint32_t gateway, uint32_t dns1);

// Matches every entry to its listed module (a module answering in both
// protocols: its secure entry) and notes the conflicts: an address planned
// twice, the address another listed module keeps (or still holds when this
// one is configured), an address outside every interface's subnet (when
// interfaces are given), a network or broadcast address, a gateway outside
// the module's subnet (a gateway the plan sets), a module not listed or planned twice, nothing to
// change, and what a text-protocol module cannot take.
void CheckBulkPlan(std::vector<BulkEntry>& entries, const std::vector<ModuleRecord>& listed,
                   const std::vector<HostSubnet>& interfaces);

bool PlanHasProblems(const std::vector<BulkEntry>& entries);

// A password file: lines "MAC password" (the password is the rest of the
// line after one blank; blank lines and lines starting with '#' skipped).
// False with a message naming the line for one without a MAC.
bool ReadPasswordLines(std::string_view text,
                       std::vector<std::pair<std::array<uint8_t, 6>, std::string>>& out,
                       std::string& error);

// "ip 10.0.0.5, mask 255.255.255.0, dhcp off" or "no change".
std::string PlanText(const ConfigurePlan& plan);

}  // namespace pelmar
