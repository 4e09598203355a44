// The simulator's lossy wire: --loss and --loss-seed, and drops that repeat
// with the seed.
#include <gtest/gtest.h>

#include <vector>

#include "answer_loss.h"
#include "cli_options.h"

namespace mdspsim_test {
namespace {

using mdspsim::AnswerLoss;

TEST(AnswerLoss, ProbabilityTexts) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {"0", true, 0},     {"1", true, 1},          {"0.05", true, 0.05}, {".5", true, 0.5},
      {"1.0", true, 1},   {"1.01", false, 0},      {"-0.1", false, 0},   {"", false, 0},
      {".", false, 0},    {"0.5.1", false, 0},     {"5e-2", false, 0},   {"nan", false, 0},
      {"0.0000000001", false, 0},  // longer than 9 characters
  };
  for (const Case& c : cases) {
    double value = -1;
    EXPECT_EQ(mdspsim::ParseProbability(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
  }
}

TEST(AnswerLoss, CommandLine) {
  const char* argv[] = {"mdsp-sim", "--iface", "p0", "--generate-text", "3",
                        "--loss", "0.05", "--loss-seed", "7"};
  mdspsim::CliOptions o;
  std::string error;
  ASSERT_TRUE(mdspsim::ParseCli(9, argv, o, error)) << error;
  EXPECT_DOUBLE_EQ(o.loss, 0.05);
  EXPECT_EQ(o.lossSeed, 7u);
  mdspsim::CliOptions plain;
  ASSERT_TRUE(mdspsim::ParseCli(5, argv, plain, error));
  EXPECT_EQ(plain.loss, 0.0);  // no loss unless asked
  for (const char* bad : {"2", "x", "-1"}) {
    const char* refused[] = {"mdsp-sim", "--iface", "p0", "--generate-text", "3", "--loss", bad};
    mdspsim::CliOptions r;
    EXPECT_FALSE(mdspsim::ParseCli(7, refused, r, error)) << bad;
  }
  const char* badSeed[] = {"mdsp-sim", "--iface", "p0", "--generate-text", "3", "--loss-seed", "x"};
  mdspsim::CliOptions r;
  EXPECT_FALSE(mdspsim::ParseCli(7, badSeed, r, error));
}

std::vector<bool> Draws(double p, uint32_t seed, int n) {
  AnswerLoss loss(p, seed);
  std::vector<bool> out;
  for (int i = 0; i < n; ++i) out.push_back(loss.Drop());
  return out;
}

TEST(AnswerLoss, SeededAndNearTheProbability) {
  EXPECT_EQ(Draws(0.3, 11, 500), Draws(0.3, 11, 500));  // a run can be repeated
  EXPECT_NE(Draws(0.3, 11, 500), Draws(0.3, 12, 500));
  struct Case {
    double p;
    int low, high;  // drops among 20000
  };
  for (const Case& c : {Case{0, 0, 0}, Case{1, 20000, 20000}, Case{0.05, 800, 1200},
                        Case{0.5, 9500, 10500}}) {
    int drops = 0;
    for (bool d : Draws(c.p, 1, 20000)) drops += d;
    EXPECT_GE(drops, c.low) << c.p;
    EXPECT_LE(drops, c.high) << c.p;
  }
}

}  // namespace
}  // namespace mdspsim_test
