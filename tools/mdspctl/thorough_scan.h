// mdspctl scan --rounds: several discovers merged into one listing.
#pragma once

#include <string>
#include <vector>

#include "cli_args.h"
#include "module_rows.h"
#include "scan_rounds.h"
#include "session.h"

namespace mdspctl {

// --rounds and --interval; false with a message when out of range.
bool ReadScanRounds(const CommandLine& cli, pelmar::ScanRounds& out, std::string& error);

// Sends the rounds' discovers intervalMs apart and waits timeoutMs after the
// last; each module is listed once, with its latest answer. Every answer is
// read before the next discover empties the table. Returns an exit code.
int ScanInRounds(Session& session, const pelmar::ScanRounds& rounds, uint32_t timeoutMs,
                 std::vector<ModuleRow>& rows, std::string& error);

}  // namespace mdspctl
