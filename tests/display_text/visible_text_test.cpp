// Network texts on a terminal: nothing a terminal acts on gets through raw;
// module texts decoded as UTF-8 or Latin-1.
#include <gtest/gtest.h>

#include <string>

#include "visible_text.h"

namespace display_text_test {
namespace {

using display_text::VisibleText;

TEST(VisibleText, ControlsAndBrokenUtf8AreEscapedPrintableUtf8Passes) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"SIM-IO 16DI", "SIM-IO 16DI"},
      {"\x1b[2J\x1b[H", "\\x1b[2J\\x1b[H"},              // clear screen
      {"a\rb\nc\td", "a\\x0db\\x0ac\\x09d"},             // forged rows, hidden text
      {std::string("x\0y", 3), "x\\x00y"},
      {"\x7f", "\\x7f"},
      {"\xc2\x9b" "31m", "\\xc2\\x9b31m"},               // C1 control sequence start
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\xa7", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\xa7"},
      {"\xc2\xa0", "\xc2\xa0"},                          // first code point past C1
      {"\xff\xfe", "\\xff\\xfe"},                        // never UTF-8
      {"\xc3", "\\xc3"},                                 // cut short at the end
      {"\xc3(", "\\xc3("},                               // lead without continuation
      {"\xc0\xaf", "\\xc0\\xaf"},                        // overlong '/'
      {"\xe0\x80\xaf", "\\xe0\\x80\\xaf"},               // overlong, three bytes
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},               // surrogate
      {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},      // past U+10FFFF
      {"\x80" "abc", "\\x80abc"},                        // stray continuation
      {"a\\x1b", "a\\\\x1b"},                            // a real backslash stays tellable
  };
  for (const auto& c : cases) EXPECT_EQ(VisibleText(c.in), c.out) << c.out;
}

// A module text is UTF-8 when it is well-formed UTF-8, else Latin-1; what
// is shown is always UTF-8.
TEST(ModuleText, WellFormedUtf8StaysEverythingElseIsLatin1) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"", ""},
      {"SIM-IO 16DI", "SIM-IO 16DI"},
      {"Schaltschrank-S\xc3\xbc" "d", "Schaltschrank-S\xc3\xbc" "d"},  // UTF-8
      {"Schaltschrank-S\xfc" "d", "Schaltschrank-S\xc3\xbc" "d"},       // Latin-1
      {"\xe2\x82\xac \xf0\x9f\x94\xa7", "\xe2\x82\xac \xf0\x9f\x94\xa7"},
      // One broken sequence makes the whole text Latin-1, the valid pair too.
      {"\xc3\xa9\xff", "\xc3\x83\xc2\xa9\xc3\xbf"},
      {"\xc0\xaf", "\xc3\x80\xc2\xaf"},          // overlong: not UTF-8
      {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},  // surrogate: not UTF-8
      {"\xc3", "\xc3\x83"},                        // cut short
      {"a\x1b\x85", "a\x1b\xc2\x85"},              // controls stay, for VisibleText to show
  };
  for (const auto& c : cases) {
    EXPECT_EQ(display_text::ModuleTextAsUtf8(c.in), c.out) << c.in;
    EXPECT_TRUE(display_text::IsWellFormedUtf8(display_text::ModuleTextAsUtf8(c.in))) << c.in;
  }
  // Decoded first, a Latin-1 control is still made visible on a terminal.
  EXPECT_EQ(VisibleText(display_text::ModuleTextAsUtf8("S\xfc" "d\x85")), "S\xc3\xbc" "d\\xc2\\x85");
}

}  // namespace
}  // namespace display_text_test
