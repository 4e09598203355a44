// The configure action end to end: the dialog answered as a user would, the
// built library in a host namespace, mdsp-sim playing modules in a peer
// namespace, and the simulator's log showing the exact datagrams.
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>

#include "auth_answer.h"
#include "configuration_dialog.h"
#include "dialog_answer.h"
#include "ip_address_edit.h"
#include "loaded_library.h"
#include "host_and_peer.h"
#include "message_box.h"
#include "netns.h"
#include "run_configuration.h"

namespace pelmar_test {
namespace {

using namespace pelmar;
using Dlg = CConfigurationDlg;

const char kModules[] = R"({"modules": [
  {"mac": "02-00-00-00-10-01", "protocol": "text", "password": "plain", "ip": "10.77.0.11",
   "hostname": "press-1", "dns2": "10.77.0.3"},
  {"mac": "02-00-00-00-10-02", "protocol": "text", "password": "secret", "seed": "k7Q2ZP91",
   "ip": "10.77.0.12"},
  {"mac": "02-00-00-00-10-03", "protocol": "text", "password": "x", "seed": "k",
   "ip": "10.77.0.13"},
  {"mac": "02-00-00-00-10-04", "protocol": "text", "password": "plain", "dhcp": true,
   "ip": "10.77.0.14"},
  {"mac": "02-00-00-00-10-05", "protocol": "text", "faults": {"raw_answer":
   "protocol version = 1.0;fb type = RAW;module version = 1.2.3;mac = 02-00-00-00-10-05;ip = 10.77.0.15;"}},
  {"mac": "02-00-00-00-20-01", "protocol": "secure", "password": "secret", "ip": "10.77.0.21",
   "hostname": "gw-1"},
  {"mac": "02-00-00-00-20-02", "protocol": "secure", "password": "secret", "dhcp": true},
  {"mac": "02-00-00-00-20-31", "protocol": "secure", "faults": {"configure_status": 31}},
  {"mac": "02-00-00-00-20-32", "protocol": "secure", "faults": {"configure_status": 32}},
  {"mac": "02-00-00-00-20-33", "protocol": "secure", "faults": {"configure_status": 33}},
  {"mac": "02-00-00-00-20-04", "protocol": "secure", "hostname":
   "h0123456789h0123456789h0123456789h0123456789h0123456789h0123456789h0123456789h0123456789h0123456789h0123456789h0123456789h0123456789h0123456789h0123456789h0123456789"}
]})";
constexpr size_t kModuleCount = 11;

struct Mac {
  uint8_t b[6];
};
Mac MacOf(const char* text) {
  Mac m{};
  ParseMacText(text, m.b);
  return m;
}

// Text configure requests received, each up to its NUL.
std::vector<std::string> TextConfigures(const std::string& simLog) {
  std::vector<std::string> out;
  for (const std::string& d : net_test::SimTextReceived(simLog))
    if (d.rfind("Configure: ", 0) == 0) out.push_back(d);
  return out;
}

std::vector<net_test::SimSecureRequest> SecureConfigures(const std::string& simLog) {
  return net_test::SimSecureRequests(simLog, 2);
}

std::string Address(int tag, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return std::string{static_cast<char>(tag), 4, static_cast<char>(d), static_cast<char>(c),
                     static_cast<char>(b), static_cast<char>(a)};
}
std::string Text(int tag, const std::string& text) {
  return std::string{static_cast<char>(tag), static_cast<char>(text.size())} + text;
}

std::string Md5(const std::string& text) {
  char out[kMd5HexLength + 1];
  Md5Hex(text.data(), text.size(), out);
  return out;
}

void Type(IpAddressEdit* field, const char* dotted) {
  field->clear();
  for (int i = 0; i < IpAddressEdit::kOctets; ++i) {
    std::string octets(dotted);
    std::vector<std::string> parts;
    std::istringstream in(octets);
    for (std::string p; std::getline(in, p, '.');) parts.push_back(p);
    field->octetBox(i)->setText(QString::fromStdString(parts.at(static_cast<size_t>(i))));
  }
}

QLineEdit* Edit(Dlg& d, int id) { return d.findChild<QLineEdit*>(QString::number(id)); }
QAbstractButton* Button(Dlg& d, int id) {
  return d.findChild<QAbstractButton*>(QString::number(id));
}

class ConfigurationNet : public ::testing::Test {
 protected:
  ConfigurationNet() {
    SetMessageRecorder([this](const ShownMessage& m) { shown_.push_back(m); });
  }
  ~ConfigurationNet() override { SetMessageRecorder({}); }

  bool Start() {
    // The library's sockets and worker belong to the namespace of the thread
    // that first calls it: the host's, entered by the set-up.
    if (!net_.SetUp()) return false;
    simLog_ = net_.StartSimulator(MDSP_SIM_PATH, kModules);
    if (simLog_.empty()) return false;
    if (!library_.Load(MDSP_LIBRARY_PATH) || !library_.Start("10.77.0.1")) return false;
    records_ = library_.Scan(kModuleCount);
    return records_.size() == kModuleCount;
  }

  // Runs the configure action for a MAC; `act` fills the dialog and closes it.
  ConfigurationResult Configure(const char* mac, std::function<void(Dlg&)> act) {
    test_support::AnswerModal<Dlg>("the configuration dialog", act);
    int draws = 0;
    uint8_t bytes[6] = {};
    EXPECT_TRUE(pelmar::ParseMacText(mac, bytes)) << mac;
    return RunConfiguration(nullptr, library_.api(), bytes, records_, target_,
                            [&draws] { return draws++ % 2 == 0 ? 0 : 27; });  // salt "aA"
  }

  static std::function<void(Dlg&)> SetWith(const char* password,
                                           std::function<void(Dlg&)> more = {}) {
    return [password, more](Dlg& d) {
      Edit(d, Dlg::kIdPassword)->setText(password);
      if (more) more(d);
      Button(d, Dlg::kIdSet)->click();
    };
  }

  bool Answered(int32_t event, const char* mac) {
    return library_.WaitEvent(event, MacOf(mac).b);
  }

  const ModuleRecord* Record(const char* mac) {
    return FirstRecordWithMac(records_, MacOf(mac).b);
  }

  std::string Log() { return net_test::ReadFile(simLog_); }

  net_test::HostAndPeer net_;
  net_test::Lab& lab_ = net_.lab;
  std::string simLog_;
  LoadedLibrary library_;
  std::vector<ModuleRecord> records_;
  uint8_t target_[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  std::vector<ShownMessage> shown_;
};

#define START()        \
  NETNS_REQUIRE(lab_); \
  ASSERT_TRUE(Start()) << lab_.error() << library_.error() << Log()

TEST_F(ConfigurationNet, TextModuleWithoutSeedGetsEveryPieceAndShowsTheNewValues) {
  START();
  // A ';' would end the password's piece: refused before anything is sent.
  auto fill = [](Dlg& d) {
    Type(d.addressField(kIpAddress), "10.77.0.51");
    Edit(d, Dlg::kIdHostName)->setText("cell-9");
    Button(d, Dlg::kIdChangePassword)->click();
    Edit(d, Dlg::kIdNewPassword)->setText("fresh");
    Edit(d, Dlg::kIdPassword)->setText("plain;IP = 1.2.3.4");
    Button(d, Dlg::kIdSet)->click();
    Edit(d, Dlg::kIdPassword)->setText("plain");
    Button(d, Dlg::kIdSet)->click();
  };
  ASSERT_EQ(Configure("02-00-00-00-10-01", fill), ConfigurationResult::Sent);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "This module does not accept ';' in a password.");
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-10-01")) << Log();
  EXPECT_EQ(TextConfigures(simLog_),
            std::vector<std::string>{
                "Configure: 02-00-00-00-10-01;Password: plain;New Password = fresh;"
                "IP = 10.77.0.51;SN = 255.255.255.0;GW = 192.168.0.1;DHCP = OFF;HN = cell-9;"
                "DNS1 = 192.168.0.1;DNS2 = 10.77.0.3;"});
  EXPECT_EQ(0, std::memcmp(target_, MacOf("02-00-00-00-10-01").b, 6));

  // What the main window's re-scan lists afterwards.
  records_ = library_.Scan(kModuleCount);
  const ModuleRecord* r = Record("02-00-00-00-10-01");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->ip, 0x0A4D0033u);
  EXPECT_STREQ(r->hostName, "cell-9");
}


TEST_F(ConfigurationNet, SeededTextModuleGetsMd5AnswersAndTakesTheNewPasswordSalted) {
  START();
  const ModuleRecord* before = Record("02-00-00-00-10-02");
  ASSERT_NE(before, nullptr);
  ASSERT_TRUE(before->seedValid);
  std::string seed = before->seedText;
  auto change = [](Dlg& d) {
    Button(d, Dlg::kIdChangePassword)->click();
    Edit(d, Dlg::kIdNewPassword)->setText("fresh");
  };
  ASSERT_EQ(Configure("02-00-00-00-10-02", SetWith("secret", change)), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-10-02")) << Log();
  const std::string answer = Md5(seed.substr(0, 2) + Md5(seed.substr(0, 2) + "secret") + seed);
  const std::string stored = "aA" + Md5("aAfresh");
  ASSERT_EQ(TextConfigures(simLog_).size(), 1u);
  EXPECT_EQ(TextConfigures(simLog_)[0],
            "Configure: 02-00-00-00-10-02;Password: " + answer + ";New Password = " + stored +
                ";IP = 10.77.0.12;SN = 255.255.255.0;GW = 192.168.0.1;DHCP = OFF;"
                "HN = sim-module;DNS1 = 192.168.0.1;DNS2 = 0.0.0.0;");
  EXPECT_EQ(Log().find("secret"), std::string::npos);
  EXPECT_EQ(Log().find("fresh"), std::string::npos);

  // The module now salts with the new salt; the new password is accepted.
  library_.ClearEvents();
  records_ = library_.Scan(kModuleCount);
  const ModuleRecord* after = Record("02-00-00-00-10-02");
  ASSERT_NE(after, nullptr);
  seed = after->seedText;
  ASSERT_EQ(seed.substr(0, 2), "aA");
  ASSERT_EQ(Configure("02-00-00-00-10-02", SetWith("fresh")), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-10-02")) << Log();
  EXPECT_NE(TextConfigures(simLog_).back().find(
                "Password: " + Md5("aA" + Md5("aAfresh") + seed) + ";IP = "),
            std::string::npos);
}

TEST_F(ConfigurationNet, OneCharacterSeedAnswersWithTheMd5OfThatCharacter) {
  START();
  ASSERT_EQ(Configure("02-00-00-00-10-03", SetWith("typed")), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-10-03")) << Log();
  ASSERT_EQ(TextConfigures(simLog_).size(), 1u);
  EXPECT_EQ(TextConfigures(simLog_)[0].rfind(
                "Configure: 02-00-00-00-10-03;Password: " + Md5("k") + ";IP = ", 0),
            0u)
      << TextConfigures(simLog_)[0];
}

TEST_F(ConfigurationNet, SecureModuleGetsAnAuthenticatedConfigure) {
  START();
  auto fill = [](Dlg& d) {
    Type(d.addressField(kIpAddress), "10.77.0.52");
    Type(d.addressField(kSecondaryDns), "10.77.0.4");
    Edit(d, Dlg::kIdHostName)->setText("gw-2");
  };
  ASSERT_EQ(Configure("02-00-00-00-20-01", SetWith("secret", fill)), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-20-01")) << Log();
  auto sent = SecureConfigures(simLog_);
  ASSERT_EQ(sent.size(), 1u) << Log();
  EXPECT_EQ(sent[0].to, std::string("\x02\x00\x00\x00\x20\x01", 6));
  EXPECT_EQ(sent[0].payload, Address(0, 10, 77, 0, 52) + Address(1, 255, 255, 255, 0) +
                                 Address(2, 192, 168, 0, 1) + Address(3, 192, 168, 0, 1) +
                                 Address(4, 10, 77, 0, 4) + std::string("\x05\x01\x00", 3) +
                                 Text(6, "gw-2"));
  EXPECT_NE(Log().find("event 02-00-00-00-20-01 configure applied"), std::string::npos) << Log();

  records_ = library_.Scan(kModuleCount);
  const ModuleRecord* r = Record("02-00-00-00-20-01");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->ip, 0x0A4D0034u);
  EXPECT_EQ(r->dns2, 0x0A4D0004u);
}

TEST_F(ConfigurationNet, SecureRefusalsRaiseTheirEvents) {
  START();
  struct Case {
    const char* mac;
    const char* password;
    int32_t event;
  };
  const Case cases[] = {{"02-00-00-00-20-31", "", SMDSP_EVENT_HOSTNAME_TOO_LONG},
                        {"02-00-00-00-20-32", "", SMDSP_EVENT_PASSWORD_TOO_LONG},
                        {"02-00-00-00-20-33", "", SMDSP_EVENT_INVALID_CONFIGURATION},
                        {"02-00-00-00-20-01", "guess", SMDSP_EVENT_INVALID_PASSWORD}};
  for (const Case& c : cases) {
    ASSERT_EQ(Configure(c.mac, SetWith(c.password)), ConfigurationResult::Sent) << c.mac;
    EXPECT_TRUE(Answered(c.event, c.mac)) << c.mac << Log();
    // The target stays on the module so the main window can match the answer.
    EXPECT_EQ(0, std::memcmp(target_, MacOf(c.mac).b, 6)) << c.mac;
  }
  EXPECT_EQ(SecureConfigures(simLog_).size(), 4u);
}

TEST_F(ConfigurationNet, DhcpOnSendsBlankAddressesAndOffSendsWhatWasTyped) {
  START();
  const std::string zeros = Address(0, 0, 0, 0, 0) + Address(1, 0, 0, 0, 0) +
                            Address(2, 0, 0, 0, 0) + Address(3, 0, 0, 0, 0) +
                            Address(4, 0, 0, 0, 0);
  ASSERT_EQ(Configure("02-00-00-00-20-02", SetWith("secret")), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-20-02")) << Log();
  auto off = [](Dlg& d) {
    Button(d, Dlg::kIdDhcpOff)->click();
    Type(d.addressField(kIpAddress), "10.77.0.53");
    Type(d.addressField(kSubnetMask), "255.255.255.0");
  };
  library_.ClearEvents();
  ASSERT_EQ(Configure("02-00-00-00-20-02", SetWith("secret", off)), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-20-02")) << Log();
  auto sent = SecureConfigures(simLog_);
  ASSERT_EQ(sent.size(), 2u) << Log();
  EXPECT_EQ(sent[0].payload, zeros + std::string("\x05\x01\x01", 3) + Text(6, "sim-module"));
  EXPECT_EQ(sent[1].payload, Address(0, 10, 77, 0, 53) + Address(1, 255, 255, 255, 0) +
                                 zeros.substr(12) + std::string("\x05\x01\x00", 3) +
                                 Text(6, "sim-module"));

  // The same for a text-protocol module.
  ASSERT_EQ(Configure("02-00-00-00-10-04", SetWith("plain")), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-10-04")) << Log();
  EXPECT_EQ(TextConfigures(simLog_),
            std::vector<std::string>{"Configure: 02-00-00-00-10-04;Password: plain;"
                                     "IP = 0.0.0.0;SN = 0.0.0.0;GW = 0.0.0.0;DHCP = ON;"
                                     "HN = sim-module;DNS1 = 0.0.0.0;DNS2 = 0.0.0.0;"});
}

TEST_F(ConfigurationNet, ValuesNotReportedGoAsZerosAndNoHostName) {
  START();
  // DHCP, the mask, gateway, DNS, host name and password flag not reported.
  auto check = [](Dlg& d) {
    EXPECT_FALSE(Button(d, Dlg::kIdDhcpOn)->isEnabled());
    EXPECT_FALSE(Edit(d, Dlg::kIdHostName)->isEnabled());
    EXPECT_TRUE(Edit(d, Dlg::kIdPassword)->isReadOnly());
    EXPECT_FALSE(d.addressField(kGateway)->isEnabled());
    Button(d, Dlg::kIdSet)->click();
  };
  ASSERT_EQ(Configure("02-00-00-00-10-05", check), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-10-05")) << Log();
  EXPECT_EQ(TextConfigures(simLog_),
            std::vector<std::string>{"Configure: 02-00-00-00-10-05;IP = 10.77.0.15;"
                                     "SN = 0.0.0.0;GW = 0.0.0.0;DHCP = OFF;HN =;"
                                     "DNS1 = 0.0.0.0;DNS2 = 0.0.0.0;"});
}

TEST_F(ConfigurationNet, AnAnswerArrivingWhileASecondDialogIsOpenEndsNothingOfIt) {
  START();
  ASSERT_EQ(Configure("02-00-00-00-20-01", SetWith("secret")), ConfigurationResult::Sent);
  // The first module's answer arrives while the second dialog is open.
  auto late = [this](Dlg& d) {
    EXPECT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-20-01")) << Log();
    Edit(d, Dlg::kIdHostName)->setText("second");
    SetWith("secret")(d);
  };
  ASSERT_EQ(Configure("02-00-00-00-20-02", late), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-20-02")) << Log();
  auto sent = SecureConfigures(simLog_);
  ASSERT_EQ(sent.size(), 2u) << Log();
  EXPECT_EQ(sent[1].to, std::string("\x02\x00\x00\x00\x20\x02", 6));
  EXPECT_NE(sent[1].payload.find(Text(6, "second")), std::string::npos);
  EXPECT_EQ(0, std::memcmp(target_, MacOf("02-00-00-00-20-02").b, 6));
}

TEST_F(ConfigurationNet, ARescanWhileTheDialogIsOpenNeverSendsToAnotherModule) {
  START();
  auto rescan = [this](Dlg& d) {
    EXPECT_EQ(library_.Scan(kModuleCount).size(), kModuleCount);
    SetWith("secret")(d);
  };
  ConfigurationResult result = Configure("02-00-00-00-20-01", rescan);
  // The scan may have given the module another index: then the user is told
  // and nothing is sent. Otherwise it went to this module.
  if (result == ConfigurationResult::ModuleListChanged) {
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, "The module list has changed. Please scan and try again.");
  } else {
    ASSERT_EQ(result, ConfigurationResult::Sent);
    ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-20-01")) << Log();
  }
  // A marker request: once it is in the log, every earlier one is too.
  ASSERT_EQ(Configure("02-00-00-00-20-33", SetWith("")), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_INVALID_CONFIGURATION, "02-00-00-00-20-33")) << Log();
  auto sent = SecureConfigures(simLog_);
  ASSERT_EQ(sent.size(), result == ConfigurationResult::Sent ? 2u : 1u) << Log();
  if (result == ConfigurationResult::Sent) {
    EXPECT_EQ(sent[0].to, std::string("\x02\x00\x00\x00\x20\x01", 6));
  }
  EXPECT_TRUE(TextConfigures(simLog_).empty());
}

TEST_F(ConfigurationNet, RefusedInputAndCancelSendNothing) {
  START();
  auto refusedThenCancel = [](Dlg& d) {
    Edit(d, Dlg::kIdHostName)->setText("bad name");
    Button(d, Dlg::kIdSet)->click();
    Edit(d, Dlg::kIdHostName)->setText("ok");
    Type(d.addressField(kIpAddress), "10.77.0.255");
    Button(d, Dlg::kIdSet)->click();
    Button(d, Dlg::kIdCancel)->click();
  };
  EXPECT_EQ(Configure("02-00-00-00-10-01", refusedThenCancel), ConfigurationResult::Cancelled);
  EXPECT_EQ(Configure("02-00-00-00-20-01", [](Dlg& d) { d.close(); }),
            ConfigurationResult::Cancelled);
  // A module's host name longer than a field takes: shown, refused at "Set".
  auto longName = [](Dlg& d) {
    EXPECT_EQ(Edit(d, Dlg::kIdHostName)->text().size(), 165);
    Button(d, Dlg::kIdSet)->click();
    EXPECT_TRUE(d.isVisible());
    Button(d, Dlg::kIdCancel)->click();
  };
  EXPECT_EQ(Configure("02-00-00-00-20-04", longName), ConfigurationResult::Cancelled);
  ASSERT_EQ(shown_.size(), 3u);
  EXPECT_EQ(shown_[0].text, "Illegal hostname! Only a-z, A-Z, 0-9, _ and - allowed.");
  EXPECT_EQ(shown_[1].text, "Last digit of IP address can not be 255.");
  EXPECT_EQ(shown_[2].text, "Please enter no more than 127 characters.");
  // A marker request: once it is in the log, any earlier one would be too.
  ASSERT_EQ(Configure("02-00-00-00-10-04", SetWith("plain")), ConfigurationResult::Sent);
  ASSERT_TRUE(Answered(SMDSP_EVENT_CONFIGURED, "02-00-00-00-10-04")) << Log();
  ASSERT_EQ(TextConfigures(simLog_).size(), 1u);
  EXPECT_EQ(TextConfigures(simLog_)[0].rfind("Configure: 02-00-00-00-10-04;", 0), 0u);
  EXPECT_TRUE(SecureConfigures(simLog_).empty());
  EXPECT_EQ(Log().find("authentication"), std::string::npos);
}

}  // namespace
}  // namespace pelmar_test
