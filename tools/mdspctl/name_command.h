// Names and notes from the terminal: the name command, the names a scan
// shows and the scan as CSV.
#pragma once

#include <string>
#include <vector>

#include "cli_args.h"
#include "module_rows.h"

namespace mdspctl {

// mdspctl name --mac MAC [TEXT] [--note TEXT] | --clear. Never touches the
// network.
int RunName(const CommandLine& cli);

// Fills the rows' name and note from the names file; a damaged or unreadable
// file is reported on standard error and the rows stay without names.
void AttachNames(std::vector<ModuleRow>& rows);

// The scan as CSV: the list's columns, Status, Name and Note.
std::string FormatCsv(const std::vector<ModuleRow>& rows);

}  // namespace mdspctl
