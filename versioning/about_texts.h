// The About command and box without widgets: their fixed texts and the
// version line.
#pragma once

#include <string>

namespace versioning {

// Command that opens the About box (also its system-menu identifier).
inline constexpr int kAboutCommandId = 0x10;
inline constexpr char kAboutCommandText[] = "&About Pelmar...";
inline constexpr char kAboutCaption[] = "About Pelmar";
inline constexpr char kAboutNotice[] = "Finds and configures Corvane network modules.";

// "Version: " and the product version text without spaces, ',' made '.'.
std::string VersionLine(const std::string& productVersion);

// The version line of a program file ("" = the running program): empty when
// the file has no readable version block.
std::string AboutVersionLine(const std::string& programFile = {});

}  // namespace versioning
