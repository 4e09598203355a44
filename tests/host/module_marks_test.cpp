// The marks of a scanned list, the Status cell's text, and the choice of a
// free address for a module moved to one of the host's networks.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host_networks.h"
#include "module_marks.h"
#include "move_to_network.h"
#include "status_cell.h"

namespace pelmar_test {
namespace {

using pelmar::MacBytes;
using pelmar::MarkSubject;

uint32_t Ip(int a, int b, int c, int d) {
  return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(b) << 16 |
         static_cast<uint32_t>(c) << 8 | static_cast<uint32_t>(d);
}

MacBytes Mac(uint8_t last) { return {0x02, 0, 0, 0, 0x10, last}; }

MarkSubject Module(uint8_t macLast, uint32_t ip, bool ipValid = true) {
  return {Mac(macLast), ipValid, ip};
}

using Marks = std::vector<std::string>;

struct MarksCase {
  const char* name;
  std::vector<MarkSubject> modules;
  std::vector<pelmar::HostSubnet> subnets;
  std::optional<std::set<MacBytes>> previous;
  std::vector<Marks> expected;
  std::vector<MacBytes> gone;
};

const pelmar::HostSubnet kHost10{Ip(10, 77, 0, 1), Ip(255, 255, 255, 0)};

TEST(ModuleMarks, EachMarkFromTheWholeListAndTheHostsNetworks) {
  const std::vector<MarksCase> cases = {
      {"one module at home", {Module(1, Ip(10, 77, 0, 10))}, {kHost10}, std::nullopt, {{}}, {}},
      {"two MACs with one address are both marked",
       {Module(1, Ip(10, 77, 0, 10)), Module(2, Ip(10, 77, 0, 10)), Module(3, Ip(10, 77, 0, 11))},
       {kHost10},
       std::nullopt,
       {{"duplicate IP"}, {"duplicate IP"}, {}},
       {}},
      {"one MAC listed twice (both protocols) is no duplicate",
       {Module(1, Ip(10, 77, 0, 10)), Module(1, Ip(10, 77, 0, 10))},
       {kHost10},
       std::nullopt,
       {{}, {}},
       {}},
      {"0.0.0.0 twice is no address, not a duplicate",
       {Module(1, 0), Module(2, 0)},
       {kHost10},
       std::nullopt,
       {{"no address"}, {"no address"}},
       {}},
      {"link-local is no address, and not another network",
       {Module(1, Ip(169, 254, 3, 7)), Module(2, Ip(169, 253, 3, 7))},
       {kHost10},
       std::nullopt,
       {{"no address"}, {"other network"}},
       {}},
      {"outside every scanning interface's subnet",
       {Module(1, Ip(192, 168, 77, 5)), Module(2, Ip(10, 77, 1, 5)), Module(3, Ip(10, 1, 2, 3))},
       {kHost10, {Ip(10, 1, 0, 9), Ip(255, 255, 0, 0)}},
       std::nullopt,
       {{"other network"}, {"other network"}, {}},
       {}},
      {"no interface known: nothing is another network",
       {Module(1, Ip(192, 168, 77, 5))}, {}, std::nullopt, {{}}, {}},
      {"an address not reported gets no address mark",
       {Module(1, 0, false)}, {kHost10}, std::nullopt, {{}}, {}},
      {"new and gone against the previous scan",
       {Module(1, Ip(10, 77, 0, 10)), Module(4, Ip(10, 77, 0, 14))},
       {kHost10},
       std::set<MacBytes>{Mac(1), Mac(2), Mac(3)},
       {{}, {"new"}},
       {Mac(2), Mac(3)}},
      {"an empty previous scan makes everything new",
       {Module(1, Ip(10, 77, 0, 10))}, {kHost10}, std::set<MacBytes>{}, {{"new"}}, {}},
      {"all marks in their order",
       {Module(1, Ip(192, 168, 77, 5)), Module(2, Ip(192, 168, 77, 5)), Module(3, 0)},
       {kHost10},
       std::set<MacBytes>{Mac(1)},
       {{"duplicate IP", "other network"},
        {"duplicate IP", "other network", "new"},
        {"no address", "new"}},
       {}},
  };
  for (const MarksCase& c : cases) {
    SCOPED_TRACE(c.name);
    const pelmar::ModuleMarks got = pelmar::ComputeMarks(c.modules, c.subnets, c.previous);
    EXPECT_EQ(got.marks, c.expected);
    EXPECT_EQ(got.gone, c.gone);
  }
}

TEST(ModuleMarks, MoveIsOfferedForAddressProblemsAndGoneIsCounted) {
  EXPECT_TRUE(pelmar::MarksAllowMove({"duplicate IP", "other network"}));
  EXPECT_TRUE(pelmar::MarksAllowMove({"no address", "new"}));
  EXPECT_FALSE(pelmar::MarksAllowMove({"duplicate IP", "new"}));
  EXPECT_EQ(pelmar::GoneText(0), "");
  EXPECT_EQ(pelmar::GoneText(1), "1 module no longer answers");
  EXPECT_EQ(pelmar::GoneText(2), "2 modules no longer answer");
}

TEST(StatusCell, PiecesJoinedInOrderWithoutEmptyOnes) {
  struct Case {
    Marks marks;
    std::string readBack, name, expected;
  };
  const std::vector<Case> cases = {
      {{}, "", "", ""},
      {{"new"}, "", "", "new"},
      {{}, "", "press 1", "press 1"},
      {{"duplicate IP", "other network"}, "confirmed", "press 1",
       "duplicate IP, other network, confirmed, press 1"},
      {{"no address"}, "differs: gateway reads 10.0.0.1", "",
       "no address, differs: gateway reads 10.0.0.1"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(pelmar::StatusCellText(c.marks, c.readBack, c.name), c.expected);
}

TEST(FreeAddress, FirstCandidateNobodyHasNorAnswersFor) {
  const pelmar::HostNetwork net{"h0", Ip(10, 77, 0, 1), Ip(255, 255, 255, 0), Ip(10, 77, 0, 254)};
  struct Case {
    const char* name;
    pelmar::HostNetwork network;
    std::set<uint32_t> taken;
    std::set<uint32_t> answering;
    std::optional<uint32_t> expected;
    int probes;  // how many addresses were probed on the link
  };
  pelmar::HostNetwork tiny{"h1", Ip(10, 9, 9, 1), Ip(255, 255, 255, 254), 0};
  pelmar::HostNetwork wide{"h2", Ip(10, 9, 0, 1), Ip(255, 255, 0, 0), Ip(10, 9, 0, 2)};
  pelmar::HostNetwork gatewayFirst{"h3", Ip(10, 5, 0, 9), Ip(255, 255, 255, 0), Ip(10, 5, 0, 1)};
  const std::vector<Case> cases = {
      {"the first after the host", net, {}, {}, Ip(10, 77, 0, 2), 1},
      {"a listed module's address is skipped unprobed", net, {Ip(10, 77, 0, 2)}, {},
       Ip(10, 77, 0, 3), 1},
      {"something answering on the link is skipped", net, {}, {Ip(10, 77, 0, 2)},
       Ip(10, 77, 0, 3), 2},
      {"the gateway is never given", gatewayFirst, {Ip(10, 5, 0, 9)}, {}, Ip(10, 5, 0, 2), 1},
      {"a /31 has no candidate", tiny, {}, {}, std::nullopt, 0},
      {"host and gateway skipped in a wide subnet", wide, {}, {}, Ip(10, 9, 0, 3), 1},
      {"gives up after the probe limit", net, {},
       [] {
         std::set<uint32_t> all;
         for (int i = 2; i < 254; ++i) all.insert(Ip(10, 77, 0, i));
         return all;
       }(),
       std::nullopt, pelmar::kMaxAddressProbes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int probes = 0;
    auto answers = [&](uint32_t a) {
      ++probes;
      return c.answering.count(a) != 0;
    };
    EXPECT_EQ(pelmar::ChooseFreeAddress(c.network, c.taken, answers), c.expected);
    EXPECT_EQ(probes, c.probes);
  }
  // .255 inside a wide subnet is skipped, not given.
  std::set<uint32_t> below;
  for (int i = 1; i < 255; ++i) below.insert(Ip(10, 9, 0, i));
  EXPECT_EQ(pelmar::ChooseFreeAddress(wide, below, [](uint32_t) { return false; }),
            Ip(10, 9, 1, 1));
}

TEST(FreeAddress, MovedRecordTakesTheNetworkAndKeepsDnsAndHostName) {
  pelmar::ModuleRecord r;
  r.ip = Ip(192, 168, 77, 5);
  r.ipValid = true;
  r.dhcp = 1;
  r.dhcpValid = true;
  r.dns1 = Ip(192, 168, 77, 1);
  r.dns1Valid = true;
  std::snprintf(r.hostName, sizeof r.hostName, "press-1");
  r.hostNameValid = true;
  const pelmar::HostNetwork net{"h0", Ip(10, 77, 0, 1), Ip(255, 255, 255, 0), 0};
  const pelmar::ModuleRecord m = pelmar::MovedRecord(r, net, Ip(10, 77, 0, 3));
  EXPECT_EQ(m.ip, Ip(10, 77, 0, 3));
  EXPECT_EQ(m.subnet, Ip(255, 255, 255, 0));
  EXPECT_TRUE(m.subnetValid && m.gatewayValid);
  EXPECT_EQ(m.gateway, 0u);  // no gateway: 0.0.0.0
  EXPECT_EQ(m.dhcp, 0);      // a module on DHCP would ignore the address
  EXPECT_EQ(m.dns1, r.dns1);
  EXPECT_STREQ(m.hostName, "press-1");
  EXPECT_EQ(pelmar::NetworkLabel(net), "h0 (10.77.0.1/24)");
}

TEST(FreeAddress, ScanningNetworksFollowTheChosenAddresses) {
  const std::vector<pelmar::HostNetwork> all = {
      {"a", Ip(10, 0, 0, 1), Ip(255, 0, 0, 0), 0}, {"b", Ip(192, 168, 1, 2), Ip(255, 255, 255, 0), 0}};
  const std::vector<uint32_t> chosen = {Ip(192, 168, 1, 2), Ip(172, 16, 0, 1)};
  const auto scanning = pelmar::ScanningNetworks(all, chosen);
  ASSERT_EQ(scanning.size(), 1u);
  EXPECT_EQ(scanning[0].name, "b");
  const std::vector<MarkSubject> modules = {Module(1, Ip(10, 0, 0, 7)), Module(2, 0, false)};
  EXPECT_EQ(pelmar::TakenAddresses(modules, all),
            (std::set<uint32_t>{Ip(10, 0, 0, 7), Ip(10, 0, 0, 1), Ip(192, 168, 1, 2)}));
}

TEST(RememberedScan, RoundTripAndMissingFile) {
  const std::string dir = std::filesystem::temp_directory_path() /
                          ("marks-" + std::to_string(::getpid()));
  const std::string path = dir + "/a/b/last-scan";
  EXPECT_FALSE(pelmar::platform::LoadRememberedScan(path).has_value());
  EXPECT_FALSE(pelmar::platform::LoadRememberedScan("").has_value());
  const std::set<MacBytes> macs = {Mac(1), Mac(0xAB)};
  ASSERT_TRUE(pelmar::platform::SaveRememberedScan(path, macs));
  EXPECT_EQ(pelmar::platform::LoadRememberedScan(path), macs);
  ASSERT_TRUE(pelmar::platform::SaveRememberedScan(path, {}));
  EXPECT_EQ(pelmar::platform::LoadRememberedScan(path), std::set<MacBytes>{});
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace pelmar_test
