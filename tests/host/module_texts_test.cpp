// One text rule per value, shared by the tool's cells and mdspctl's rows;
// which module an index names, and whether it is secure.
#include "module_texts.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fake_library.h"
#include "module_cells.h"
#include "module_record.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

template <size_t N>
void Put(char (&field)[N], const char* text) {
  std::strncpy(field, text, N - 1);
}

ModuleRecord TextRecord() {
  ModuleRecord r;
  r.ipValid = r.subnetValid = r.gatewayValid = r.dhcpValid = r.macValid = true;
  r.ip = 0xC0A8000A;
  r.subnet = 0xFFFFFF00;
  r.gateway = 0xC0A80001;
  r.dhcp = 0;
  r.versionValid = true;
  r.versionMajor = 3;
  r.versionMinor = 1;
  r.versionBuild = 7;
  r.typeValid = true;
  Put(r.typeText, "SIM-IO 16DI");
  r.productValid = true;
  Put(r.productText, "not shown for a text module");
  const uint8_t mac[6] = {0x02, 0, 0, 0, 0x10, 0x01};
  std::memcpy(r.mac, mac, 6);
  return r;
}

ModuleRecord SecureRecord() {
  ModuleRecord r = TextRecord();
  r.secure = true;
  r.dhcp = 2;  // any value but 0 is on
  r.firmwareValid = true;
  Put(r.firmwareText, "4.0.2");
  Put(r.productText, "SIM-GW secure");
  r.typeValid = true;
  Put(r.typeText, "not shown for a secure module");
  return r;
}

TEST(ModuleTexts, OneRulePerValueForBothProtocols) {
  struct Case {
    const char* what;
    ModuleRecord record;
    CellTexts cells;                  // the tool's row
    std::optional<std::string> version, type;  // mdspctl's columns
  };
  ModuleRecord noVersion = TextRecord();
  noVersion.versionValid = noVersion.typeValid = noVersion.ipValid = noVersion.dhcpValid = false;
  ModuleRecord secureWithoutTexts = SecureRecord();
  secureWithoutTexts.firmwareValid = secureWithoutTexts.productValid = false;
  std::memset(secureWithoutTexts.firmwareText, 0, sizeof secureWithoutTexts.firmwareText);
  std::memset(secureWithoutTexts.productText, 0, sizeof secureWithoutTexts.productText);
  ModuleRecord wideMinor = TextRecord();
  wideMinor.versionMajor = 255;
  wideMinor.versionMinor = 255;
  wideMinor.versionBuild = 65535;
  const Case cases[] = {
      {"text module",
       TextRecord(),
       {"192.168.0.10", "255.255.255.0", "192.168.0.1", "Off", "3.01.7", "SIM-IO 16DI",
        "02-00-00-00-10-01"},
       "3.01.7",
       "SIM-IO 16DI"},
      {"secure module: version and type texts",
       SecureRecord(),
       {"192.168.0.10", "255.255.255.0", "192.168.0.1", "On", "4.0.2", "SIM-GW secure",
        "02-00-00-00-10-01"},
       "4.0.2",
       "SIM-GW secure"},
      {"text module without values reads N/A",
       noVersion,
       {"N/A", "255.255.255.0", "192.168.0.1", "N/A", "N/A", "N/A", "02-00-00-00-10-01"},
       std::nullopt,
       std::nullopt},
      {"secure module without texts shows empty cells",
       secureWithoutTexts,
       {"192.168.0.10", "255.255.255.0", "192.168.0.1", "On", "", "", "02-00-00-00-10-01"},
       std::nullopt,
       std::nullopt},
      {"minor always two digits, numbers in full",
       wideMinor,
       {"192.168.0.10", "255.255.255.0", "192.168.0.1", "Off", "255.255.65535", "SIM-IO 16DI",
        "02-00-00-00-10-01"},
       "255.255.65535",
       "SIM-IO 16DI"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeCellTexts(c.record), c.cells) << c.what;
    ModuleTexts t = DescribeModule(c.record);
    EXPECT_EQ(t.version, c.version) << c.what;
    EXPECT_EQ(t.type, c.type) << c.what;
  }
}

// Texts with accents show as written, whether the module sent UTF-8 or
// Latin-1; host names and types of both protocols alike.
TEST(ModuleTexts, AccentsInUtf8OrLatin1) {
  const struct {
    bool secure;
    const char* sent;
    const char* shown;
  } cases[] = {
      {false, "Schaltschrank-S\xc3\xbc" "d", "Schaltschrank-S\xc3\xbc" "d"},
      {false, "Schaltschrank-S\xfc" "d", "Schaltschrank-S\xc3\xbc" "d"},
      {true, "Pr\xc3\xa9" "fecture", "Pr\xc3\xa9" "fecture"},
      {true, "Pr\xe9" "fecture", "Pr\xc3\xa9" "fecture"},
      {true, "\xe2\x82\xac-\xff", "\xc3\xa2\xc2\x82\xc2\xac-\xc3\xbf"},  // one bad byte: all Latin-1
  };
  for (const auto& c : cases) {
    ModuleRecord r = c.secure ? SecureRecord() : TextRecord();
    if (c.secure)
      Put(r.productText, c.sent);
    else
      Put(r.typeText, c.sent);
    EXPECT_EQ(MakeCellTexts(r)[5], c.shown) << c.sent;
    EXPECT_EQ(DescribeModule(r).type, c.shown) << c.sent;
  }
}

TEST(ModuleTexts, AddressesAndMacs) {
  // The record holds the TLV's four bytes as they came, read as one number.
  const uint8_t bytes[4] = {0x0A, 0x00, 0xA8, 0xC0};
  EXPECT_EQ(Ipv4Text(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                     uint32_t{bytes[3]} << 24),
            "192.168.0.10");
  EXPECT_EQ(Ipv4Text(0), "0.0.0.0");
  EXPECT_EQ(Ipv4Text(0xFFFFFFFF), "255.255.255.255");
  const uint8_t mac[6] = {0x02, 0x0A, 0xFF, 0x00, 0x10, 0x01};
  EXPECT_EQ(MacText(mac), "02-0A-FF-00-10-01");
  EXPECT_EQ(TextModuleVersion(2, 15, 1024), "2.15.1024");
  EXPECT_EQ(DhcpText(0), "Off");
  EXPECT_EQ(DhcpText(1), "On");
  // Only listed modules have a MAC; mdspctl prints none for the others.
  ModuleRecord r = TextRecord();
  r.macValid = false;
  EXPECT_EQ(DescribeModule(r).mac, "");
}

// Typed MACs and addresses (command line, plan and names files) are read by
// one rule each and print back the way the list shows them.
TEST(ModuleTexts, ReadingMacsAndAddressesBack) {
  struct MacCase {
    const char* text;
    const char* printed;  // nullptr: refused
  };
  for (const MacCase& c : std::initializer_list<MacCase>{
           {"02-0a-FF-0-10-01", "02-0A-FF-00-10-01"},
           {"02:00:00:00:10:01", "02-00-00-00-10-01"},
           {"2-0-0-0-10-1", "02-00-00-00-10-01"},
           {"02-00:00-00:10-01", "02-00-00-00-10-01"},
           {"", nullptr},
           {"02-00-00-00-10", nullptr},
           {"02-00-00-00-10-01-", nullptr},
           {"02-00-00-00-10-001", nullptr},
           {"102-00-00-00-10-01", nullptr},  // was read as its low byte, 02
           {"02-00-00-00-10-0g", nullptr},
           {"02--00-00-00-10", nullptr},
           {" 02-00-00-00-10-01", nullptr},
           {"02-00-00-00-10-01 ", nullptr},
       }) {
    uint8_t mac[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(ParseMacText(c.text, mac), c.printed != nullptr) << c.text;
    EXPECT_EQ(MacText(mac), c.printed ? c.printed : "EE-EE-EE-EE-EE-EE") << c.text;
  }
  struct AddressCase {
    const char* text;
    const char* printed;
  };
  for (const AddressCase& c : std::initializer_list<AddressCase>{
           {"192.168.0.10", "192.168.0.10"},
           {"0.0.0.0", "0.0.0.0"},
           {"255.255.255.255", "255.255.255.255"},
           {"010.001.000.009", "10.1.0.9"},
           {"", nullptr},
           {"1.2.3", nullptr},
           {"1.2.3.4.5", nullptr},
           {"256.0.0.1", nullptr},
           {"1.2.3.4 ", nullptr},
           {"a.b.c.d", nullptr},
           {"1..2.3", nullptr},
           {"1.2.3.0004", nullptr},
           {"-1.2.3.4", nullptr},
       }) {
    uint32_t address = 0xDEADBEEF;
    EXPECT_EQ(ParseIpv4Text(c.text, address), c.printed != nullptr) << c.text;
    EXPECT_EQ(Ipv4Text(address), c.printed ? c.printed : "222.173.190.239") << c.text;
  }
}

// ------------------------------------------- which module an index names

class WhichModule : public ::testing::Test {
 protected:
  void SetUp() override {
    fake.table.resize(3);
    for (int i = 0; i < 3; ++i) {
      const uint8_t mac[6] = {0x02, 0, 0, 0, 0x10, static_cast<uint8_t>(i)};
      std::memcpy(fake.table[i].mac, mac, 6);
    }
    fake.table[1].tags[SMDSP_TAG_SECURE_MODULE] = "\x01";
  }
  FakeLibrary fake;
};

TEST_F(WhichModule, TheMarkerAloneAnswersAListing) {
  EXPECT_FALSE(IsSecureModule(fake.api(), 0, SecureCheck::ReadOnly));
  EXPECT_TRUE(IsSecureModule(fake.api(), 1, SecureCheck::ReadOnly));
  EXPECT_FALSE(IsSecureModule(fake.api(), 9, SecureCheck::ReadOnly));
  // Reading a row never starts a configure request.
  EXPECT_TRUE(fake.writes().empty());
  ModuleRecord r;
  ReadModuleRecord(fake.api(), 0, &r);
  EXPECT_TRUE(fake.writes().empty());
}

TEST_F(WhichModule, OnlyARequestToComeMayAskTheConfigureInterface) {
  struct Case {
    const char* what;
    uint32_t index;
    int32_t probeResult;  // what tag 8 with two bytes gets
    bool secure;
    std::vector<Call> writes;
  };
  const Case cases[] = {
      {"marker: no question asked", 1, MDSP_RESULT_FAILED, true, {}},
      {"broken secure description", 0, MDSP_RESULT_OK, true,
       {Create(0), SetData(8, std::string(2, '\0')), Create(0)}},
      {"text module", 0, MDSP_RESULT_FAILED, false,
       {Create(0), SetData(8, std::string(2, '\0')), Create(0)}},
  };
  for (const Case& c : cases) {
    fake.calls.clear();
    fake.setDataResult = c.probeResult;
    EXPECT_EQ(IsSecureModule(fake.api(), c.index, SecureCheck::MayStartRequest), c.secure)
        << c.what;
    // The probe value is never left in the pending request.
    EXPECT_EQ(fake.writes(), c.writes) << c.what;
  }
}

TEST_F(WhichModule, StillTheSameModuleMeansSameMacAndProtocol) {
  ModuleRecord text, secure;
  ReadModuleRecord(fake.api(), 0, &text);
  ReadModuleRecord(fake.api(), 1, &secure);
  EXPECT_TRUE(StillSameModule(fake.api(), text));
  EXPECT_TRUE(StillSameModule(fake.api(), secure));
  // A re-scan gave the index to another module, to none, or to the other
  // protocol's entry of a module that speaks both.
  ModuleRecord moved = text;
  moved.moduleIndex = 2;
  ModuleRecord gone = text;
  gone.moduleIndex = 7;
  ModuleRecord otherProtocol = secure;
  otherProtocol.moduleIndex = 0;
  std::memcpy(otherProtocol.mac, fake.table[0].mac, 6);
  for (const ModuleRecord& r : {moved, gone, otherProtocol})
    EXPECT_FALSE(StillSameModule(fake.api(), r)) << r.moduleIndex;
}

}  // namespace
}  // namespace pelmar_test
