// The configure flow without widgets: how the dialog opens for a record,
// what "Set" refuses, and the exact library calls that send a configuration.
#include "configuration_flow.h"

#include <gtest/gtest.h>

#include <cstring>

#include "auth_answer.h"
#include "fake_library.h"

namespace pelmar_test {
namespace {

using namespace pelmar;

constexpr uint8_t kMac[6] = {0x02, 0x00, 0x00, 0x00, 0x10, 0x01};
constexpr uint8_t kOtherMac[6] = {0x02, 0x00, 0x00, 0x00, 0x20, 0x01};
constexpr uint8_t kNoTarget[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

uint32_t Ip(int a, int b, int c, int d) {
  return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>(b) << 16 |
         static_cast<uint32_t>(c) << 8 | static_cast<uint32_t>(d);
}

std::string Le(uint32_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF),
                     static_cast<char>(v >> 16 & 0xFF), static_cast<char>(v >> 24)};
}

ModuleRecord TextRecord(uint32_t index = 1) {
  ModuleRecord r;
  r.moduleIndex = index;
  std::memcpy(r.mac, kMac, 6);
  r.macValid = true;
  r.ip = Ip(192, 168, 0, 10);
  r.ipValid = true;
  r.subnet = Ip(255, 255, 255, 0);
  r.subnetValid = true;
  r.gateway = Ip(192, 168, 0, 1);
  r.gatewayValid = true;
  r.dns1 = Ip(192, 168, 0, 2);
  r.dns1Valid = true;
  r.dns2 = Ip(8, 8, 8, 8);
  r.dns2Valid = true;
  r.dhcpValid = true;
  std::strcpy(r.hostName, "press-1");
  r.hostNameValid = true;
  r.passwordFlag = 1;
  r.passwordFlagValid = true;
  return r;
}

ModuleRecord Seeded(ModuleRecord r, const char* seed) {
  std::strcpy(r.seedText, seed);
  r.seedValid = true;
  return r;
}

ModuleRecord Secure(ModuleRecord r) {
  r.secure = true;
  r.hostNameValid = false;
  r.passwordFlagValid = false;
  return r;
}

ConfigurationInput Input() {
  ConfigurationInput in;
  in.address[kIpAddress] = Ip(10, 77, 0, 50);
  in.address[kSubnetMask] = Ip(255, 255, 0, 0);
  in.address[kGateway] = Ip(10, 77, 0, 1);
  in.address[kPrimaryDns] = Ip(10, 77, 0, 2);
  in.address[kSecondaryDns] = 0;
  in.dhcpChoice = kDhcpOff;
  in.password = "secret";
  in.hostName = "cell-9";
  return in;
}

// The fake table holds the module at the record's index.
struct Flow : ::testing::Test {
  Flow() {
    fake.table.resize(3);
    std::memcpy(fake.table[0].mac, kOtherMac, 6);
    std::memcpy(fake.table[1].mac, kMac, 6);
  }
  ConfigureOutcome Run(const ModuleRecord& record, const ConfigurationInput& input) {
    int draws = 0;
    // Salt values 0 and 27 give 'a' and 'A'.
    return SendConfiguration(fake.api(), record, input, target,
                             [&draws] { return draws++ == 0 ? 0 : 27; });
  }
  std::vector<Call> AddressCalls(const ConfigurationInput& in, uint8_t dhcp) {
    std::vector<Call> calls{Create(1)};
    for (int tag = 0; tag < kAddressCount; ++tag) calls.push_back(SetData(tag, Le(in.address[tag])));
    calls.push_back(SetData(5, std::string(1, static_cast<char>(dhcp))));
    return calls;
  }
  FakeLibrary fake;
  uint8_t target[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
};

TEST(ConfigurationStartTest, OpensAsTheRecordSays) {
  ModuleRecord text = TextRecord();
  ConfigurationStart s = StartFromRecord(text);
  EXPECT_EQ(s.address[kIpAddress], Ip(192, 168, 0, 10));
  EXPECT_EQ(s.address[kSecondaryDns], Ip(8, 8, 8, 8));
  EXPECT_TRUE(s.hostNameEnabled);
  EXPECT_EQ(s.hostName, "press-1");
  EXPECT_EQ(s.dhcpChoice, kDhcpOff);
  EXPECT_TRUE(s.passwordEditable);
  for (int f = 0; f < kAddressCount; ++f) EXPECT_TRUE(AddressShownAtStart(s, f)) << f;

  struct Case {
    const char* what;
    void (*change)(ModuleRecord&);
    bool hostNameEnabled, passwordEditable;
    int dhcpChoice;
  };
  const Case cases[] = {
      {"no host name", [](ModuleRecord& r) { r.hostNameValid = false; }, false, true, kDhcpOff},
      {"secure without host name", [](ModuleRecord& r) { r = Secure(r); }, true, true, kDhcpOff},
      {"password off", [](ModuleRecord& r) { r.passwordFlag = 0; }, true, false, kDhcpOff},
      {"password not reported", [](ModuleRecord& r) { r.passwordFlagValid = false; }, true, false,
       kDhcpOff},
      {"DHCP on", [](ModuleRecord& r) { r.dhcp = 3; }, true, true, kDhcpOn},
      {"DHCP not reported", [](ModuleRecord& r) { r.dhcp = 1, r.dhcpValid = false; }, true, true,
       kDhcpUnknown},
  };
  for (const Case& c : cases) {
    ModuleRecord r = TextRecord();
    c.change(r);
    ConfigurationStart s = StartFromRecord(r);
    EXPECT_EQ(s.hostNameEnabled, c.hostNameEnabled) << c.what;
    EXPECT_EQ(s.hostName.empty(), !c.hostNameEnabled) << c.what;
    EXPECT_EQ(s.passwordEditable, c.passwordEditable) << c.what;
    EXPECT_EQ(s.dhcpChoice, c.dhcpChoice) << c.what;
  }

  // DHCP on blanks every field; an address not reported is blank whatever DHCP says.
  ModuleRecord on = TextRecord();
  on.dhcp = 1;
  for (int f = 0; f < kAddressCount; ++f) EXPECT_FALSE(AddressShownAtStart(StartFromRecord(on), f));
  ModuleRecord unknown = TextRecord();
  unknown.dhcpValid = false;
  unknown.gatewayValid = false;
  ConfigurationStart u = StartFromRecord(unknown);
  EXPECT_TRUE(AddressShownAtStart(u, kIpAddress));
  EXPECT_FALSE(AddressShownAtStart(u, kGateway));
}

TEST(CheckSetTest, RefusesWhatAModuleCannotTake) {
  struct Case {
    const char* what;
    void (*change)(ConfigurationInput&);
    ModuleRecord record;
    SetProblem problem;
  };
  const ModuleRecord text = TextRecord(), seeded = Seeded(TextRecord(), "k7"),
                     secure = Secure(TextRecord());
  const Case cases[] = {
      {"plain", [](ConfigurationInput&) {}, text, SetProblem::None},
      {"all legal characters",
       [](ConfigurationInput& in) { in.hostName = "azAZ09_-"; }, text, SetProblem::None},
      {"empty host name", [](ConfigurationInput& in) { in.hostName.clear(); }, text,
       SetProblem::None},
      {"dot", [](ConfigurationInput& in) { in.hostName = "a.b"; }, text,
       SetProblem::IllegalHostName},
      {"space", [](ConfigurationInput& in) { in.hostName = "a b"; }, secure,
       SetProblem::IllegalHostName},
      {"high bit", [](ConfigurationInput& in) { in.hostName = "caf\xE9"; }, text,
       SetProblem::IllegalHostName},
      {"host name before address",
       [](ConfigurationInput& in) { in.hostName = "a.b", in.address[0] = Ip(1, 2, 3, 255); },
       text, SetProblem::IllegalHostName},
      {"last octet 255", [](ConfigurationInput& in) { in.address[0] = Ip(192, 168, 0, 255); },
       text, SetProblem::LastOctet255},
      {"first octet 255", [](ConfigurationInput& in) { in.address[0] = Ip(255, 1, 1, 1); }, text,
       SetProblem::None},
      {"blank address", [](ConfigurationInput& in) { in.address[0] = 0; }, text,
       SetProblem::None},
      {"255 in the gateway", [](ConfigurationInput& in) { in.address[2] = Ip(1, 1, 1, 255); },
       text, SetProblem::None},
      {"';' in the password", [](ConfigurationInput& in) { in.password = "a;IP = 1.2.3.4"; },
       text, SetProblem::SemicolonInPassword},
      {"';' in the new password",
       [](ConfigurationInput& in) { in.changePassword = true, in.newPassword = "n;"; }, text,
       SetProblem::SemicolonInPassword},
      {"';' in a new password not sent", [](ConfigurationInput& in) { in.newPassword = "n;"; },
       text, SetProblem::None},
      {"';' to a seeded module", [](ConfigurationInput& in) { in.password = "a;"; }, seeded,
       SetProblem::None},
      {"';' to a secure module",
       [](ConfigurationInput& in) { in.password = "a;", in.changePassword = true, in.newPassword = ";"; },
       secure, SetProblem::None},
  };
  for (const Case& c : cases) {
    ConfigurationInput in = Input();
    c.change(in);
    EXPECT_EQ(CheckSet(in, c.record), c.problem) << c.what;
  }
  EXPECT_STREQ(SetProblemText(SetProblem::IllegalHostName),
               "Illegal hostname! Only a-z, A-Z, 0-9, _ and - allowed.");
  EXPECT_STREQ(SetProblemText(SetProblem::LastOctet255), "Last digit of IP address can not be 255.");
}

TEST_F(Flow, TextModuleWithoutSeedGetsEveryValueAndThePassword) {
  ConfigurationInput in = Input();
  in.changePassword = true;
  in.newPassword = "fresh";
  ASSERT_EQ(Run(TextRecord(), in), ConfigureOutcome::Sent);
  // The seed is read again before the request starts: nothing but the
  // request's own values lies between its creation and its sending.
  std::vector<Call> expected{{"GetModuleMac", -1, 1, {}}, {"GetPayloadData", 255, 1, {}},
                             {"GetPayloadString", 244, 1, "128"}};
  for (const Call& c : AddressCalls(in, 0)) expected.push_back(c);
  for (const Call& c : {SetString(7, "fresh"), SetString(6, "cell-9"), Send("secret")})
    expected.push_back(c);
  EXPECT_EQ(fake.calls, expected);
  EXPECT_EQ(0, std::memcmp(target, kMac, 6));
}

TEST_F(Flow, NewPasswordIsSaltedAsLongAsAnySeedIsKnown) {
  struct Case {
    const char* what;
    bool recorded, reread;
    bool salted;
  };
  const Case cases[] = {
      // A failed re-read never turns a salted-only module into a plain one.
      {"re-read fails, seed recorded", true, false, true},
      {"re-read gives a seed the scan did not", false, true, true},
      {"no seed anywhere", false, false, false},
  };
  for (const Case& c : cases) {
    fake.calls.clear();
    fake.table[1].tags.clear();
    if (c.reread) fake.table[1].tags[244] = "zz";
    ModuleRecord record = c.recorded ? Seeded(TextRecord(), "k7") : TextRecord();
    ConfigurationInput in = Input();
    in.changePassword = true;
    in.newPassword = "";
    ASSERT_EQ(Run(record, in), ConfigureOutcome::Sent) << c.what;
    std::vector<Call> w = fake.writes();
    ASSERT_GE(w.size(), 3u);
    const Call& tag7 = w[w.size() - 3];
    ASSERT_EQ(tag7.tag, 7) << c.what;
    char salted[35];
    int draws = 0;
    ASSERT_TRUE(NewPasswordValue("", [&] { return draws++ == 0 ? 0 : 27; }, salted));
    EXPECT_EQ(tag7.bytes, c.salted ? std::string(salted) : std::string()) << c.what;
  }
}

TEST_F(Flow, SecureModuleGetsThePasswordAsTypedAndNoSeedRead) {
  ConfigurationInput in = Input();
  in.password = std::string(127, 'p');
  in.changePassword = true;
  in.newPassword = "next";
  in.dhcpChoice = kDhcpOn;
  fake.table[1].tags[255] = "\x01";
  ASSERT_EQ(Run(Secure(TextRecord()), in), ConfigureOutcome::Sent);
  std::vector<Call> expected = AddressCalls(in, 1);
  for (const Call& c : {SetString(7, "next"), SetString(6, "cell-9"), Send(in.password)})
    expected.push_back(c);
  EXPECT_EQ(fake.writes(), expected);
  for (const Call& c : fake.calls) EXPECT_NE(c.name, "GetPayloadString");
}

TEST_F(Flow, AnIndexThatNamesAnotherModuleSendsNothing) {
  // After a re-scan the record's index belongs to another module, to none,
  // or to the other protocol's entry of a module that speaks both.
  std::memcpy(fake.table[2].mac, kMac, 6);
  fake.table[2].tags[255] = "\x01";
  const ModuleRecord cases[] = {TextRecord(0), TextRecord(7), TextRecord(2),
                                Secure(TextRecord(1))};
  for (const ModuleRecord& record : cases) {
    fake.calls.clear();
    uint8_t earlier[6] = {1, 2, 3, 4, 5, 6};
    std::memcpy(target, earlier, 6);
    ASSERT_EQ(Run(record, Input()), ConfigureOutcome::ModuleListChanged) << record.moduleIndex;
    EXPECT_TRUE(fake.writes().empty()) << record.moduleIndex;
    EXPECT_EQ(0, std::memcmp(target, earlier, 6));
  }
  fake.calls.clear();
  EXPECT_EQ(Run(Secure(TextRecord(2)), Input()), ConfigureOutcome::Sent);
  EXPECT_EQ(fake.writes().front(), Create(2));
}

TEST_F(Flow, ALibraryFailureIsReportedAndResetsTheTarget) {
  struct Case {
    const char* what;
    int32_t FakeLibrary::*result;
    size_t callsBeforeStop;  // writes made before the failure ended the flow
  };
  const Case cases[] = {
      {"create", &FakeLibrary::createResult, 1},
      {"set data", &FakeLibrary::setDataResult, 2},
      {"set string", &FakeLibrary::setStringResult, 8},
      {"send", &FakeLibrary::sendResult, 9},
  };
  for (const Case& c : cases) {
    fake.calls.clear();
    fake.createResult = fake.setDataResult = fake.setStringResult = fake.sendResult = 0;
    fake.*c.result = MDSP_RESULT_FAILED;
    std::memcpy(target, kOtherMac, 6);
    EXPECT_EQ(Run(TextRecord(), Input()), ConfigureOutcome::Failed) << c.what;
    EXPECT_EQ(fake.writes().size(), c.callsBeforeStop) << c.what;
    EXPECT_EQ(0, std::memcmp(target, kNoTarget, 6)) << c.what;
  }
}

TEST(MacTextTest, FindsTheFirstRecordWithTheMac) {
  // (How a MAC text is read: module_texts_test.)
  std::vector<ModuleRecord> records{TextRecord(4), Secure(TextRecord(5)), TextRecord(6)};
  std::memcpy(records[0].mac, kOtherMac, 6);
  const ModuleRecord* found = FirstRecordWithMac(records, kMac);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->moduleIndex, 5u);
  uint8_t none[6] = {};
  EXPECT_EQ(FirstRecordWithMac(records, none), nullptr);
}

}  // namespace
}  // namespace pelmar_test
