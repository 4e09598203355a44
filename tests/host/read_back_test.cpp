// The read-back rule: which fields are compared, how a difference reads.
#include <gtest/gtest.h>

#include <cstring>

#include "read_back.h"

namespace pelmar_test {
namespace {

using pelmar::ConfigurePlan;
using pelmar::ModuleRecord;

ModuleRecord Reported(uint32_t ip, uint32_t gateway, bool dhcp, const char* hostName) {
  ModuleRecord r;
  r.ip = ip;
  r.subnet = 0xFFFFFF00;
  r.gateway = gateway;
  r.dns1 = 0x08080808;
  r.dns2 = 0;
  r.ipValid = r.subnetValid = r.gatewayValid = r.dns1Valid = r.dns2Valid = true;
  r.dhcp = dhcp;
  r.dhcpValid = true;
  std::strcpy(r.hostName, hostName);
  r.hostNameValid = true;
  return r;
}

ConfigurePlan Sent(uint32_t ip, uint32_t gateway, bool dhcp, const char* hostName) {
  ConfigurePlan p;
  p.ip = ip;
  p.mask = 0xFFFFFF00;
  p.gateway = gateway;
  p.dhcp = dhcp;
  p.hostName = hostName;
  return p;
}

constexpr uint32_t kOld = 0x0A00000A, kNew = 0x0A000032, kGw = 0x0A000001, kOtherGw = 0x0A0000FE;

TEST(ReadBack, ComparesWhatWasSentWithTheNewAnswer) {
  const ModuleRecord before = Reported(kOld, kGw, false, "old");
  ModuleRecord noGateway = Reported(kNew, kGw, false, "cell");
  noGateway.gatewayValid = false;
  ModuleRecord noDhcp = Reported(kNew, kGw, false, "cell");
  noDhcp.dhcpValid = false;
  struct Case {
    const char* name;
    ConfigurePlan sent;
    ModuleRecord after;
    std::string text;
  } cases[] = {
      {"all as sent", Sent(kNew, kGw, false, "cell"), Reported(kNew, kGw, false, "cell"),
       "confirmed"},
      {"gateway kept", Sent(kNew, kOtherGw, false, "cell"), Reported(kNew, kGw, false, "cell"),
       "differs: gateway reads 10.0.0.1"},
      {"every differing field named, in order", Sent(kNew, kOtherGw, false, "cell"),
       Reported(kOld, kGw, true, "old"),
       "differs: ip reads 10.0.0.10, gateway reads 10.0.0.1, dhcp reads on, hostname reads \"old\""},
      {"a field no longer reported", Sent(kNew, kGw, false, "cell"), noGateway,
       "differs: gateway reads nothing"},
      {"DHCP no longer reported", Sent(kNew, kGw, false, "cell"), noDhcp,
       "differs: dhcp reads nothing"},
      // With DHCP on the module's addresses are the DHCP server's.
      {"DHCP on: addresses not compared", Sent(0, 0, true, "cell"),
       Reported(kOld, kGw, true, "cell"), "confirmed"},
      {"DHCP on refused", Sent(0, 0, true, "cell"), Reported(kOld, kGw, false, "cell"),
       "differs: dhcp reads off"},
      {"empty host name sent", Sent(kNew, kGw, false, ""), Reported(kNew, kGw, false, "cell"),
       "differs: hostname reads \"cell\""},
  };
  for (const Case& c : cases) {
    pelmar::ReadBack rb = pelmar::CompareReadBack(c.sent, before, &c.after);
    EXPECT_EQ(pelmar::ReadBackText(rb), c.text) << c.name;
    EXPECT_EQ(rb.confirmed(), c.text == "confirmed") << c.name;
  }
}

TEST(ReadBack, OnlyChangedAndReadableFieldsCount) {
  // mdspctl changes what it is told: a plan with only the gateway ignores
  // everything else the module reports.
  ConfigurePlan gatewayOnly;
  gatewayOnly.gateway = kGw;
  const ModuleRecord before = Reported(kOld, kOtherGw, false, "a");
  const ModuleRecord after = Reported(kNew, kGw, true, "b");
  EXPECT_TRUE(pelmar::CompareReadBack(gatewayOnly, before, &after).confirmed());

  // A field the module never reported cannot be read back (the dialog sends
  // 0.0.0.0 for it); neither can a host name of a text module without one.
  ModuleRecord quiet = Reported(kOld, kGw, false, "");
  quiet.dns2Valid = quiet.hostNameValid = quiet.dhcpValid = false;
  ConfigurePlan all = Sent(kNew, kGw, false, "x");
  all.dns2 = 0;
  ModuleRecord afterQuiet = quiet;
  afterQuiet.ip = kNew;
  EXPECT_EQ(pelmar::ReadBackText(pelmar::CompareReadBack(all, quiet, &afterQuiet)), "confirmed");

  // A secure module's host name is always settable, so it is compared even
  // when its first answer lacked it.
  quiet.secure = true;
  EXPECT_EQ(pelmar::ReadBackText(pelmar::CompareReadBack(all, quiet, &afterQuiet)),
            "differs: hostname reads nothing");
}

TEST(ReadBack, AModuleThatDoesNotAnswerTheScanDiffers) {
  const ModuleRecord before = Reported(kOld, kGw, false, "a");
  pelmar::ReadBack rb = pelmar::CompareReadBack(Sent(kNew, kGw, false, "a"), before, nullptr);
  EXPECT_EQ(rb.state, pelmar::ReadBackState::NotFound);
  EXPECT_FALSE(rb.confirmed());
  EXPECT_EQ(pelmar::ReadBackText(rb), "differs: no answer to the scan");
}

}  // namespace
}  // namespace pelmar_test
