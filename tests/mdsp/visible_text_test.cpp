// Network texts on a terminal: nothing a terminal acts on gets through raw.
#include <gtest/gtest.h>

#include <string>

#include "lifecycle.h"
#include "visible_text.h"

namespace mdsp_test {
namespace {

using mdsp::VisibleText;

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

TEST(VisibleText, TerminalLineMasksFirstAndKeepsOnlyItsOwnLineEnd) {
  EXPECT_EQ(mdsp::TerminalLine("Data received: 'fb type = \x1b]0;owned\x07\r\nFAKE ROW'\n"),
            "Data received: 'fb type = \\x1b]0;owned\\x07\\x0d\\x0aFAKE ROW'\n");
  EXPECT_EQ(mdsp::TerminalLine("Data received: 'Configure: x;Password: \x1b[8m;HN =;'\n"),
            "Data received: 'Configure: x;Password: ***;HN =;'\n");
  EXPECT_EQ(mdsp::TerminalLine("no line end"), "no line end\n");
}

}  // namespace
}  // namespace mdsp_test
