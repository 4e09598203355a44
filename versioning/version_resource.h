// Version information embedded in a program or library file, readable from
// the file without loading it: fixed version numbers and named texts
// ("FileVersion", "ProductVersion", ...). How it sits in the file is the
// platform file's business (an ELF section of its own here).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace versioning {

inline constexpr uint32_t kVersionSignature = 0xFEEF04BD;
inline constexpr char kVersionSectionName[] = ".version_info";

// The bytes as they sit in the section.
struct VersionResourceImage {
  char magic[8];  // "VERSINF"
  uint32_t signature;
  uint32_t fileVersionMS;  // major << 16 | minor
  uint32_t fileVersionLS;  // patch << 16 | build
  uint32_t productVersionMS;
  uint32_t productVersionLS;
  uint16_t language;
  uint16_t codePage;
  // Pairs of NUL-terminated name and value, ended by an empty name.
  char texts[1024];
};

struct VersionResource {
  uint32_t signature = 0;
  uint32_t fileVersionMS = 0, fileVersionLS = 0;
  uint32_t productVersionMS = 0, productVersionLS = 0;
  uint16_t language = 0, codePage = 0;
  std::vector<std::pair<std::string, std::string>> texts;

  // The value of a named text, or nullptr.
  const std::string* Text(const std::string& name) const;
};

// Reads the version block of a program or library file; false when the file
// cannot be read or has no (valid) block.
bool ReadVersionResource(const std::string& path, VersionResource& resource);

}  // namespace versioning

// Embeds a version block in the file being linked. Written by
// add_version_block (version_block.cmake); by hand only for test variants.
#define VERSIONING_EMBED_BLOCK(variable, ...)                                \
  extern "C" __attribute__((used, section(".version_info")))                \
  const ::versioning::VersionResourceImage variable = __VA_ARGS__
