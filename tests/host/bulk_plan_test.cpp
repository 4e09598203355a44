// The bulk plan: CSV lines into entries, handing out addresses, and every
// conflict that keeps a plan from being applied.
#include <gtest/gtest.h>

#include <cstring>

#include "bulk_plan.h"

namespace pelmar_test {
namespace {

using pelmar::BulkEntry;
using pelmar::ModuleRecord;

ModuleRecord Module(uint8_t last, uint32_t ip, bool secure = true) {
  ModuleRecord r;
  const uint8_t mac[6] = {0x02, 0, 0, 0, 0x10, last};
  std::memcpy(r.mac, mac, 6);
  r.macValid = true;
  r.secure = secure;
  r.ip = ip;
  r.ipValid = true;
  r.subnet = 0xFFFFFF00;
  r.subnetValid = true;
  r.gateway = 0x0A4D0001;  // 10.77.0.1
  r.gatewayValid = true;
  std::strcpy(r.hostName, "m");
  r.hostNameValid = true;
  return r;
}

// Modules 01..03 at 10.77.0.11..13; 04 a text module without a host name.
std::vector<ModuleRecord> Listed() {
  ModuleRecord text = Module(4, 0x0A4D000E, false);
  text.hostNameValid = false;
  return {Module(1, 0x0A4D000B), Module(2, 0x0A4D000C), Module(3, 0x0A4D000D), text};
}

const std::vector<pelmar::HostSubnet> kInterface = {{0x0A4D0001, 0xFFFFFF00}};  // 10.77.0.1/24

std::string Problems(const BulkEntry& e) {
  std::string all;
  for (const std::string& p : e.problems) all += (all.empty() ? "" : " | ") + p;
  return all;
}

TEST(BulkCsv, LinesBecomeEntriesAndEmptyCellsKeepTheValue) {
  auto entries = pelmar::ReadBulkCsv(
      "mac,ip,mask,gateway,dns1,dns2,dhcp,hostname\n"
      "# comment\n"
      "\n"
      "02-00-00-00-10-01, 10.77.0.50 ,255.255.255.0,10.77.0.1,,,off,cell-1\r\n"
      "02:00:00:00:10:02,,,,10.77.0.53,,ON,\n");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].line, 4);
  EXPECT_EQ(pelmar::PlanText(entries[0].plan),
            "ip 10.77.0.50, mask 255.255.255.0, gateway 10.77.0.1, dhcp off, hostname cell-1");
  EXPECT_TRUE(entries[0].problems.empty()) << Problems(entries[0]);
  EXPECT_EQ(entries[1].mac[1], 0);
  EXPECT_EQ(entries[1].mac[5], 2);
  EXPECT_EQ(pelmar::PlanText(entries[1].plan), "dns1 10.77.0.53, dhcp on");
}

TEST(BulkCsv, BadValuesAreProblemsOfTheirLine) {
  struct Case {
    const char* line;
    const char* problem;
  } cases[] = {
      {"02-00-00-00-10-0g,10.77.0.50,,,,,,", "bad value: mac '02-00-00-00-10-0g'"},
      {"02-00-00-00-10-01,10.77.0.256,,,,,,", "bad value: ip '10.77.0.256'"},
      {"02-00-00-00-10-01,,255.255.0,,,,,", "bad value: mask '255.255.0'"},
      {"02-00-00-00-10-01,,,,,,yes,", "bad value: dhcp 'yes' (on or off)"},
      {"02-00-00-00-10-01,,,,,,,a.b", "bad value: hostname 'a.b' (only a-z, A-Z, 0-9, _ and -)"},
      {"02-00-00-00-10-01,10.77.0.50", "bad value: 2 columns, not the 8 of "
                                       "mac,ip,mask,gateway,dns1,dns2,dhcp,hostname"},
  };
  for (const Case& c : cases) {
    auto entries = pelmar::ReadBulkCsv(c.line);
    ASSERT_EQ(entries.size(), 1u) << c.line;
    ASSERT_FALSE(entries[0].problems.empty()) << c.line;
    EXPECT_EQ(entries[0].problems[0], c.problem) << c.line;
  }
}

TEST(BulkPlan, EachConflictIsNamed) {
  struct Case {
    const char* name;
    const char* csv;
    int entry;  // whose problems are checked
    const char* problems;
  } cases[] = {
      {"sound plan", "02-00-00-00-10-01,10.77.0.50,,,,,,\n02-00-00-00-10-02,10.77.0.51,,,,,,", 1,
       ""},
      {"address twice",
       "02-00-00-00-10-01,10.77.0.50,,,,,,\n02-00-00-00-10-02,10.77.0.50,,,,,,", 1,
       "address twice: 10.77.0.50 also planned for 02-00-00-00-10-01"},
      {"address another listed module keeps", "02-00-00-00-10-01,10.77.0.13,,,,,,", 0,
       "address of another listed module: 10.77.0.13 is 02-00-00-00-10-03's"},
      {"address freed earlier in the order",
       "02-00-00-00-10-03,10.77.0.60,,,,,,\n02-00-00-00-10-01,10.77.0.13,,,,,,", 1, ""},
      {"address freed only later in the order",
       "02-00-00-00-10-01,10.77.0.13,,,,,,\n02-00-00-00-10-03,10.77.0.60,,,,,,", 0,
       "address of another listed module: 10.77.0.13 is 02-00-00-00-10-03's"},
      {"outside the interface's subnet", "02-00-00-00-10-01,10.78.0.5,255.255.255.0,10.78.0.1,,,,",
       0, "outside the interface's subnet: 10.78.0.5 not in 10.77.0.0/24"},
      {"broadcast address", "02-00-00-00-10-01,10.77.0.255,,,,,,", 0,
       "bad value: 10.77.0.255 is a network or broadcast address"},
      {"gateway outside the module's subnet", "02-00-00-00-10-01,10.77.0.50,,10.9.0.1,,,,", 0,
       "gateway 10.9.0.1 outside the module's subnet"},
      {"mask with holes", "02-00-00-00-10-01,,255.0.255.0,,,,,", 0, "bad value: mask 255.0.255.0"},
      {"not listed", "02-00-00-00-10-09,10.77.0.50,,,,,,", 0,
       "not listed: no module with this MAC answered"},
      {"planned twice", "02-00-00-00-10-01,10.77.0.50,,,,,,\n02-00-00-00-10-01,10.77.0.51,,,,,,",
       1, "planned twice (also line 1)"},
      {"nothing to change", "02-00-00-00-10-01,,,,,,,", 0, "nothing to change"},
      {"text module: unchanged marker", "02-00-00-00-10-04,,,,255.255.255.255,,,x", 0,
       "bad value: 255.255.255.255 means \"unchanged\" to a text-protocol module"},
      {"text module without host name", "02-00-00-00-10-04,10.77.0.50,,,,,,", 0,
       "bad value: the module did not report its host name; give one"},
      {"DHCP on: addresses not checked", "02-00-00-00-10-01,10.99.0.255,,,,,on,", 0, ""},
  };
  for (const Case& c : cases) {
    auto entries = pelmar::ReadBulkCsv(c.csv);
    pelmar::CheckBulkPlan(entries, Listed(), kInterface);
    ASSERT_GT(entries.size(), static_cast<size_t>(c.entry)) << c.name;
    EXPECT_EQ(Problems(entries[static_cast<size_t>(c.entry)]), c.problems) << c.name;
    EXPECT_EQ(pelmar::PlanHasProblems(entries), std::string(c.problems) != "") << c.name;
  }
}

TEST(BulkPlan, HandedOutAddressesFollowTheListAndAreChecked) {
  std::vector<ModuleRecord> chosen = {Listed()[2], Listed()[0]};
  auto entries = pelmar::HandOutAddresses(chosen, 0x0A4D00FE, 0xFFFFFF00, 0x0A4D0001, 0);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].mac[5], 3);
  EXPECT_EQ(pelmar::PlanText(entries[0].plan),
            "ip 10.77.0.254, mask 255.255.255.0, gateway 10.77.0.1, dhcp off");
  pelmar::CheckBulkPlan(entries, Listed(), kInterface);
  EXPECT_TRUE(entries[0].problems.empty()) << Problems(entries[0]);
  EXPECT_TRUE(entries[0].secure);
  // The second runs past the subnet's last address.
  EXPECT_EQ(Problems(entries[1]),
            "bad value: 10.77.0.255 is a network or broadcast address");
}

}  // namespace
}  // namespace pelmar_test
