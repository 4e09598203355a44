// Every program's answer to --version, made from the version block that the
// build wrote into the program's own file.
#pragma once

#include <cstdint>
#include <string>

namespace versioning {

// "mdspctl 3.1.0": the product version's major, minor and patch, and its
// build number as a fourth part when it is not 0.
std::string ProgramVersionLine(const std::string& program, uint32_t productVersionMS,
                               uint32_t productVersionLS);

// Prints the running program's line and a line feed to standard output and
// returns exit code 0. A program file without a readable block says so on
// standard error instead and returns 1.
int PrintProgramVersion(const char* program);

}  // namespace versioning
