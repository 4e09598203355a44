#include "thorough_scan.h"

#include <cstring>

#include "api.h"
#include "exit_codes.h"

namespace mdspctl {

bool ReadScanRounds(const CommandLine& cli, pelmar::ScanRounds& out, std::string& error) {
  out = pelmar::ScanRounds{};
  if (cli.has("rounds") && (!ParseUnsigned(cli.value("rounds"), pelmar::kMaxScanRounds, out.rounds) ||
                            out.rounds < pelmar::kMinScanRounds)) {
    error = "--rounds needs 1 to " + std::to_string(pelmar::kMaxScanRounds);
    return false;
  }
  if (cli.has("interval") &&
      !ParseUnsigned(cli.value("interval"), pelmar::kMaxScanIntervalMs, out.intervalMs)) {
    error = "--interval needs 0 to " + std::to_string(pelmar::kMaxScanIntervalMs) + " ms";
    return false;
  }
  return true;
}

int ScanInRounds(Session& session, const pelmar::ScanRounds& rounds, uint32_t timeoutMs,
                 std::vector<ModuleRow>& rows, std::string& error) {
  pelmar::MergedScan merged;
  rows.clear();
  for (uint32_t round = 1; round <= rounds.rounds; ++round) {
    merged.BeginRound();
    std::vector<uint32_t> indexes;
    const uint32_t wait = round == rounds.rounds ? timeoutMs : rounds.intervalMs;
    int code = session.Discover(wait, indexes, error);
    if (code != kExitOk) return code;
    for (uint32_t index : indexes) {
      ModuleRow row = ReadModuleRow(index, pelmar::SecureCheck::ReadOnly);
      if (!row.macValid) continue;
      pelmar::ModuleRecord key;
      if (Api().SMDSP_GetModuleMac(index, key.mac) != MDSP_RESULT_OK) continue;
      key.moduleIndex = index;
      key.secure = row.secure;
      const auto result = merged.Add(key);
      if (result.added)
        rows.push_back(row);
      else
        rows[result.position] = row;
    }
  }
  return kExitOk;
}

}  // namespace mdspctl
