// Command line of mdspctl: the command, its options and value parsers.
// No library calls here, so all of it is tested without a network.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mdspctl {

struct CommandLine {
  std::string command;  // "nics", "scan", "wink", "configure", "restart", "apply", "name", or "" (help)
  bool help = false;
  bool version = false;
  bool verbose = false;
  // Every option given, by name without the dashes; repeated options keep
  // all values in order. Switches hold one empty value.
  std::map<std::string, std::vector<std::string>> options;
  // Words after the command that are not options (only "name" takes one).
  std::vector<std::string> arguments;

  bool has(const std::string& name) const { return options.count(name) != 0; }
  // The last value given, or fallback.
  std::string value(const std::string& name, const std::string& fallback = "") const;
};

// False with a message for an unknown command or option, a missing value or
// a stray argument.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine& out, std::string& error);

// Usage of one command, or of the whole program for "".
std::string UsageText(const std::string& command);

// MACs and addresses are read with the host core's ParseMacText and
// ParseIpv4Text.
// Decimal, at most `max`.
bool ParseUnsigned(const std::string& text, uint32_t max, uint32_t& value);
// "on"/"off" (also 1/0, yes/no), any case.
bool ParseOnOff(const std::string& text, bool& on);

}  // namespace mdspctl
