// The main window's actions with the real library in throwaway namespaces,
// mdsp-sim on the other side: answers to a configuration of a module that is
// not the first to answer, a double-click configuration that re-scans, wink
// with and without its prompt as it shows on the wire, and closing the
// window while the internal DHCP server runs.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <sstream>

#include "configuration_dialog.h"
#include "ip_address_edit.h"
#include "main_dlg.h"
#include "message_box.h"
#include "netns.h"
#include "window_on_the_wire.h"

namespace pelmar_test {
namespace {

using pelmar::CConfigurationDlg;
using pelmar::CMainDlg;

// A answers at once and is table entry 0; the others answer late.
const char kModules[] = R"({"modules": [
  {"mac": "02-00-00-00-20-01", "protocol": "secure", "password": "secret", "ip": "10.77.0.20"},
  {"mac": "02-00-00-00-20-02", "protocol": "secure", "password": "secret", "ip": "10.77.0.21",
   "faults": {"delay_ms": 150, "configure_status": 33}},
  {"mac": "02-00-00-00-20-03", "protocol": "secure", "password": "secret", "ip": "10.77.0.22",
   "faults": {"delay_ms": 150}},
  {"mac": "02-00-00-00-20-04", "protocol": "secure", "password": "secret", "ip": "10.77.0.23",
   "faults": {"delay_ms": 150, "ignore": ["authentication"]}},
  {"mac": "02-00-00-00-10-01", "protocol": "text", "ip": "10.77.0.10", "faults": {"delay_ms": 150}},
  {"mac": "02-00-00-00-20-05", "protocol": "secure", "password": "secret", "ip": "10.77.0.24",
   "faults": {"delay_ms": 150, "ignore_fields": ["ip"]}}
]})";
constexpr int kRows = 6;

class WindowActionsNet : public WindowOnTheWire {
 protected:
  void SetUp() override {
    WindowOnTheWire::SetUp();
    if (ready_) log_ = net_.StartSimulator(MDSP_SIM_PATH, kModules);
    ready_ = ready_ && !log_.empty();
  }

  void Open(CMainDlg& w) {
    ASSERT_TRUE(w.Initialise());
    ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == kRows; })) << Log();
  }
  int RowOf(CMainDlg& w, const char* mac) {
    for (int r = 0; r < w.moduleList()->rowCount(); ++r)
      if (w.moduleList()->CellText(r, pelmar::kColumnMac) == mac) return r;
    return -1;
  }
  std::string Log() { return net_test::ReadFile(log_); }
  int Received() { return WindowOnTheWire::Received(log_); }
  bool Logged(const std::string& text) {
    return Until([&] { return Log().find(text) != std::string::npos; });
  }
  bool Said(const char* text) {
    return Until([&] {
      for (const auto& m : messages)
        if (m.text == text) return true;
      return false;
    });
  }

  std::string log_;
};

// Fills the configuration dialog the next step opens and presses Set.
void AnswerConfiguration(const char* password, const char* newIp = nullptr,
                         QString* caption = nullptr) {
  auto fill = [=](CConfigurationDlg& dialog) {
    CConfigurationDlg* d = &dialog;
    if (caption) *caption = d->windowTitle();
    d->findChild<QLineEdit*>(QString::number(CConfigurationDlg::kIdPassword))->setText(password);
    if (newIp) {
      auto* field =
          d->findChild<pelmar::IpAddressEdit*>(QString::number(CConfigurationDlg::kIdIpAddress));
      std::istringstream in(newIp);
      int i = 0;
      for (std::string part; std::getline(in, part, '.');)
        field->octetBox(i++)->setText(QString::fromStdString(part));
    }
    d->findChild<QAbstractButton*>(QString::number(CConfigurationDlg::kIdSet))->click();
  };
  test_support::AnswerModal<CConfigurationDlg>("the configuration dialog", fill);
}

void AnswerPrompt(const char* password) {
  test_support::AnswerModal<QWidget>("the password prompt", [=](QWidget& prompt) {
    QWidget* modal = &prompt;
    if (password) {
      modal->findChild<QLineEdit*>("password")->setText(password);
      modal->findChild<QPushButton*>("ok")->click();
    } else {
      modal->findChild<QPushButton*>("cancel")->click();
    }
  });
}

TEST_F(WindowActionsNet, RefusalOfAModuleThatIsNotEntryZeroReachesTheUser) {
  REQUIRE_LAB();
  CMainDlg w("10.77.0.1", options);
  Open(w);
  AnswerConfiguration("secret");
  w.ConfigureModule(MacOf("02-00-00-00-20-02"));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_TRUE(Said("Invalid Configuration")) << Log();
  EXPECT_EQ(messages.back().caption, "Warning");
  EXPECT_EQ(messages.back().icon, pelmar::MessageIcon::Warning);
  EXPECT_FALSE(w.HasConfigurationTarget());
}

TEST_F(WindowActionsNet, WrongPasswordOfASecureModuleIsReported) {
  REQUIRE_LAB();
  CMainDlg w("10.77.0.1", options);
  Open(w);
  AnswerConfiguration("wrong");
  w.ConfigureModule(MacOf("02-00-00-00-20-03"));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_TRUE(Said("Invalid Password")) << Log();
}

TEST_F(WindowActionsNet, DoubleClickConfiguresThatRowAndTheRescanShowsTheNewAddress) {
  REQUIRE_LAB();
  CMainDlg w("10.77.0.1", options);
  Open(w);
  w.show();
  const int row = RowOf(w, "02-00-00-00-20-03");
  ASSERT_GE(row, 0);
  const QRect cell = w.moduleList()->visualRect(w.moduleList()->model()->index(row, 0));
  QString caption;
  AnswerConfiguration("secret", "10.77.0.99", &caption);
  QWidget* viewport = w.moduleList()->viewport();
  QTest::mouseClick(viewport, Qt::LeftButton, {}, cell.center());
  QMouseEvent press(QEvent::MouseButtonPress, cell.center(), viewport->mapToGlobal(cell.center()),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &press);
  QMouseEvent twice(QEvent::MouseButtonDblClick, cell.center(),
                    viewport->mapToGlobal(cell.center()), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(viewport, &twice);
  EXPECT_EQ(caption, "Configure: 02-00-00-00-20-03");
  ASSERT_TRUE(Logged("event 02-00-00-00-20-03 configure applied")) << Log();
  ASSERT_TRUE(Until([&] {
    const int r = RowOf(w, "02-00-00-00-20-03");
    return r >= 0 && w.moduleList()->CellText(r, pelmar::kColumnIp) == "10.77.0.99";
  })) << Log();
  // The module's new answer is what it was sent: its row says so.
  ASSERT_TRUE(Until([&] { return w.lastReadBack() == "confirmed"; })) << Log();
  const int r = RowOf(w, "02-00-00-00-20-03");
  EXPECT_EQ(w.moduleList()->model()->index(r, 3).data(Qt::ToolTipRole).toString(), "confirmed");
  EXPECT_TRUE(messages.empty());
  // Until the next scan.
  w.StartScan();
  ASSERT_TRUE(Until([&] { return RowOf(w, "02-00-00-00-20-03") >= 0; })) << Log();
  EXPECT_TRUE(w.moduleList()->listModel()->RowNote(RowOf(w, "02-00-00-00-20-03")).isEmpty());
}

TEST_F(WindowActionsNet, AModuleThatAcceptsButKeepsAFieldIsReported) {
  REQUIRE_LAB();
  CMainDlg w("10.77.0.1", options);
  Open(w);
  AnswerConfiguration("secret", "10.77.0.98");
  w.ConfigureModule(MacOf("02-00-00-00-20-05"));
  ASSERT_TRUE(Logged("event 02-00-00-00-20-05 configure applied")) << Log();
  ASSERT_TRUE(Said("02-00-00-00-20-05 accepted the configuration, but the read-back differs: ip "
                   "reads 10.77.0.24"))
      << Log();
  EXPECT_EQ(messages.back().caption, "Warning");
  const int r = RowOf(w, "02-00-00-00-20-05");
  ASSERT_GE(r, 0);
  EXPECT_EQ(w.moduleList()->listModel()->RowNote(r), "differs: ip reads 10.77.0.24");
}

TEST_F(WindowActionsNet, AModuleThatDoesNotAnswerTheScanAfterItsConfigurationIsReported) {
  REQUIRE_LAB();
  options.quietScanMs = -1;
  CMainDlg w("10.77.0.1", options);
  w.SetReadBackWaitMs(300);
  Open(w);
  AnswerConfiguration("secret", "10.77.0.97");
  w.ConfigureModule(MacOf("02-00-00-00-20-03"));
  ASSERT_TRUE(Logged("event 02-00-00-00-20-03 configure applied")) << Log();
  ASSERT_TRUE(Until([&] { return !w.lastReadBack().isEmpty(); })) << Log();
  // It answers 150 ms late, well inside the wait: confirmed. Then a wait
  // shorter than its delay makes it "no answer".
  EXPECT_EQ(w.lastReadBack(), "confirmed");
  w.SetReadBackWaitMs(20);
  AnswerConfiguration("secret", "10.77.0.96");
  ASSERT_TRUE(Until([&] { return RowOf(w, "02-00-00-00-20-03") >= 0 && !w.sending(); }));
  w.ConfigureModule(MacOf("02-00-00-00-20-03"));
  ASSERT_TRUE(Said("02-00-00-00-20-03 accepted the configuration, but the read-back differs: "
                   "no answer to the scan"))
      << Log();
}

TEST_F(WindowActionsNet, WinkAsItGoesOnTheWire) {
  REQUIRE_LAB();
  CMainDlg w("10.77.0.1", options);
  Open(w);
  // Text module without a password: no prompt (a modal here would be answered
  // by nobody and fail the check below).
  bool prompted = false;
  QTimer::singleShot(0, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      prompted = true;
      modal->close();
    }
  });
  w.WinkModule(MacOf("02-00-00-00-10-01"));
  ASSERT_TRUE(SendingEnds(w));
  QApplication::processEvents();  // the check runs here when nothing was modal
  EXPECT_FALSE(prompted);
  ASSERT_TRUE(Logged("event 02-00-00-00-10-01 wink")) << Log();

  AnswerPrompt("secret");
  w.WinkModule(MacOf("02-00-00-00-20-03"));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_TRUE(Logged("event 02-00-00-00-20-03 wink")) << Log();

  AnswerPrompt("wrong");
  w.WinkModule(MacOf("02-00-00-00-20-01"));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_TRUE(Logged("event 02-00-00-00-20-01 bad-digest wink")) << Log();
  ASSERT_TRUE(Said("Invalid Password")) << Log();

  // Cancel sends nothing: the next datagram to arrive is the text wink.
  const int before = Received();
  const size_t winks = [&] {
    size_t n = 0, at = 0;
    const std::string log = Log();
    while ((at = log.find("event 02-00-00-00-10-01 wink", at)) != std::string::npos) ++n, ++at;
    return n;
  }();
  AnswerPrompt(nullptr);
  w.WinkModule(MacOf("02-00-00-00-20-02"));
  ASSERT_TRUE(SendingEnds(w));
  w.WinkModule(MacOf("02-00-00-00-10-01"));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_TRUE(Until([&] {
    size_t n = 0, at = 0;
    const std::string log = Log();
    while ((at = log.find("event 02-00-00-00-10-01 wink", at)) != std::string::npos) ++n, ++at;
    return n == winks + 1;
  })) << Log();
  EXPECT_EQ(Received(), before + 1) << Log();
  EXPECT_EQ(Log().find("event 02-00-00-00-20-02"), std::string::npos) << Log();

  // A module that never hands out a seed cannot be winked.
  AnswerPrompt("secret");
  messages.clear();
  w.WinkModule(MacOf("02-00-00-00-20-04"));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_EQ(messages.size(), 1u) << (messages.empty() ? "" : messages.back().text.toStdString());
  EXPECT_EQ(messages[0].text, "Failed to wink.");
}

TEST_F(WindowActionsNet, ClosingWithTheDhcpServerOnEndsCleanly) {
  REQUIRE_LAB();
  {
    CMainDlg w("10.77.0.1", options);
    Open(w);
    TickDhcpServerInSettings();
    w.OnSettings();
    ASSERT_TRUE(w.dhcp().IsOn()) << (messages.empty() ? "" : messages[0].text.toStdString());
    QApplication::processEvents();
  }
  // Port 67 is free again: the server's socket was closed after its thread ended.
  pelmar::DhcpSwitch again;
  std::string failure;
  EXPECT_TRUE(again.SwitchOn(&failure)) << failure;
}

// Pictures of the window with its row menu, the Settings dialog, the About
// box and the window menu, for looking at after a run: in screenshots/ of
// the build folder, or in the folder PELMAR_SCREENSHOT_DIR names.
TEST_F(WindowActionsNet, Screenshots) {
  REQUIRE_LAB();
  QString folder = qEnvironmentVariable("PELMAR_SCREENSHOT_DIR");
  if (folder.isEmpty()) folder = QDir::cleanPath(QStringLiteral(PELMAR_DIR "/../screenshots"));
  ASSERT_TRUE(QDir().mkpath(folder)) << folder.toStdString();
  options.aboutProgramFile = std::string(PELMAR_DIR) + "/pelmar";
  CMainDlg w("10.77.0.1", options);
  Open(w);
  w.move(20, 20);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  auto shoot = [&](const char* name) {
    QTest::qWait(300);
    EXPECT_TRUE(w.screen()->grabWindow(0).save(folder + "/" + name));
  };
  const int row = RowOf(w, "02-00-00-00-20-03");
  const QRect cell = w.moduleList()->visualRect(w.moduleList()->model()->index(row, 0));
  QTimer::singleShot(0, [&] {
    shoot("main-window-row-menu.png");
    if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
  });
  w.RunRowMenu(row, w.moduleList()->viewport()->mapToGlobal(cell.center()));
  QTimer::singleShot(0, [&] {
    shoot("settings-dialog.png");
    QApplication::activeModalWidget()->findChild<QPushButton*>("cancel")->click();
  });
  w.OnSettings();
  QTimer::singleShot(0, [&] {
    shoot("about-box.png");
    QApplication::activeModalWidget()->findChild<QPushButton*>("ok")->click();
  });
  w.ShowAbout();
  QTimer::singleShot(0, [&] {
    shoot("window-menu.png");
    if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
  });
  w.RunWindowMenu(w.mapToGlobal(QPoint(w.width() - 300, w.height() - 15)));
}

}  // namespace
}  // namespace pelmar_test
