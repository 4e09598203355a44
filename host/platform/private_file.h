// The host file that bulk runs need: a file with passwords that only its
// owner may read.
#pragma once

#include <string>

namespace pelmar {

// Reads the whole file, refused (false with a message) when its group or
// others may read or write it, or it is not a regular file: passwords in it
// would be readable by others.
bool ReadPrivateFile(const std::string& path, std::string& text, std::string& error);

}  // namespace pelmar
