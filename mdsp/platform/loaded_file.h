// Which file a piece of loaded code came from.
#pragma once

#include <string>

namespace mdsp::platform {

// Path of the library or program that holds `address`; "" when unknown.
std::string LoadedFilePath(const void* address);

}  // namespace mdsp::platform
