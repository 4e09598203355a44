// The path of the running program's own file.
#pragma once

#include <string>

namespace versioning::platform {

// "" when it cannot be had.
std::string OwnProgramFile();

}  // namespace versioning::platform
