// The configuration dialog offscreen: its controls, how it opens for a
// record, the radio and check box logic, every validation message, and the
// whole action against a recording library.
#include "configuration_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "dialog_answer.h"
#include "fake_library.h"
#include "ip_address_edit.h"
#include "message_box.h"
#include "run_configuration.h"

namespace pelmar_test {
namespace {

using namespace pelmar;
using Dlg = CConfigurationDlg;

constexpr uint8_t kMac[6] = {0x02, 0x00, 0x00, 0x00, 0x10, 0x01};
const QString kMacText = "02-00-00-00-10-01";

ModuleRecord TextRecord() {
  ModuleRecord r;
  r.moduleIndex = 0;
  std::memcpy(r.mac, kMac, 6);
  r.macValid = true;
  r.ip = 0xC0A8000Au;  // 192.168.0.10
  r.ipValid = true;
  r.subnet = 0xFFFFFF00u;
  r.subnetValid = true;
  r.gateway = 0xC0A80001u;
  r.gatewayValid = true;
  r.dns1 = 0xC0A80001u;
  r.dns1Valid = true;
  r.dns2Valid = false;
  r.dhcpValid = true;
  std::strcpy(r.hostName, "press-1");
  r.hostNameValid = true;
  r.passwordFlag = 1;
  r.passwordFlagValid = true;
  return r;
}

template <typename T>
T* Control(const QDialog& d, int id) {
  T* c = d.findChild<T*>(QString::number(id));
  EXPECT_NE(c, nullptr) << id;
  return c;
}

QLineEdit* Edit(const QDialog& d, int id) { return Control<QLineEdit>(d, id); }
QAbstractButton* Button(const QDialog& d, int id) { return Control<QAbstractButton>(d, id); }

// Messages are recorded instead of shown.
class Messages {
 public:
  Messages() {
    SetMessageRecorder([this](const ShownMessage& m) { shown.push_back(m); });
  }
  ~Messages() { SetMessageRecorder({}); }
  std::vector<ShownMessage> shown;
};

struct DialogTest : ::testing::Test {
  Messages messages;
};

TEST_F(DialogTest, CarriesTheTemplateControlsLaidOutInDialogUnits) {
  Dlg d(TextRecord(), kMacText);
  EXPECT_EQ(d.windowTitle(), "Configure: 02-00-00-00-10-01");
  for (int id : {Dlg::kIdIpAddress, Dlg::kIdSubnetMask, Dlg::kIdGateway, Dlg::kIdPrimaryDns,
                 Dlg::kIdSecondaryDns})
    EXPECT_NE(d.findChild<IpAddressEdit*>(QString::number(id)), nullptr) << id;
  for (int id : {Dlg::kIdHostName, Dlg::kIdPassword, Dlg::kIdNewPassword}) Edit(d, id);
  EXPECT_EQ(Edit(d, Dlg::kIdPassword)->echoMode(), QLineEdit::Password);
  EXPECT_EQ(Edit(d, Dlg::kIdNewPassword)->echoMode(), QLineEdit::Password);
  EXPECT_EQ(Button(d, Dlg::kIdDhcpOn)->text(), "On");
  EXPECT_EQ(Button(d, Dlg::kIdDhcpOff)->text(), "Off");
  EXPECT_EQ(Button(d, Dlg::kIdChangePassword)->text(), "Change password");
  EXPECT_EQ(Button(d, Dlg::kIdSet)->text(), "Set");
  EXPECT_TRUE(Control<QPushButton>(d, Dlg::kIdSet)->isDefault());
  EXPECT_EQ(Button(d, Dlg::kIdCancel)->text(), "Cancel");

  // Positions scale with the font: Set at x 194, Cancel at 250, both 50 wide.
  QRect set = Button(d, Dlg::kIdSet)->geometry(), cancel = Button(d, Dlg::kIdCancel)->geometry();
  QRect ip = d.addressField(kIpAddress)->geometry();
  EXPECT_EQ(set.width(), cancel.width());
  EXPECT_NEAR(ip.width(), 2 * set.width(), 1);  // 100 and 50 units
  EXPECT_GT(cancel.left(), set.right());
  QFont large = QApplication::font();
  large.setPointSize(large.pointSize() * 2);
  QApplication::setFont(large);
  Dlg bigger(TextRecord(), kMacText);
  QApplication::setFont(QFont());
  EXPECT_GT(bigger.width(), d.width() * 3 / 2);
  EXPECT_GT(bigger.height(), d.height() * 3 / 2);
}

TEST_F(DialogTest, OpensWithTheRecordsValues) {
  Dlg d(TextRecord(), kMacText);
  EXPECT_EQ(d.addressField(kIpAddress)->address(), 0xC0A8000Au);
  EXPECT_TRUE(d.addressField(kIpAddress)->isEnabled());
  // Not reported: blank and disabled.
  EXPECT_TRUE(d.addressField(kSecondaryDns)->isBlank());
  EXPECT_FALSE(d.addressField(kSecondaryDns)->isEnabled());
  EXPECT_EQ(Edit(d, Dlg::kIdHostName)->text(), "press-1");
  EXPECT_TRUE(Edit(d, Dlg::kIdHostName)->isEnabled());
  EXPECT_FALSE(Edit(d, Dlg::kIdPassword)->isReadOnly());
  EXPECT_TRUE(Edit(d, Dlg::kIdNewPassword)->isReadOnly());
  EXPECT_TRUE(Button(d, Dlg::kIdDhcpOff)->isChecked());

  // "Change password" makes the new password editable exactly while ticked.
  Button(d, Dlg::kIdChangePassword)->click();
  EXPECT_FALSE(Edit(d, Dlg::kIdNewPassword)->isReadOnly());
  Button(d, Dlg::kIdChangePassword)->click();
  EXPECT_TRUE(Edit(d, Dlg::kIdNewPassword)->isReadOnly());

  ModuleRecord plain = TextRecord();
  plain.hostNameValid = false;
  plain.passwordFlag = 0;
  Dlg p(plain, kMacText);
  EXPECT_FALSE(Edit(p, Dlg::kIdHostName)->isEnabled());
  EXPECT_TRUE(Edit(p, Dlg::kIdHostName)->text().isEmpty());
  EXPECT_TRUE(Edit(p, Dlg::kIdPassword)->isReadOnly());

  ModuleRecord secure = plain;
  secure.secure = true;
  Dlg s(secure, kMacText);
  EXPECT_TRUE(Edit(s, Dlg::kIdHostName)->isEnabled());
  EXPECT_FALSE(Edit(s, Dlg::kIdPassword)->isReadOnly());
}

TEST_F(DialogTest, DhcpOnBlanksTheAddressesAndOffEnablesThemBlank) {
  ModuleRecord on = TextRecord();
  on.dhcp = 1;
  Dlg d(on, kMacText);
  EXPECT_TRUE(Button(d, Dlg::kIdDhcpOn)->isChecked());
  for (int f = 0; f < kAddressCount; ++f) {
    EXPECT_TRUE(d.addressField(f)->isBlank()) << f;
    EXPECT_FALSE(d.addressField(f)->isEnabled()) << f;
  }
  Button(d, Dlg::kIdDhcpOff)->click();
  for (int f = 0; f < kAddressCount; ++f) {
    EXPECT_TRUE(d.addressField(f)->isEnabled()) << f;
    EXPECT_TRUE(d.addressField(f)->isBlank()) << f;
  }
  QTest::keyClicks(d.addressField(kGateway)->octetBox(0), "10");
  Button(d, Dlg::kIdDhcpOn)->click();  // disables, keeps what was typed
  EXPECT_FALSE(d.addressField(kGateway)->isEnabled());
  EXPECT_EQ(d.addressField(kGateway)->address(), 0x0A000000u);
}

TEST_F(DialogTest, DhcpNotReportedDisablesBothRadios) {
  ModuleRecord r = TextRecord();
  r.dhcpValid = false;
  r.dhcp = 1;
  Dlg d(r, kMacText);
  for (int id : {Dlg::kIdDhcpOn, Dlg::kIdDhcpOff}) {
    EXPECT_FALSE(Button(d, id)->isEnabled()) << id;
    EXPECT_FALSE(Button(d, id)->isChecked()) << id;
  }
  EXPECT_EQ(d.addressField(kIpAddress)->address(), 0xC0A8000Au);
  EXPECT_TRUE(d.addressField(kIpAddress)->isEnabled());
  Button(d, Dlg::kIdSet)->click();
  EXPECT_EQ(d.captured().dhcpChoice, kDhcpUnknown);
}

TEST_F(DialogTest, SetShowsEachValidationMessageAndStaysOpen) {
  struct Case {
    const char* what;
    std::function<void(Dlg&)> enter;
    const char* message;  // "" = accepted
  };
  const Case cases[] = {
      {"dot in the host name", [](Dlg& d) { Edit(d, Dlg::kIdHostName)->setText("press.1"); },
       "Illegal hostname! Only a-z, A-Z, 0-9, _ and - allowed."},
      {"space in the host name", [](Dlg& d) { Edit(d, Dlg::kIdHostName)->setText("press 1"); },
       "Illegal hostname! Only a-z, A-Z, 0-9, _ and - allowed."},
      {"letter outside a-z", [](Dlg& d) { Edit(d, Dlg::kIdHostName)->setText("pr\u00e9ss"); },
       "Illegal hostname! Only a-z, A-Z, 0-9, _ and - allowed."},
      {"last octet 255", [](Dlg& d) { d.addressField(kIpAddress)->setAddress(0xC0A800FFu); },
       "Last digit of IP address can not be 255."},
      {"';' in the password", [](Dlg& d) { Edit(d, Dlg::kIdPassword)->setText("a;b"); },
       "This module does not accept ';' in a password."},
      {"';' in the new password",
       [](Dlg& d) {
         Button(d, Dlg::kIdChangePassword)->click();
         QTest::keyClicks(Edit(d, Dlg::kIdNewPassword), "n;");
       },
       "This module does not accept ';' in a password."},
      {"first octet 255", [](Dlg& d) { d.addressField(kIpAddress)->setAddress(0xFF010101u); }, ""},
      {"legal host name", [](Dlg& d) { Edit(d, Dlg::kIdHostName)->setText("Press_1-a"); }, ""},
  };
  for (const Case& c : cases) {
    messages.shown.clear();
    Dlg d(TextRecord(), kMacText);
    d.show();
    c.enter(d);
    QTest::mouseClick(Button(d, Dlg::kIdSet), Qt::LeftButton);
    if (*c.message) {
      ASSERT_EQ(messages.shown.size(), 1u) << c.what;
      EXPECT_EQ(messages.shown[0].caption, "Pelmar") << c.what;
      EXPECT_EQ(messages.shown[0].text, c.message) << c.what;
      EXPECT_EQ(messages.shown[0].icon, MessageIcon::None) << c.what;
      EXPECT_TRUE(d.isVisible()) << c.what;
    } else {
      EXPECT_TRUE(messages.shown.empty()) << c.what;
      EXPECT_EQ(d.result(), QDialog::Accepted) << c.what;
      EXPECT_FALSE(d.isVisible()) << c.what;
    }
  }
}

TEST_F(DialogTest, AHostNameOver127CharactersIsRefusedAtReadBack) {
  ModuleRecord r = TextRecord();
  std::memset(r.hostName, 'h', 200);
  r.hostName[200] = '\0';
  Dlg d(r, kMacText);
  d.show();
  QLineEdit* hostName = Edit(d, Dlg::kIdHostName);
  EXPECT_EQ(hostName->text().size(), 200);  // shown whole, as the module sent it
  hostName->end(false);
  QTest::keyClicks(hostName, "x");  // cannot grow
  EXPECT_EQ(hostName->text().size(), 200);
  Button(d, Dlg::kIdSet)->click();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Please enter no more than 127 characters.");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
  EXPECT_TRUE(d.isVisible());
  for (int i = 0; i < 73; ++i) QTest::keyClick(hostName, Qt::Key_Backspace);
  Button(d, Dlg::kIdSet)->click();
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(d.captured().hostName, std::string(127, 'h'));

  // Typing stops at 127 characters.
  Dlg typed(TextRecord(), kMacText);
  QTest::keyClicks(Edit(typed, Dlg::kIdPassword), QString(130, 'p'));
  EXPECT_EQ(Edit(typed, Dlg::kIdPassword)->text().size(), 127);
}

// The whole action: the dialog answered as a user would, the library faked.
struct RunTest : DialogTest {
  RunTest() {
    fake.table.resize(1);
    std::memcpy(fake.table[0].mac, kMac, 6);
    records.push_back(TextRecord());
  }
  void WhenOpen(std::function<void(Dlg&)> act) {
    test_support::AnswerModal<Dlg>("the configuration dialog", act);
  }
  ConfigurationResult Run() {
    return RunConfiguration(nullptr, fake.api(), kMac, records, target,
                            [] { return 0; });
  }
  FakeLibrary fake;
  std::vector<ModuleRecord> records;
  uint8_t target[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
};

TEST_F(RunTest, SetSendsWhatWasTypedToTheModule) {
  WhenOpen([this](Dlg& d) {
    EXPECT_EQ(d.windowTitle(), "Configure: " + kMacText);
    // The list may change while the dialog is open: it works on its copy.
    records.clear();
    records.resize(20);
    d.addressField(kGateway)->setAddress(0x0A4D0001u);
    Edit(d, Dlg::kIdHostName)->setText("cell-9");
    Edit(d, Dlg::kIdPassword)->setText("plain");
    Button(d, Dlg::kIdSet)->click();
  });
  ASSERT_EQ(Run(), ConfigurationResult::Sent);
  using pelmar_test::Create, pelmar_test::SetData, pelmar_test::SetString, pelmar_test::Send;
  std::vector<Call> expected{Create(0),
                             SetData(0, std::string("\x0a\x00\xa8\xc0", 4)),
                             SetData(1, std::string("\x00\xff\xff\xff", 4)),
                             SetData(2, std::string("\x01\x00\x4d\x0a", 4)),
                             SetData(3, std::string("\x01\x00\xa8\xc0", 4)),
                             SetData(4, std::string(4, '\0')),
                             SetData(5, std::string(1, '\0')),
                             SetString(6, "cell-9"),
                             Send("plain")};
  EXPECT_EQ(fake.writes(), expected);
  EXPECT_EQ(0, std::memcmp(target, kMac, 6));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RunTest, CancelOrClosingSendsNothing) {
  for (auto close : {std::function<void(Dlg&)>([](Dlg& d) { Button(d, Dlg::kIdCancel)->click(); }),
                     std::function<void(Dlg&)>([](Dlg& d) { d.close(); })}) {
    WhenOpen(close);
    EXPECT_EQ(Run(), ConfigurationResult::Cancelled);
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_EQ(target[0], 0xFF);
  }
}

TEST_F(RunTest, NoRecordWithTheRowsMacShowsNothing) {
  records[0].mac[5] = 0x02;
  EXPECT_EQ(Run(), ConfigurationResult::NoRecord);  // returns without a modal loop
  EXPECT_TRUE(fake.calls.empty());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RunTest, FailuresAreWarnedAbout) {
  auto set = [](Dlg& d) { Button(d, Dlg::kIdSet)->click(); };
  fake.sendResult = MDSP_RESULT_FAILED;
  WhenOpen(set);
  EXPECT_EQ(Run(), ConfigurationResult::Failed);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].caption, "Warning");
  EXPECT_EQ(messages.shown[0].text, "Failed to configure.");
  EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
  EXPECT_EQ(target[0], 0xFF);

  // A re-scan gave the module's index to another module.
  fake.sendResult = 0;
  fake.table[0].mac[5] = 0x77;
  fake.calls.clear();
  WhenOpen(set);
  EXPECT_EQ(Run(), ConfigurationResult::ModuleListChanged);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[1].text, "The module list has changed. Please scan and try again.");
  EXPECT_EQ(messages.shown[1].icon, MessageIcon::Warning);
  EXPECT_TRUE(fake.writes().empty());
}

}  // namespace
}  // namespace pelmar_test
