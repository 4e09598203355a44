// Version acceptance: is this library file 3.1? The FileVersion text of
// its version block, how it is parsed, and the rule.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace versioning {

// Three numbers from "a.b.c[...]" or from the part
// before the first "." split at ",". Numbers that parsing reached are
// assigned even when it fails; the others keep their value.
bool ParseVersionText(const std::string& text, int32_t* major, int32_t* minor, int32_t* build);

// What a version block offers: its translation (absent when the block has
// none) and its string table, keyed "LLLLCCCC" (language, code page in
// upper-case hexadecimal).
struct VersionBlockView {
  std::optional<std::pair<uint16_t, uint16_t>> translation;  // language, code page
  std::string tableKey;
  std::vector<std::pair<std::string, std::string>> texts;
};

// The "FileVersion" text of the string table the translation
// names (without one, the user's default language and code page 04B0), cut
// to 255 characters. Empty optional when that table or text is missing.
std::optional<std::string> FileVersionText(const VersionBlockView& block, uint16_t userLanguage);

// The acceptance rule: major 3 and minor 1, each assigned by parsing.
// `assigned` is how many numbers parsing assigned (0 to 3).
struct VersionReading {
  bool readable = false;  // block and FileVersion text found
  int32_t major = -1, minor = -1, build = -1;
  int assigned = 0;
  bool parsed = false;  // ParseVersionText's result
};
VersionReading ReadVersionFromBlock(const VersionBlockView& block, uint16_t userLanguage);
bool AcceptVersion(const VersionReading& reading);

// ReadLibraryVersion of exactly that file: not readable when it has no
// version block or no FileVersion text; otherwise the numbers parsing
// assigned.
VersionReading ReadLibraryVersion(const std::string& path);
// AcceptVersion(ReadLibraryVersion(path)).
bool LibraryFileAccepted(const std::string& path);

}  // namespace versioning
