// The settings file settings.dat on disk; its bytes are composed and read
// back in interface_table.
#pragma once

#include <string>

#include "interface_table.h"

namespace pelmar {

// $XDG_CONFIG_HOME (else $HOME/.config) + "/Tordal/Corvane Pelmar/settings.dat";
// "" when neither variable is set.
std::string SettingsPath();

// Reads the interface choice from the file ("" fails).
bool LoadSettings(const std::string& path, InterfaceChoice& choice);
// Writes the interface choice: creates the folders, writes a temporary file beside
// the target and renames it over the old one.
bool SaveSettings(const std::string& path, const InterfaceChoice& choice);

}  // namespace pelmar
