// The names file on disk: names.txt beside settings.dat.
#pragma once

#include <string>

#include "module_names.h"

namespace pelmar {

// The names file in the folder of that settings file ("" for "").
std::string NamesPathBeside(const std::string& settingsPath);

enum class NamesLoad { Loaded, Missing, Damaged, Unreadable };

// Reads at most kNamesFileLimit bytes. Anything but Loaded leaves `names`
// empty; `warning` then says what happened for Damaged and Unreadable.
NamesLoad LoadNames(const std::string& path, ModuleNames& names, std::string& warning);

// Writes a temporary file beside the target, syncs it and renames it over
// the old one, so a crash leaves the old or the new file, never half of one.
// A damaged file found by the last load is kept as "<path>.damaged" first.
bool SaveNames(const std::string& path, const ModuleNames& names, std::string& error);

}  // namespace pelmar
