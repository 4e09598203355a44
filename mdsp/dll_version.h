// DllGetVersion's answer, read from the version block of the library's own file.
#pragma once

#include <string>

#include "mdsp.h"

namespace mdsp {

// Fills major, minor and build from the version block of the file at path
// (left as they are when it has none) and sets the platform to 1.
void FillDllVersionFromFile(const std::string& path, DLLVERSIONINFO& info);
// The same for the file this code was loaded from.
void FillDllVersion(DLLVERSIONINFO& info);

}  // namespace mdsp
