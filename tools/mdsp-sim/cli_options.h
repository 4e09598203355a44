// Command line of mdsp-sim.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace mdspsim {

struct CliOptions {
  std::string iface;
  std::string configPath;
  std::string logPath;  // empty: standard output
  uint32_t generateText = 0;
  uint32_t generateSecure = 0;
  std::string macPrefix = "02-00-01";
  uint32_t seedDelayMs = 0;  // every answer to an Authentication request leaves this much later
  std::set<std::string> ignoreFields;  // --ignore-field, for every module
  double loss = 0;           // probability that an answer is dropped
  uint32_t lossSeed = 1;
  bool help = false;
  bool version = false;
};

// False with a message on a bad command line. --help and --version set
// their flag and succeed without further checks.
bool ParseCli(int argc, const char* const* argv, CliOptions& out, std::string& error);

const char* UsageText();

}  // namespace mdspsim
