// mdspctl's command line and value parsers.
#include "cli_args.h"
#include "module_texts.h"

#include <gtest/gtest.h>

#include <vector>

namespace mdspctl_test {
namespace {

bool Parse(std::vector<const char*> args, mdspctl::CommandLine& cli, std::string& error) {
  args.insert(args.begin(), "mdspctl");
  return mdspctl::ParseCommandLine(static_cast<int>(args.size()), args.data(), cli, error);
}

TEST(CommandLine, OptionsPerCommand) {
  mdspctl::CommandLine cli;
  std::string error;
  ASSERT_TRUE(Parse({"--verbose", "scan", "--nic", "10.0.0.1", "--nic=10.0.1.1", "--json",
                     "--timeout", "500"},
                    cli, error))
      << error;
  EXPECT_EQ(cli.command, "scan");
  EXPECT_TRUE(cli.verbose);
  EXPECT_TRUE(cli.has("json"));
  EXPECT_EQ(cli.options["nic"], (std::vector<std::string>{"10.0.0.1", "10.0.1.1"}));
  EXPECT_EQ(cli.value("timeout"), "500");
  EXPECT_EQ(cli.value("mac", "none"), "none");

  ASSERT_TRUE(Parse({"configure", "--mac", "02-00-00-00-00-01", "--hostname", "",
                     "--new-password", "--help"},
                    cli, error));
  EXPECT_TRUE(cli.help);
  EXPECT_TRUE(cli.has("hostname"));
  EXPECT_EQ(cli.value("hostname", "x"), "");
}

// Like --help, --version goes before or after the command.
TEST(CommandLine, VersionAnywhere) {
  for (std::vector<const char*> args :
       {std::vector<const char*>{"--version"}, {"--verbose", "--version"}, {"scan", "--version"},
        {"--version", "wink", "--mac", "02-00-00-00-00-01"}}) {
    mdspctl::CommandLine cli;
    std::string error;
    ASSERT_TRUE(Parse(args, cli, error)) << args[0] << ": " << error;
    EXPECT_TRUE(cli.version) << args[0];
    EXPECT_FALSE(cli.help) << args[0];
  }
}

TEST(CommandLine, RefusesWhatItDoesNotKnow) {
  mdspctl::CommandLine cli;
  std::string error;
  EXPECT_FALSE(Parse({"frobnicate"}, cli, error));
  EXPECT_FALSE(Parse({"scan", "--mac", "02-00-00-00-00-01"}, cli, error));  // not a scan option
  EXPECT_NE(error.find("--mac"), std::string::npos);
  EXPECT_FALSE(Parse({"wink", "--mac"}, cli, error));
  EXPECT_FALSE(Parse({"scan", "--json=1"}, cli, error));
  EXPECT_FALSE(Parse({"--json", "scan"}, cli, error));
  EXPECT_FALSE(Parse({"scan", "extra"}, cli, error));
  // No option carries a password: it could be read from the process list.
  EXPECT_FALSE(Parse({"configure", "--password", "secret"}, cli, error));
}

// The name command alone takes one word: the name.
TEST(CommandLine, NameTakesOneTextAfterTheCommand) {
  mdspctl::CommandLine cli;
  std::string error;
  ASSERT_TRUE(Parse({"name", "--mac", "02-00-00-00-00-01", "Press 1", "--note", ""}, cli, error))
      << error;
  EXPECT_EQ(cli.arguments, (std::vector<std::string>{"Press 1"}));
  EXPECT_TRUE(cli.has("note"));
  ASSERT_TRUE(Parse({"name", "--mac", "02-00-00-00-00-01"}, cli, error));
  EXPECT_TRUE(cli.arguments.empty());
  EXPECT_FALSE(Parse({"name", "a", "b"}, cli, error));
  EXPECT_FALSE(Parse({"wink", "text"}, cli, error));
  ASSERT_TRUE(Parse({"scan", "--csv"}, cli, error));
  EXPECT_TRUE(cli.has("csv"));
}

TEST(CommandLine, EveryCommandHasHelp) {
  for (const char* command : {"nics", "scan", "wink", "configure", "restart", "name", "doctor"})
    EXPECT_NE(mdspctl::UsageText(command).find(std::string("mdspctl ") + command),
              std::string::npos);
  // Scripts tell a sick computer from a failed run by the exit code.
  EXPECT_NE(mdspctl::UsageText("doctor").find("0 nothing wrong found, 8 at least one finding"),
            std::string::npos);
  EXPECT_NE(mdspctl::UsageText("").find("8 the doctor found something wrong"), std::string::npos);
}

TEST(CommandLine, DoctorOptions) {
  mdspctl::CommandLine cli;
  std::string error;
  ASSERT_TRUE(Parse({"doctor", "--json", "--no-scan", "--timeout", "500"}, cli, error)) << error;
  EXPECT_EQ(cli.command, "doctor");
  EXPECT_TRUE(cli.has("json") && cli.has("no-scan"));
  EXPECT_FALSE(Parse({"doctor", "--mac", "02-00-00-00-00-01"}, cli, error));
  EXPECT_FALSE(Parse({"doctor", "--no-scan=1"}, cli, error));
}

TEST(ValueParsers, NumbersAndSwitches) {
  uint32_t v = 0;
  EXPECT_TRUE(mdspctl::ParseUnsigned("255", 255, v));
  EXPECT_EQ(v, 255u);
  EXPECT_FALSE(mdspctl::ParseUnsigned("256", 255, v));
  EXPECT_FALSE(mdspctl::ParseUnsigned("-1", 255, v));
  EXPECT_FALSE(mdspctl::ParseUnsigned("99999999999", 0xFFFFFFFFu, v));
  bool on = false;
  EXPECT_TRUE(mdspctl::ParseOnOff("ON", on));
  EXPECT_TRUE(on);
  EXPECT_TRUE(mdspctl::ParseOnOff("off", on));
  EXPECT_FALSE(on);
  EXPECT_FALSE(mdspctl::ParseOnOff("maybe", on));
}

}  // namespace
}  // namespace mdspctl_test
