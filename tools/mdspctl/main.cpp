// mdspctl: finds and configures network modules from a terminal or script,
// using only the library's exported interface.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_args.h"
#include "apply_command.h"
#include "commands.h"
#include "exit_codes.h"
#include "program_version.h"

namespace {

// The library attaches its standard-error log sink when it is loaded with
// MDSP_LOG_STDERR set; it is loaded before main runs, so --verbose starts the
// program again with the variable set.
void RestartWithLibraryLog(char** argv) {
  const char* current = std::getenv("MDSP_LOG_STDERR");
  if (current && *current) return;
  setenv("MDSP_LOG_STDERR", "1", 1);
  execv("/proc/self/exe", argv);
  std::fprintf(stderr, "mdspctl: --verbose: cannot restart itself, continuing without log\n");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace mdspctl;
  CommandLine cli;
  std::string error;
  if (!ParseCommandLine(argc, argv, cli, error)) {
    std::fprintf(stderr, "mdspctl: %s\n%s", error.c_str(), UsageText(cli.command).c_str());
    return kExitUsage;
  }
  // Answered before anything starts: no library use, no restart for --verbose.
  if (cli.version && !cli.help) return versioning::PrintProgramVersion("mdspctl");
  if (cli.help || cli.command.empty()) {
    std::fputs(UsageText(cli.command).c_str(), cli.help ? stdout : stderr);
    return cli.help ? kExitOk : kExitUsage;
  }
  if (cli.verbose) RestartWithLibraryLog(argv);
  if (cli.command == "nics") return RunNics(cli);
  if (cli.command == "scan") return RunScan(cli);
  if (cli.command == "wink") return RunWink(cli);
  if (cli.command == "configure") return RunConfigure(cli);
  if (cli.command == "doctor") return RunDoctor(cli);
  if (cli.command == "apply") return RunApply(cli);
  return RunRestart(cli);
}
