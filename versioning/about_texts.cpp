#include "about_texts.h"

#include <algorithm>

#include "version_info.h"

namespace versioning {

std::string VersionLine(const std::string& productVersion) {
  std::string line = "Version: ";
  for (char c : productVersion)
    if (c != ' ') line += c;
  std::replace(line.begin(), line.end(), ',', '.');
  return line;
}

std::string AboutVersionLine(const std::string& programFile) {
  CVFXVersionData data;
  CVFXVersionInfo reader(0x0409, 1200);
  bool read = programFile.empty() ? reader.Read(data) : reader.Read(data, programFile);
  if (!read) return {};
  return VersionLine(data.Text(VersionText::ProductVersion));
}

}  // namespace versioning
