// The simulator's module file (JSON) and the generator for many modules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim_types.h"

namespace mdspsim {

// Reads { "modules": [...], "generate": {...} }. On failure returns false
// with a message naming the offending module and key.
bool ParseConfig(std::string_view jsonText, std::vector<SimModule>& out, std::string& error);

// Appends `textCount` text and `secureCount` secure modules built from
// `base`, MACs prefix-00-00-01 upward, addresses 10.x.y.z from the same count.
bool GenerateModules(uint32_t textCount, uint32_t secureCount, std::string_view macPrefix,
                     const ModuleConfig& base, std::vector<SimModule>& out, std::string& error);

// Derived state (password salt and seed) and the checks across modules
// (unique MACs). Call once after all modules are in.
bool FinishModules(std::vector<SimModule>& modules, std::string& error);

}  // namespace mdspsim
