#include <cstdlib>

#include "settings_file.h"
#include "small_file.h"

namespace pelmar {

std::string SettingsPath() {
  std::string base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return "";
    base = std::string(home) + "/.config";
  }
  return base + "/Tordal/Corvane Pelmar/settings.dat";
}

bool LoadSettings(const std::string& path, InterfaceChoice& choice) {
  choice.specificInterface = 0;
  std::string bytes;
  if (!platform::ReadSmallFile(path, kSettingsReadLimit, &bytes)) return false;
  return ApplySettingsBytes(bytes, choice);
}

bool SaveSettings(const std::string& path, const InterfaceChoice& choice) {
  return platform::WriteFileWhole(path, ComposeSettings(choice));
}

}  // namespace pelmar
