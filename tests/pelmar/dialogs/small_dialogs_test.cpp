// The password, settings and About dialogs, driven as a user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "about_dlg.h"
#include "dialog_answer.h"
#include "message_box.h"
#include "password_dlg.h"
#include "settings_dlg.h"
#include "version_data.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

template <typename T>
T* Child(QWidget* parent, const char* name) {
  T* child = parent->findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// Runs `act` on the modal dialog once exec() has opened it.
int ExecWith(QDialog& dialog, std::function<void(QWidget*)> act) {
  test_support::AnswerModal<QWidget>(dialog.metaObject()->className(),
                                     [act](QWidget& modal) { act(&modal); });
  return dialog.exec();
}

void Click(QWidget* parent, const char* name) {
  if (auto* button = Child<QAbstractButton>(parent, name)) QTest::mouseClick(button, Qt::LeftButton);
}

// On the box itself: a stretched check box does not take clicks right of its text.
void Tick(QWidget* parent, const char* name) {
  if (auto* box = Child<QCheckBox>(parent, name))
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

TEST(PasswordDlg, OkGivesWhatWasTypedCancelGivesNothing) {
  for (bool ok : {true, false}) {
    CPasswordDlg dialog;
    dialog.SetCaption("Wink: 02-A7-5E-0A-0B-2C");
    int result = ExecWith(dialog, [ok](QWidget* modal) {
      EXPECT_EQ(modal->windowTitle(), "Wink: 02-A7-5E-0A-0B-2C");
      auto* edit = Child<QLineEdit>(modal, "password");
      EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
      QTest::keyClicks(edit, "s3cret pass");
      Click(modal, ok ? "ok" : "cancel");
    });
    EXPECT_EQ(result, ok ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_EQ(dialog.Password(), ok ? "s3cret pass" : "");
  }
}

TEST(PasswordDlg, EnterConfirms) {
  CPasswordDlg dialog;
  int result = ExecWith(dialog, [](QWidget* modal) {
    auto* edit = Child<QLineEdit>(modal, "password");
    QTest::keyClicks(edit, "pw");
    QTest::keyClick(edit, Qt::Key_Return);
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(dialog.Password(), "pw");
}

TEST(SettingsDlg, OpensWithRowsInInterfaceOrderAndTheSelectedRow) {
  const QStringList three = {"zeta adapter", "alpha adapter", "mid adapter"};
  const struct {
    const char* name;
    QStringList descriptions;
    uint32_t selected;
    int row;
  } cases[] = {
      {"selected row", three, 2, 2},
      {"selected beyond the list", three, 5, 0},
      {"empty list", {}, 4, -1},
  };
  for (const auto& c : cases) {
    CSettings dialog(c.descriptions, {false, c.selected, false});
    auto* box = Child<QComboBox>(&dialog, "interfaces");
    ASSERT_EQ(box->count(), c.descriptions.size()) << c.name;
    for (int i = 0; i < box->count(); ++i) EXPECT_EQ(box->itemText(i), c.descriptions[i]) << c.name;
    EXPECT_EQ(box->currentIndex(), c.row) << c.name;
    EXPECT_EQ(dialog.windowTitle(), "Settings");
  }
}

TEST(SettingsDlg, InterfaceBoxIsEnabledExactlyWhileTicked) {
  for (bool specific : {false, true}) {
    CSettings dialog({"eth0", "eth1"}, {specific, 0, false});
    dialog.show();
    auto* tick = Child<QCheckBox>(&dialog, "specificInterface");
    auto* box = Child<QComboBox>(&dialog, "interfaces");
    EXPECT_EQ(tick->text(), "Broadcast from a Specific Network Interface Controller");
    EXPECT_EQ(tick->isChecked(), specific);
    EXPECT_EQ(box->isEnabled(), specific);
    Tick(&dialog, "specificInterface");
    EXPECT_EQ(tick->isChecked(), !specific);
    EXPECT_EQ(box->isEnabled(), !specific);
    Tick(&dialog, "specificInterface");
    EXPECT_EQ(box->isEnabled(), specific);
  }
}

TEST(SettingsDlg, OkReturnsTheEditedChoice) {
  CSettings dialog({"eth0", "eth1", "eth2"}, {false, 0, true});
  int result = ExecWith(dialog, [](QWidget* modal) {
    EXPECT_TRUE(Child<QCheckBox>(modal, "dhcpServer")->isChecked());
    Tick(modal, "specificInterface");
    Child<QComboBox>(modal, "interfaces")->setCurrentIndex(1);
    Tick(modal, "dhcpServer");
    Click(modal, "ok");
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(dialog.Choice(), (SettingsChoice{true, 1, false}));
}

TEST(SettingsDlg, OkWithoutRowsKeepsThePreviousSelection) {
  CSettings dialog({}, {true, 7, false});
  int result = ExecWith(dialog, [](QWidget* modal) {
    Tick(modal, "dhcpServer");
    Click(modal, "ok");
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(dialog.Choice(), (SettingsChoice{true, 7, true}));
}

TEST(AboutDlg, ShowsTheProductVersionOfTheProgramFile) {
  // This test program carries a version block with product version "3, 1, 0, 7".
  CAboutDlg dialog;
  EXPECT_EQ(dialog.windowTitle(), "About Pelmar");
  EXPECT_EQ(dialog.VersionText(), "Version: 3.1.0.7");
  EXPECT_FALSE(dialog.NoticeText().isEmpty());
  EXPECT_FALSE(dialog.NoticeText().contains('\n'));
  int result = ExecWith(dialog, [](QWidget* modal) { Click(modal, "ok"); });
  EXPECT_EQ(result, QDialog::Accepted);
}

TEST(AboutDlg, OpensWithAnEmptyLineWhenTheFileHasNoVersion) {
  CAboutDlg dialog(nullptr, "/nonexistent/pelmar");
  EXPECT_EQ(dialog.VersionText(), "");
  EXPECT_EQ(dialog.windowTitle(), "About Pelmar");
  int result = ExecWith(dialog, [](QWidget* modal) {
    QTest::keyClick(modal, Qt::Key_Return);
  });
  EXPECT_EQ(result, QDialog::Accepted);
}

TEST(AboutDlg, VersionReportGoesToTheInformationBox) {
  std::vector<ShownMessage> shown;
  SetMessageRecorder([&](const ShownMessage& m) { shown.push_back(m); });
  versioning::VersionReportViewer before = versioning::SetVersionReportViewer(&ShowVersionReport);
  versioning::CVFXVersionData data;
  data.file = "/opt/pelmar";
  data.Text(versioning::VersionText::ProductVersion) = "3, 1, 0, 7";
  data.Show(false);
  versioning::SetVersionReportViewer(before);
  SetMessageRecorder({});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, "Information");
  EXPECT_EQ(shown[0].text.toStdString(), data.Format());
  EXPECT_EQ(shown[0].icon, MessageIcon::Information);
}

}  // namespace
}  // namespace pelmar_test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Test discovery runs without the per-test offscreen platform: listing
  // needs no application object.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
