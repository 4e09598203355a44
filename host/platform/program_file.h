// The path of the running program's own file.
#pragma once

#include <string>

namespace pelmar::platform {

// "" when it cannot be had.
std::string OwnProgramFile();

}  // namespace pelmar::platform
