#include <elf.h>

#include <cstring>
#include <fstream>

#include "version_resource.h"

namespace versioning {
namespace {

bool ReadAt(std::ifstream& file, uint64_t offset, void* out, size_t size) {
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<size_t>(file.gcount()) == size;
}

// Finds the section by name in a 64-bit little-endian ELF file.
bool FindSection(std::ifstream& file, uint64_t* offset, uint64_t* size) {
  Elf64_Ehdr header;
  if (!ReadAt(file, 0, &header, sizeof header)) return false;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_ident[EI_DATA] != ELFDATA2LSB || header.e_shentsize != sizeof(Elf64_Shdr) ||
      header.e_shstrndx >= header.e_shnum)
    return false;
  Elf64_Shdr names;
  if (!ReadAt(file, header.e_shoff + uint64_t{header.e_shstrndx} * sizeof(Elf64_Shdr), &names,
              sizeof names))
    return false;
  for (unsigned i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr section;
    if (!ReadAt(file, header.e_shoff + uint64_t{i} * sizeof section, &section, sizeof section))
      return false;
    char name[sizeof kVersionSectionName] = {};
    if (section.sh_name >= names.sh_size) continue;
    if (!ReadAt(file, names.sh_offset + section.sh_name, name, sizeof name)) continue;
    if (std::memcmp(name, kVersionSectionName, sizeof name) == 0 && section.sh_type == SHT_PROGBITS) {
      *offset = section.sh_offset;
      *size = section.sh_size;
      return true;
    }
  }
  return false;
}

}  // namespace

const std::string* VersionResource::Text(const std::string& name) const {
  for (const auto& [key, value] : texts)
    if (key == name) return &value;
  return nullptr;
}

bool ReadVersionResource(const std::string& path, VersionResource& resource) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  uint64_t offset = 0, size = 0;
  if (!FindSection(file, &offset, &size) || size < sizeof(VersionResourceImage)) return false;
  VersionResourceImage image;
  if (!ReadAt(file, offset, &image, sizeof image)) return false;
  if (std::memcmp(image.magic, "VERSINF", 8) != 0) return false;
  resource = VersionResource{};
  resource.signature = image.signature;
  resource.fileVersionMS = image.fileVersionMS;
  resource.fileVersionLS = image.fileVersionLS;
  resource.productVersionMS = image.productVersionMS;
  resource.productVersionLS = image.productVersionLS;
  resource.language = image.language;
  resource.codePage = image.codePage;
  // Name/value pairs; a text running past the block ends the list.
  const char* cursor = image.texts;
  const char* end = image.texts + sizeof image.texts;
  while (cursor < end && *cursor) {
    const char* nameEnd = static_cast<const char*>(std::memchr(cursor, 0, end - cursor));
    if (!nameEnd || nameEnd + 1 >= end) break;
    const char* value = nameEnd + 1;
    const char* valueEnd = static_cast<const char*>(std::memchr(value, 0, end - value));
    if (!valueEnd) break;
    resource.texts.emplace_back(std::string(cursor, nameEnd), std::string(value, valueEnd));
    cursor = valueEnd + 1;
  }
  return true;
}

}  // namespace versioning
