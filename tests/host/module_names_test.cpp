// Names and notes per MAC: the texts as kept, the file's text read back,
// damaged files refused as a whole, and the file on disk across runs,
// damaged, too large and written atomically.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "module_names.h"
#include "names_file.h"

namespace pelmar_test {
namespace {

const uint8_t kMacA[6] = {0x02, 0x00, 0x00, 0x00, 0x10, 0x01};
const uint8_t kMacB[6] = {0x02, 0xA7, 0x5E, 0x0A, 0x0B, 0x2C};

TEST(ModuleNames, TextsAreKeptCleanAndBounded) {
  const struct {
    const char* what;
    std::string name, note;
    std::string keptName, keptNote;
  } cases[] = {
      {"plain", "Press 1", "left of the door", "Press 1", "left of the door"},
      {"trimmed", "  Press 1 \t", "\n note \n", "Press 1", "note"},
      {"controls in the name", "a\x1b[2Jb\nc", "", "a [2Jb c", ""},
      {"note keeps line feeds only", "", "one\r\ntwo\x07three", "", "one\ntwo three"},
      {"C1 control", "x\xc2\x9by", "", "x y", ""},
      {"latin-1 read as such", "Gr\xfc\xdf", "", "Gr\xc3\xbc\xc3\x9f", ""},
      {"name cut at a character", std::string(63, 'a') + "\xc3\xbc", "",
       std::string(63, 'a'), ""},
      {"note cut to its limit", "n", std::string(5000, 'x'), "n", std::string(1024, 'x')},
  };
  for (const auto& c : cases) {
    const pelmar::ModuleNote kept = pelmar::CleanModuleNote({c.name, c.note});
    EXPECT_EQ(kept.name, c.keptName) << c.what;
    EXPECT_EQ(kept.note, c.keptNote) << c.what;
  }
}

TEST(ModuleNames, SetFindRemoveAndTheTextReadBack) {
  pelmar::ModuleNames names;
  names.Set(kMacA, {"Press 1", "tab\there\\ and\nnext line"});
  names.Set(kMacB, {"", "only a note"});
  ASSERT_NE(names.Find(kMacA), nullptr);
  EXPECT_EQ(pelmar::NameStatusPiece(names.Find(kMacA)), "Press 1");
  EXPECT_EQ(pelmar::NameStatusPiece(names.Find(kMacB)), "");
  EXPECT_EQ(pelmar::NameTooltip(names.Find(kMacA)),
            "Name: Press 1\nNote: tab here\\ and\nnext line");
  EXPECT_EQ(pelmar::NameTooltip(names.Find(kMacB)), "Note: only a note");
  EXPECT_EQ(pelmar::NameTooltip(nullptr), "");

  pelmar::ModuleNames back;
  ASSERT_TRUE(back.Parse(names.Compose())) << names.Compose();
  EXPECT_EQ(back.Compose(), names.Compose());
  EXPECT_EQ(back.Find(kMacA)->note, "tab here\\ and\nnext line");

  names.Set(kMacA, {" ", ""});  // both empty: gone
  EXPECT_EQ(names.Find(kMacA), nullptr);
  EXPECT_EQ(names.size(), 1u);
}

TEST(ModuleNames, DamagedTextIsRefusedAsAWholeAndChangesNothing) {
  const std::string header = "# Pelmar module names 1\n";
  const struct {
    const char* what;
    std::string text;
  } damaged[] = {
      {"empty", ""},
      {"no header", "02-00-00-00-10-01\ta\tb\n"},
      {"other header", "# Pelmar module names 2\n"},
      {"cut short", header + "02-00-00-00-10-01\ta\tb"},
      {"two fields", header + "02-00-00-00-10-01\ta\n"},
      {"four fields", header + "02-00-00-00-10-01\ta\tb\tc\n"},
      {"bad MAC", header + "02-00-00-00-10\ta\tb\n"},
      {"lower-case MAC", header + "02-a7-5e-0a-0b-2c\ta\tb\n"},
      {"bad escape", header + "02-00-00-00-10-01\ta\\q\tb\n"},
      {"lone backslash", header + "02-00-00-00-10-01\ta\tb\\\n"},
      {"not UTF-8", header + "02-00-00-00-10-01\t\xff\tb\n"},
      {"NUL bytes", header + std::string("\0\0\0\n", 4)},
      {"too large", header + std::string(pelmar::kNamesFileLimit, 'x') + "\n"},
  };
  for (const auto& c : damaged) {
    pelmar::ModuleNames names;
    names.Set(kMacA, {"kept", ""});
    EXPECT_FALSE(names.Parse(c.text)) << c.what;
    ASSERT_NE(names.Find(kMacA), nullptr) << c.what;
    EXPECT_EQ(names.Find(kMacA)->name, "kept") << c.what;
  }
  pelmar::ModuleNames empty;
  EXPECT_TRUE(empty.Parse(header));
  EXPECT_EQ(empty.size(), 0u);
}

class NamesFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pelmar-names-XXXXXX";
    folder_ = mkdtemp(pattern);
    path_ = folder_ + "/deeper/names.txt";
  }
  void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void Write(const std::string& text) {
    ::mkdir((folder_ + "/deeper").c_str(), 0755);
    std::ofstream(path_, std::ios::binary) << text;
  }
  std::string folder_, path_;
};

TEST_F(NamesFile, NamesAreKeptAcrossRuns) {
  EXPECT_EQ(pelmar::NamesPathBeside("/c/Tordal/Corvane Pelmar/settings.dat"),
            "/c/Tordal/Corvane Pelmar/names.txt");
  pelmar::ModuleNames names;
  std::string message;
  EXPECT_EQ(pelmar::LoadNames(path_, names, message), pelmar::NamesLoad::Missing);
  EXPECT_EQ(message, "");
  names.Set(kMacA, {"Press 1", "line one\nline two"});
  ASSERT_TRUE(pelmar::SaveNames(path_, names, message)) << message;

  pelmar::ModuleNames next;  // the next run
  ASSERT_EQ(pelmar::LoadNames(path_, next, message), pelmar::NamesLoad::Loaded);
  ASSERT_NE(next.Find(kMacA), nullptr);
  EXPECT_EQ(next.Find(kMacA)->note, "line one\nline two");
  // No temporary file is left beside it.
  EXPECT_EQ(std::system(("test $(ls -A '" + folder_ + "/deeper' | wc -l) = 1").c_str()), 0);
}

TEST_F(NamesFile, DamagedOrHugeFileIsIgnoredWithAWarningAndKeptAside) {
  for (const std::string& content :
       {std::string("garbage\x01\n"), "# Pelmar module names 1\n" +
                                          std::string(pelmar::kNamesFileLimit + 10, 'x')}) {
    Write(content);
    pelmar::ModuleNames names;
    std::string message;
    EXPECT_EQ(pelmar::LoadNames(path_, names, message), pelmar::NamesLoad::Damaged);
    EXPECT_NE(message.find("damaged"), std::string::npos) << message;
    EXPECT_EQ(names.size(), 0u);
    // The next save keeps the damaged file instead of overwriting it.
    names.Set(kMacB, {"new", ""});
    ASSERT_TRUE(pelmar::SaveNames(path_, names, message)) << message;
    EXPECT_EQ(Read(path_ + ".damaged"), content);
    EXPECT_EQ(pelmar::LoadNames(path_, names, message), pelmar::NamesLoad::Loaded);
    EXPECT_EQ(names.Find(kMacB)->name, "new");
    std::remove((path_ + ".damaged").c_str());
  }
}

TEST_F(NamesFile, AFailedSaveLeavesTheOldFileWhole) {
  pelmar::ModuleNames names;
  std::string message;
  names.Set(kMacA, {"old", ""});
  ASSERT_TRUE(pelmar::SaveNames(path_, names, message));
  const std::string before = Read(path_);
  if (::geteuid() != 0) {
    ::chmod((folder_ + "/deeper").c_str(), 0555);  // no temporary file can be made
    names.Set(kMacA, {"new", ""});
    EXPECT_FALSE(pelmar::SaveNames(path_, names, message));
    EXPECT_FALSE(message.empty());
    ::chmod((folder_ + "/deeper").c_str(), 0755);
  }
  // A path whose folder is a file cannot be written at all.
  EXPECT_FALSE(pelmar::SaveNames(path_ + "/x", names, message));
  EXPECT_EQ(Read(path_), before);
}

}  // namespace
}  // namespace pelmar_test
