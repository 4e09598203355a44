// Small files of our own next to settings.dat, read bounded and written whole.
#pragma once

#include <cstddef>
#include <string>

namespace pelmar::platform {

// The file `name` in the folder of `settingsPath` (settings.dat): where our
// own files live; "" when there is no settings path.
std::string FileBesideSettings(const std::string& settingsPath, const char* name);
// Up to `limit` bytes of the file; false when it cannot be opened or read.
bool ReadSmallFile(const std::string& path, size_t limit, std::string* bytes);
// Creates the folders of `path`; false (errno set) when one cannot be made.
bool MakeFoldersOf(const std::string& path);
// Creates the folders, writes a temporary file beside the target, syncs it and
// renames it over the old one, then syncs the folder: a reader never sees half
// a file and a crash leaves the old file or the new one. errno on failure.
bool WriteFileWhole(const std::string& path, const std::string& bytes);

}  // namespace pelmar::platform
