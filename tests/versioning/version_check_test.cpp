// Version acceptance: the FileVersion text chosen from a block, how it is
// parsed, and the rule "major 3, minor 1".
#include <gtest/gtest.h>

#include "version_check.h"

namespace versioning_test {
using namespace versioning;
namespace {

VersionBlockView Block(const std::string& fileVersion) {
  VersionBlockView b;
  b.translation = std::make_pair(uint16_t{0x0409}, uint16_t{0x04B0});
  b.tableKey = "040904B0";
  b.texts = {{"FileVersion", fileVersion}};
  return b;
}

TEST(Version, AcceptanceRule) {
  const struct {
    const char* fileVersion;
    bool accepted;
  } cases[] = {
      {"3.1.0.0", true},  {"3.1.9.9", true},  {"3.1.1.2", true}, {"3, 1, 1, 2", true},
      {"3.1", true},      {"3.0.1.2", false}, {"4.1.0.0", false}, {"3.2.0", false},
      {"3", false},       {"", false},        {"abc", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AcceptVersion(ReadVersionFromBlock(Block(c.fileVersion), 0x0409)), c.accepted)
        << '"' << c.fileVersion << '"';
}

TEST(Version, ThreePointOneParsesAsFailureButIsAccepted) {
  int32_t major = -1, minor = -1, build = -1;
  EXPECT_FALSE(ParseVersionText("3.1", &major, &minor, &build));
  EXPECT_EQ(major, 3);
  EXPECT_EQ(minor, 1);
  EXPECT_EQ(build, -1);
}

TEST(Version, ParseRules) {
  int32_t a = -1, b = -1, c = -1;
  EXPECT_TRUE(ParseVersionText("3..1.2", &a, &b, &c));  // empty tokens do not count
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(c, 2);
  EXPECT_TRUE(ParseVersionText(" 7x.8.9", &a, &b, &c));
  EXPECT_EQ(a, 7);
  EXPECT_TRUE(ParseVersionText("3, 1, 5.2", &a, &b, &c));  // before the first "." split at ","
  EXPECT_EQ(c, 5);
}

TEST(Version, FileVersionMissingIsRefused) {
  VersionBlockView b = Block("3.1.0.0");
  b.texts = {{"ProductVersion", "3.1.0.0"}};
  EXPECT_FALSE(ReadVersionFromBlock(b, 0x0409).readable);
  EXPECT_FALSE(AcceptVersion(ReadVersionFromBlock(b, 0x0409)));
}

TEST(Version, StringTableChosenByTranslation) {
  VersionBlockView b = Block("3.1.0.0");
  b.translation = std::make_pair(uint16_t{0x0407}, uint16_t{0x04E4});
  b.tableKey = "040704E4";
  EXPECT_TRUE(AcceptVersion(ReadVersionFromBlock(b, 0x0409)));
  b.tableKey = "040904B0";  // a table the translation does not name
  EXPECT_FALSE(ReadVersionFromBlock(b, 0x0409).readable);
  // Without a translation: the user's language and code page 04B0.
  b.translation.reset();
  EXPECT_TRUE(ReadVersionFromBlock(b, 0x0409).readable);
  EXPECT_FALSE(ReadVersionFromBlock(b, 0x0407).readable);
}

}  // namespace
}  // namespace versioning_test
