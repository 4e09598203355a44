// What `mdspctl scan` and `configure --ip auto` know beyond the library: the
// host networks that scan, the marks of the listed modules, the remembered
// scan, and the free address a moved module gets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli_args.h"
#include "module_marks.h"
#include "module_rows.h"
#include "move_to_network.h"

namespace mdspctl {

// The addresses of the interfaces a command uses: --nic, or every listed one.
std::vector<uint32_t> ScanningAddresses(const CommandLine& cli);

// Fills each row's marks from the whole list, the scanning networks and the
// previous scan; returns the MACs of that scan that did not answer.
std::vector<std::string> MarkRows(std::vector<ModuleRow>& rows,
                                  const std::vector<pelmar::HostNetwork>& scanning,
                                  const std::optional<std::set<pelmar::MacBytes>>& previous);

// The gone line under the table: "2 modules no longer answer: MAC, MAC";
// "" when none.
std::string FormatGone(const std::vector<std::string>& gone);

// Where `configure --ip auto` moves a module.
struct MoveChoice {
  pelmar::HostNetwork network;
  uint32_t address = 0;
};

// The network to move to: the one --nic names, else the only scanning one.
// False with a message when there is none or more than one.
bool PickMoveNetwork(const std::vector<pelmar::HostNetwork>& scanning,
                     pelmar::HostNetwork& network, std::string& error);

}  // namespace mdspctl
