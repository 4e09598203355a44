// The commands of mdspctl; each returns the process exit code.
#pragma once

#include "cli_args.h"

namespace mdspctl {

int RunNics(const CommandLine& cli);
int RunScan(const CommandLine& cli);
int RunWink(const CommandLine& cli);
int RunConfigure(const CommandLine& cli);
int RunRestart(const CommandLine& cli);
int RunDoctor(const CommandLine& cli);

}  // namespace mdspctl
