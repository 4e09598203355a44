// mdspctl scan --rounds/--interval: what is accepted and what is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_args.h"
#include "thorough_scan.h"

namespace {

TEST(ScanRoundsOptions, Table) {
  struct Case {
    std::vector<const char*> args;
    bool parses, accepted;
    uint32_t rounds, interval;
  };
  const Case cases[] = {
      {{"scan"}, true, true, 1, 200},  // a plain scan: one discover
      {{"scan", "--rounds", "3"}, true, true, 3, 200},
      {{"scan", "--rounds=5", "--interval", "0"}, true, true, 5, 0},
      {{"scan", "--rounds", "2", "--interval", "10000"}, true, true, 2, 10000},
      {{"scan", "--rounds", "0"}, true, false, 0, 0},
      {{"scan", "--rounds", "6"}, true, false, 0, 0},
      {{"scan", "--rounds", "two"}, true, false, 0, 0},
      {{"scan", "--interval", "10001"}, true, false, 0, 0},
      {{"scan", "--interval", "-5"}, true, false, 0, 0},
      {{"scan", "--rounds"}, false, false, 0, 0},          // value missing
      {{"wink", "--rounds", "3"}, false, false, 0, 0},     // scan only
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"mdspctl"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    mdspctl::CommandLine cli;
    std::string error;
    const std::string shown = c.args.size() > 1 ? std::string(c.args[1]) : "";
    ASSERT_EQ(mdspctl::ParseCommandLine(static_cast<int>(argv.size()), argv.data(), cli, error),
              c.parses)
        << shown << " " << error;
    if (!c.parses) continue;
    pelmar::ScanRounds rounds;
    EXPECT_EQ(mdspctl::ReadScanRounds(cli, rounds, error), c.accepted) << shown;
    if (c.accepted) {
      EXPECT_EQ(rounds.rounds, c.rounds) << shown;
      EXPECT_EQ(rounds.intervalMs, c.interval) << shown;
    } else {
      EXPECT_NE(error.find("--"), std::string::npos) << "names the option: " << error;
    }
  }
  EXPECT_NE(mdspctl::UsageText("scan").find("--rounds N"), std::string::npos);
}

}  // namespace
