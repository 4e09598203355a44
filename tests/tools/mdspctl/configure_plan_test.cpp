// How `mdspctl configure` turns its options into the library's configure
// calls for each kind of module.
#include "configure_plan.h"

#include <gtest/gtest.h>

#include <vector>

#include "mdsp.h"

namespace {

mdspctl::ConfigurePlan Plan(std::vector<const char*> args) {
  args.insert(args.begin(), {"mdspctl", "configure", "--mac", "02-00-00-00-00-01"});
  mdspctl::CommandLine cli;
  std::string error;
  EXPECT_TRUE(mdspctl::ParseCommandLine(static_cast<int>(args.size()), args.data(), cli, error));
  mdspctl::ConfigurePlan plan;
  EXPECT_TRUE(mdspctl::ReadConfigurePlan(cli, plan, error)) << error;
  return plan;
}

uint32_t Value(const mdspctl::PayloadValue& v) {
  return static_cast<uint32_t>(v.bytes[0]) | static_cast<uint32_t>(v.bytes[1]) << 8 |
         static_cast<uint32_t>(v.bytes[2]) << 16 | static_cast<uint32_t>(v.bytes[3]) << 24;
}

TEST(ConfigurePlan, RefusesNothingToChangeAndBadValues) {
  mdspctl::CommandLine cli;
  std::string error;
  const char* none[] = {"mdspctl", "configure", "--mac", "02-00-00-00-00-01"};
  ASSERT_TRUE(mdspctl::ParseCommandLine(4, none, cli, error));
  mdspctl::ConfigurePlan plan;
  EXPECT_FALSE(mdspctl::ReadConfigurePlan(cli, plan, error));
  const char* bad[] = {"mdspctl", "configure", "--ip", "10.0.0.300"};
  ASSERT_TRUE(mdspctl::ParseCommandLine(4, bad, cli, error));
  EXPECT_FALSE(mdspctl::ReadConfigurePlan(cli, plan, error));
  EXPECT_NE(error.find("--ip"), std::string::npos);
  const char* dhcp[] = {"mdspctl", "configure", "--dhcp", "sometimes"};
  ASSERT_TRUE(mdspctl::ParseCommandLine(4, dhcp, cli, error));
  EXPECT_FALSE(mdspctl::ReadConfigurePlan(cli, plan, error));
}

TEST(ConfigurePlan, SecureModuleGetsOnlyTheChanges) {
  auto values = mdspctl::PayloadValues(Plan({"--gateway", "10.0.0.254", "--hostname", "n2"}),
                                       true, "old", "");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].tag, 2);
  EXPECT_EQ(values[0].size, 4);
  EXPECT_EQ(Value(values[0]), 0x0A0000FEu);
  EXPECT_EQ(values[1].tag, 6);
  EXPECT_TRUE(values[1].isText);
  EXPECT_EQ(values[1].text, "n2");
}

TEST(ConfigurePlan, TextModuleKeepsWhatIsNotChanged) {
  // The library starts a text module's request zeroed: every field must be
  // given, or the module would be set to 0.0.0.0 with DHCP off and no name.
  auto values = mdspctl::PayloadValues(Plan({"--ip", "10.1.2.3", "--new-password"}), false,
                                       "plant-4", "ab0123");
  ASSERT_EQ(values.size(), 8u);
  EXPECT_EQ(values[0].tag, 0);
  EXPECT_EQ(Value(values[0]), 0x0A010203u);
  for (int tag = 1; tag < 5; ++tag) EXPECT_EQ(Value(values[tag]), MDSP_ADDRESS_UNCHANGED);
  EXPECT_EQ(values[5].tag, 5);
  EXPECT_EQ(values[5].size, 1);
  EXPECT_EQ(values[5].bytes[0], 2);  // neither off nor on: left out
  EXPECT_EQ(values[6].tag, 7);
  EXPECT_EQ(values[6].text, "ab0123");
  EXPECT_EQ(values[7].tag, 6);
  EXPECT_EQ(values[7].text, "plant-4");
}

TEST(ConfigurePlan, DhcpSwitch) {
  auto on = mdspctl::PayloadValues(Plan({"--dhcp", "on"}), true, "", "");
  ASSERT_EQ(on.size(), 1u);
  EXPECT_EQ(on[0].tag, 5);
  EXPECT_EQ(on[0].bytes[0], 1);
  auto off = mdspctl::PayloadValues(Plan({"--dhcp", "off"}), false, "", "");
  EXPECT_EQ(off[5].bytes[0], 0);
}

}  // namespace
