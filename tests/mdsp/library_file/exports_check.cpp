// The shared library file exports exactly its 25 names, those the host
// binds, and nothing else.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "entry_point_list.h"

namespace mdsp_test {
namespace {

std::vector<char> ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Defined global and weak symbols of the dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols(const std::vector<char>& file) {
  std::set<std::string> names;
  if (file.size() < sizeof(Elf64_Ehdr)) return names;
  auto* header = reinterpret_cast<const Elf64_Ehdr*>(file.data());
  auto* sections = reinterpret_cast<const Elf64_Shdr*>(file.data() + header->e_shoff);
  for (unsigned i = 0; i < header->e_shnum; ++i) {
    if (sections[i].sh_type != SHT_DYNSYM) continue;
    const Elf64_Shdr& strings = sections[sections[i].sh_link];
    auto* symbols = reinterpret_cast<const Elf64_Sym*>(file.data() + sections[i].sh_offset);
    size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
    for (size_t s = 0; s < count; ++s) {
      unsigned bind = ELF64_ST_BIND(symbols[s].st_info);
      if (symbols[s].st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
      names.insert(file.data() + strings.sh_offset + symbols[s].st_name);
    }
  }
  return names;
}

TEST(LibraryFile, ExportsExactlyTheInterface) {
  std::vector<char> file = ReadAll(MDSP_LIBRARY_PATH);
  ASSERT_GT(file.size(), sizeof(Elf64_Ehdr)) << MDSP_LIBRARY_PATH;
  const std::set<std::string> expected = {
#define MDSP_TEST_NAME(name) #name,
      MDSP_ENTRY_POINTS(MDSP_TEST_NAME)
#undef MDSP_TEST_NAME
  };
  ASSERT_EQ(expected.size(), 25u);
  std::set<std::string> actual = DefinedDynamicSymbols(file);
  // The version script may mark its node with an absolute symbol; ignore
  // nothing else.
  EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace mdsp_test
