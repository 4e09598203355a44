// mdspctl apply: a plan file of several modules, checked, shown, applied one
// module at a time and read back.
#pragma once

#include "cli_args.h"

namespace mdspctl {

int RunApply(const CommandLine& cli);

}  // namespace mdspctl
