// The library's terminal log sink: passwords masked first, then every byte a
// terminal acts on made visible, so a forged line end cannot fake a line.
#include <gtest/gtest.h>

#include "lifecycle.h"

namespace mdsp_test {
namespace {

TEST(VisibleText, TerminalLineMasksFirstAndKeepsOnlyItsOwnLineEnd) {
  EXPECT_EQ(mdsp::TerminalLine("Data received: 'fb type = \x1b]0;owned\x07\r\nFAKE ROW'\n"),
            "Data received: 'fb type = \\x1b]0;owned\\x07\\x0d\\x0aFAKE ROW'\n");
  EXPECT_EQ(mdsp::TerminalLine("Data received: 'Configure: x;Password: \x1b[8m;HN =;'\n"),
            "Data received: 'Configure: x;Password: ***;HN =;'\n");
  EXPECT_EQ(mdsp::TerminalLine("no line end"), "no line end\n");
}

}  // namespace
}  // namespace mdsp_test
