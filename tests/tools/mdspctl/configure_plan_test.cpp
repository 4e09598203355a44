// How `mdspctl configure` turns its options into the library's configure
// calls for each kind of module.
#include "configure_plan.h"

#include <gtest/gtest.h>

#include <vector>

#include "mdsp.h"

namespace mdspctl_test {
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

bool Reads(std::vector<const char*> args, std::string& error) {
  args.insert(args.begin(), {"mdspctl", "configure", "--mac", "02-00-00-00-00-01"});
  mdspctl::CommandLine cli;
  EXPECT_TRUE(mdspctl::ParseCommandLine(static_cast<int>(args.size()), args.data(), cli, error));
  mdspctl::ConfigurePlan plan;
  return mdspctl::ReadConfigurePlan(cli, plan, error);
}

TEST(ConfigurePlan, HostNamesAndOwnAddressesThatCannotWork) {
  std::string error;
  EXPECT_TRUE(Reads({"--hostname", "Line_7-b"}, error)) << error;
  EXPECT_TRUE(Reads({"--hostname", ""}, error)) << error;
  // A ';' would start a new piece of a text request.
  for (const char* bad : {"a;IP = 1.2.3.4", "a.b", "a b", "caf\xc3\xa9"}) {
    EXPECT_FALSE(Reads({"--hostname", bad}, error)) << bad;
    EXPECT_NE(error.find("--hostname"), std::string::npos);
  }
  EXPECT_TRUE(Reads({"--ip", "255.1.1.1"}, error)) << error;  // only the last octet counts
  EXPECT_FALSE(Reads({"--ip", "192.168.0.255"}, error));
  EXPECT_FALSE(Reads({"--ip", "192.168.0.0"}, error));
  EXPECT_FALSE(Reads({"--ip", "0.0.0.0"}, error));
  EXPECT_FALSE(Reads({"--ip", "0.0.0.0", "--dhcp", "off"}, error));
  EXPECT_TRUE(Reads({"--ip", "0.0.0.0", "--dhcp", "on"}, error)) << error;
  EXPECT_TRUE(Reads({"--gateway", "10.0.0.0"}, error)) << error;  // not the module's own
}

TEST(ConfigurePlan, TextModuleLimits) {
  std::string error;
  auto all = Plan({"--ip", "10.0.0.1", "--mask", "255.255.255.255", "--dns2",
                   "255.255.255.255"});
  EXPECT_TRUE(mdspctl::CheckPlanForModule(all, true, false, error)) << error;
  // On a text module the value means "unchanged": it could never be set.
  EXPECT_FALSE(mdspctl::CheckPlanForModule(all, false, true, error));
  EXPECT_NE(error.find("--mask 255.255.255.255"), std::string::npos) << error;
  // Without --hostname the module's own name is sent back; unknown, it would
  // be wiped.
  auto ip = Plan({"--ip", "10.0.0.1"});
  EXPECT_TRUE(mdspctl::CheckPlanForModule(ip, false, true, error));
  EXPECT_FALSE(mdspctl::CheckPlanForModule(ip, false, false, error));
  EXPECT_NE(error.find("--hostname"), std::string::npos);
  EXPECT_TRUE(mdspctl::CheckPlanForModule(Plan({"--hostname", "n"}), false, false, error));

  // A ';' would end the password's piece of a text request; seeded and
  // secure modules never get the password inside one.
  const struct {
    bool secure, seeded;
    const char* password;
    bool allowed;
  } passwords[] = {
      {false, false, "pa ss", true},
      {false, false, "pw;IP = 1.2.3.4", false},
      {false, true, "pw;IP = 1.2.3.4", true},
      {true, false, "pw;IP = 1.2.3.4", true},
  };
  for (const auto& c : passwords) {
    error.clear();
    EXPECT_EQ(mdspctl::CheckTextPassword(c.secure, c.seeded, c.password, "the password", error),
              c.allowed)
        << c.password << " secure " << c.secure << " seeded " << c.seeded;
    EXPECT_EQ(error.find("the password") != std::string::npos, !c.allowed) << error;
  }
}

TEST(ConfigurePlan, SecureRequestMustFitOneDatagram) {
  std::string error;
  // Tag and length take 2 bytes each: 2 + 253 + 2 + 237 = 494 fits exactly.
  mdspctl::ConfigurePlan plan = Plan({"--new-password"});
  plan.hostName = std::string(253, 'h');
  auto fits = mdspctl::PayloadValues(plan, true, "", std::string(237, 'p'));
  EXPECT_TRUE(mdspctl::CheckSecurePayload(fits, error)) << error;
  auto over = mdspctl::PayloadValues(plan, true, "", std::string(238, 'p'));
  EXPECT_FALSE(mdspctl::CheckSecurePayload(over, error));
  EXPECT_NE(error.find("request too long: 495 bytes"), std::string::npos) << error;
  plan.hostName = std::string(256, 'h');
  EXPECT_FALSE(mdspctl::CheckSecurePayload(mdspctl::PayloadValues(plan, true, "", ""), error));
  EXPECT_NE(error.find("host name too long"), std::string::npos) << error;
}

}  // namespace
}  // namespace mdspctl_test
