#include "version_check.h"

#include <cctype>
#include <cstdio>

#include "version_resource.h"

namespace versioning {
namespace {

// The language the lookup uses when the file names no translation (a
// LANGID): always US English here, the language of every block's texts.
constexpr uint16_t kUserDefaultLanguage = 0x0409;

// Decimal conversion as atoi: leading white space skipped, stops at the first
// non-digit, 0 when there is no digit.
int32_t ToNumber(const std::string& token) {
  size_t i = 0;
  while (i < token.size() && std::isspace(static_cast<unsigned char>(token[i]))) ++i;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  int64_t value = 0;
  for (; i < token.size() && std::isdigit(static_cast<unsigned char>(token[i])); ++i) {
    value = value * 10 + (token[i] - '0');
    if (value > INT32_MAX) value = INT32_MAX;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

std::vector<std::string> Tokens(const std::string& text, char separator) {
  std::vector<std::string> tokens;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) tokens.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return tokens;
}

int Assign(const std::vector<std::string>& tokens, int32_t* out[3]) {
  int n = 0;
  for (; n < 3 && n < static_cast<int>(tokens.size()); ++n) *out[n] = ToNumber(tokens[n]);
  return n;
}

// *assigned: how many of the three numbers either pass assigned.
bool Parse(const std::string& text, int32_t* major, int32_t* minor, int32_t* build,
           int* assigned) {
  int32_t* out[3] = {major, minor, build};
  int dotted = Assign(Tokens(text, '.'), out);
  *assigned = dotted;
  if (dotted == 3) return true;
  std::string head = text.substr(0, text.find('.'));
  int commas = Assign(Tokens(head, ','), out);
  if (commas > *assigned) *assigned = commas;
  return commas == 3;
}

}  // namespace

bool ParseVersionText(const std::string& text, int32_t* major, int32_t* minor, int32_t* build) {
  int assigned = 0;
  return Parse(text, major, minor, build, &assigned);
}

std::optional<std::string> FileVersionText(const VersionBlockView& block, uint16_t userLanguage) {
  char key[16];
  if (block.translation) {
    uint16_t language = block.translation->first, codePage = block.translation->second;
    std::snprintf(key, sizeof key, "%02X%02X%02X%02X", language >> 8, language & 0xFF,
                  codePage >> 8, codePage & 0xFF);
  } else {
    std::snprintf(key, sizeof key, "%04X04B0", userLanguage);
  }
  if (block.tableKey != key) return std::nullopt;
  for (const auto& [name, value] : block.texts)
    if (name == "FileVersion") return value.substr(0, 255);
  return std::nullopt;
}

VersionReading ReadVersionFromBlock(const VersionBlockView& block, uint16_t userLanguage) {
  VersionReading reading;
  auto text = FileVersionText(block, userLanguage);
  if (!text) return reading;
  reading.readable = true;
  reading.parsed =
      Parse(*text, &reading.major, &reading.minor, &reading.build, &reading.assigned);
  return reading;
}

bool AcceptVersion(const VersionReading& reading) {
  return reading.readable && reading.assigned >= 2 && reading.major == 3 && reading.minor == 1;
}

VersionReading ReadLibraryVersion(const std::string& path) {
  VersionResource resource;
  if (path.empty() || !ReadVersionResource(path, resource)) return {};
  VersionBlockView block;
  // A block whose translation is all zero carries none.
  if (resource.language != 0 || resource.codePage != 0)
    block.translation = std::make_pair(resource.language, resource.codePage);
  char key[16];
  std::snprintf(key, sizeof key, "%04X%04X", resource.language, resource.codePage);
  block.tableKey = key;
  block.texts = resource.texts;
  return ReadVersionFromBlock(block, kUserDefaultLanguage);
}

bool LibraryFileAccepted(const std::string& path) {
  return AcceptVersion(ReadLibraryVersion(path));
}

}  // namespace versioning
