// Small files of our own next to settings.dat, read bounded and written whole.
#pragma once

#include <cstddef>
#include <string>

namespace pelmar::platform {

// Up to `limit` bytes of the file; false when it cannot be opened or read.
bool ReadSmallFile(const std::string& path, size_t limit, std::string* bytes);
// Creates the folders, writes a temporary file beside the target and renames
// it over the old one, so a reader never sees half a file.
bool WriteFileWhole(const std::string& path, const std::string& bytes);

}  // namespace pelmar::platform
