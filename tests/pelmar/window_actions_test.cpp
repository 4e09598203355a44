// The main window's reactions offscreen with the stand-in library: the event
// table through the real callback, the row menu and its actions, wink with
// its prompt, the window menu and About, Settings, start and scan failures,
// the layout at small sizes and the stop order with the DHCP switch.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "event_relay.h"
#include "window_fixture.h"

namespace pelmar_test {
namespace {

using pelmar::CMainDlg;
using pelmar::MessageIcon;

class WindowActions : public pelmar_test::WindowTest {
 protected:
  // Two modules: A answers first (table entry 0), B second.
  void StartWithTwo(CMainDlg& w, fake::Module a, fake::Module b) {
    moduleA = a;
    moduleB = b;
    SetAnswers({a, b});
    ASSERT_TRUE(w.Initialise());
    ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 2; }));
  }
  // Raises one event on the library's worker and waits until the window had it.
  void Raise(int32_t event, const fake::Module& about, void* context = nullptr,
             bool withoutMac = false) {
    const uint64_t before = pelmar::ModuleEventRelay::Instance().delivered();
    fake::Pending p;
    p.withoutMac = withoutMac;
    p.event = event;
    p.index = 0;  // what the library gives with every event but 1
    p.module = about;
    p.useDiscoverContext = context == nullptr;
    p.context = context;
    lib->Inject(p);
    ASSERT_TRUE(Until([&] { return pelmar::ModuleEventRelay::Instance().delivered() > before; }));
  }
  int RowOf(CMainDlg& w, const QString& ip) {
    for (int r = 0; r < w.moduleList()->rowCount(); ++r)
      if (w.moduleList()->CellText(r, pelmar::kColumnIp) == ip) return r;
    return -1;
  }
  std::vector<std::pair<uint32_t, std::string>> Winks() {
    std::lock_guard<std::mutex> lock(lib->mutex);
    return lib->winks;
  }

  fake::Module moduleA, moduleB;
};

// Picks the entry with this text in the popup menu open at the time.
void ChooseInMenu(const QString& text, std::vector<QString>* seen = nullptr,
                  QString* defaultText = nullptr) {
  test_support::AnswerPopup<QMenu>("the menu", [=](QMenu& shown) {
    QMenu* menu = &shown;
    if (defaultText && menu->defaultAction()) *defaultText = menu->defaultAction()->text();
    QAction* pick = nullptr;
    for (QAction* a : menu->actions()) {
      if (seen) seen->push_back(a->text());
      if (a->text() == text) pick = a;
    }
    if (!pick) {
      menu->close();
      return;
    }
    menu->setActiveAction(pick);
    QTest::keyClick(menu, Qt::Key_Return);
  });
}

// Answers the modal dialog open at the time: types the password and presses
// OK, or presses Cancel when password is null. Optionally runs `meanwhile`
// first, while the dialog is still open.
void AnswerPrompt(const char* password, QString* caption = nullptr,
                  std::function<void()> meanwhile = nullptr) {
  test_support::AnswerModal<QWidget>("the password prompt", [=](QWidget& prompt) {
    QWidget* modal = &prompt;
    if (caption) *caption = modal->windowTitle();
    if (meanwhile) meanwhile();
    if (password) {
      modal->findChild<QLineEdit*>("password")->setText(password);
      modal->findChild<QPushButton*>("ok")->click();
    } else {
      modal->findChild<QPushButton*>("cancel")->click();
    }
  });
}

struct EventCase {
  const char* name;
  int32_t event;
  bool fromTarget;  // raised with the target's MAC (module B, not entry 0)
  const char* message;  // "" = none
  bool rescan;
  bool targetReset;
};

TEST_F(WindowActions, EveryEventRowByTheModuleTheEventNames) {
  const EventCase cases[] = {
      {"configured, target", SMDSP_EVENT_CONFIGURED, true, "", true, true},
      {"configured, other", SMDSP_EVENT_CONFIGURED, false, "", false, false},
      {"unable, target", SMDSP_EVENT_UNABLE, true, "Unable to fulfill the request", false, true},
      {"unable, other", SMDSP_EVENT_UNABLE, false, "", false, false},
      {"password 4, other", SMDSP_EVENT_INVALID_PASSWORD, false, "Invalid Password", false, false},
      {"password 5, other", SMDSP_EVENT_INVALID_PASSWORD_2, false, "Invalid Password", false,
       false},
      {"password 4, target", SMDSP_EVENT_INVALID_PASSWORD, true, "Invalid Password", false, true},
      {"hostname, other", SMDSP_EVENT_HOSTNAME_TOO_LONG, false, "Hostname too long", false, false},
      {"password long, other", SMDSP_EVENT_PASSWORD_TOO_LONG, false, "Password too long", false,
       false},
      {"invalid configuration, target", SMDSP_EVENT_INVALID_CONFIGURATION, true,
       "Invalid Configuration", false, true},
      {"invalid configuration, other", SMDSP_EVENT_INVALID_CONFIGURATION, false, "", false, false},
      {"high bits ignored", 0x7A0000 | SMDSP_EVENT_INVALID_CONFIGURATION, true,
       "Invalid Configuration", false, true},
      {"winked, target", SMDSP_EVENT_WINKED, true, "", false, true},
      {"status 3, target", SMDSP_EVENT_STATUS_3, true, "", false, true},
      {"restarted, other", SMDSP_EVENT_RESTARTED, false, "", false, false},
      {"unknown, target", 77, true, "", false, true},
  };
  CMainDlg w("", options);
  StartWithTwo(w, MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B"));
  for (const EventCase& c : cases) {
    SCOPED_TRACE(c.name);
    w.SetConfigurationTarget(moduleB.mac);
    messages.clear();
    const size_t discovers = Discovers();
    Raise(c.event, c.fromTarget ? moduleB : moduleA);
    if (*c.message) {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].caption, "Warning");
      EXPECT_EQ(messages[0].text, c.message);
      EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    } else {
      EXPECT_TRUE(messages.empty());
    }
    EXPECT_EQ(Discovers(), discovers + (c.rescan ? 1 : 0));
    EXPECT_EQ(w.HasConfigurationTarget(), !c.targetReset);
    // The re-scan fills the list again.
    ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 2; }));
  }
}

// Without a MAC, an answer names no module: index 0 is whichever module
// answered first, here the target, and must not be taken for it.
TEST_F(WindowActions, AnswerWithoutMacConcernsNoTarget) {
  CMainDlg w("", options);
  StartWithTwo(w, MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B"));
  w.SetConfigurationTarget(moduleA.mac);
  messages.clear();
  Raise(SMDSP_EVENT_INVALID_CONFIGURATION, moduleA, nullptr, true);
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(w.HasConfigurationTarget());
}

TEST_F(WindowActions, RestartReportIsReleasedAndCausesNothing) {
  CMainDlg w("", options);
  StartWithTwo(w, MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B"));
  // The leak checker of the sanitizer builds fails the run if it is kept.
  void* report = std::malloc(sizeof(SmdspRestartReport) * 3);
  Raise(SMDSP_EVENT_RESTART_REPORT, moduleA, report);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(w.moduleList()->rowCount(), 2);
}

// Only a module of the family that asks for an address (DHCP on, 0.0.0.0)
// is offered a recovery; the Settings switch is not touched by the offer.
TEST_F(WindowActions, RowMenuOffersDhcpRecoveryOnlyToAModuleAskingForAnAddress) {
  CMainDlg w("", options);
  fake::Module asking = MakeModule(1, "0.0.0.0", "A");
  const uint8_t family[6] = {0x02, 0xA7, 0x5E, 0x00, 0x00, 0x05};
  std::memcpy(asking.mac, family, 6);
  asking.tags[SMDSP_TAG_DHCP] = fake::U8(1);
  fake::Module addressed = MakeModule(2, "10.0.0.2", "B");
  std::memcpy(addressed.mac, family, 5);
  addressed.tags[SMDSP_TAG_DHCP] = fake::U8(1);
  StartWithTwo(w, asking, addressed);

  std::vector<QString> seen;
  ChooseInMenu("", &seen);
  w.RunRowMenu(RowOf(w, "0.0.0.0"), QPoint(10, 10));
  EXPECT_EQ(seen, (std::vector<QString>{"Configuration", "Open Web-Interface", "Wink",
                                        "Recover by &DHCP..."}));
  seen.clear();
  ChooseInMenu("", &seen);
  w.RunRowMenu(RowOf(w, "10.0.0.2"), QPoint(10, 10));
  EXPECT_EQ(seen, (std::vector<QString>{"Configuration", "Open Web-Interface", "Wink"}));
  EXPECT_FALSE(w.dhcp().IsOn());
}

TEST_F(WindowActions, RowMenuOffersThreeCommandsAndNoneOffARow) {
  std::vector<std::string> urls;
  options.urlOpener = [&](const std::string& url) { urls.push_back(url); };
  CMainDlg w("", options);
  StartWithTwo(w, MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "", "B"));
  EXPECT_EQ(w.RunRowMenu(-1, QPoint(10, 10)), 0);  // no menu: nothing to answer

  std::vector<QString> seen;
  QString defaultText;
  ChooseInMenu("Open Web-Interface", &seen, &defaultText);
  EXPECT_EQ(w.RunRowMenu(RowOf(w, "10.0.0.1"), QPoint(10, 10)), CMainDlg::kCommandWebInterface);
  EXPECT_EQ(seen, (std::vector<QString>{"Configuration", "Open Web-Interface", "Wink"}));
  EXPECT_EQ(defaultText, "Configuration");
  EXPECT_EQ(urls, (std::vector<std::string>{"http://10.0.0.1"}));

  // A row without an address opens nothing.
  ChooseInMenu("Open Web-Interface");
  w.RunRowMenu(RowOf(w, "N/A"), QPoint(10, 10));
  EXPECT_EQ(urls.size(), 1u);

  // Dismissed: nothing.
  ChooseInMenu("");
  EXPECT_EQ(w.RunRowMenu(0, QPoint(10, 10)), 0);
}

TEST_F(WindowActions, RowMenuActsOnTheRowClickedEvenWhenTheListChangesMeanwhile) {
  std::vector<std::string> urls;
  options.urlOpener = [&](const std::string& url) { urls.push_back(url); };
  CMainDlg w("", options);
  StartWithTwo(w, MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B"));
  const int row = RowOf(w, "10.0.0.2");
  SetAnswers({MakeModule(3, "10.0.0.3", "C")});
  QTimer::singleShot(0, [&] { w.StartScan(); });  // the list empties while the menu is open
  ChooseInMenu("Open Web-Interface");
  w.RunRowMenu(row, QPoint(10, 10));
  EXPECT_EQ(urls, (std::vector<std::string>{"http://10.0.0.2"}));
}

TEST_F(WindowActions, WinkPromptsOnlyWhenTheModuleAsksForAPassword) {
  fake::Module open = MakeModule(1, "10.0.0.1", "A");
  fake::Module locked = MakeModule(2, "10.0.0.2", "B", true);
  locked.tags[0] = fake::U8(1);  // authRequired
  CMainDlg w("", options);
  StartWithTwo(w, open, locked);
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->winkResult = MDSP_RESULT_OK;
  }
  const QString macLocked = w.moduleList()->CellText(RowOf(w, "10.0.0.2"), pelmar::kColumnMac);

  EXPECT_TRUE(w.WinkModule(MacOf(open)));  // no prompt: a modal dialog here would block the test
  ASSERT_TRUE(SendingEnds(w));
  QString caption;
  AnswerPrompt("s3cret", &caption);
  EXPECT_TRUE(w.WinkModule(MacOf(locked)));
  ASSERT_TRUE(SendingEnds(w));
  EXPECT_EQ(caption, "Wink: " + macLocked);
  AnswerPrompt(nullptr);  // Cancel sends nothing
  EXPECT_FALSE(w.WinkModule(MacOf(locked)));
  EXPECT_EQ(Winks(), (std::vector<std::pair<uint32_t, std::string>>{{0, ""}, {1, "s3cret"}}));
  EXPECT_TRUE(messages.empty());

  // A refused wink is reported.
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->winkResult = MDSP_RESULT_SOCKET;
  }
  w.WinkModule(MacOf(open));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Warning");
  EXPECT_EQ(messages[0].text, "Failed to wink.");
  EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
}

TEST_F(WindowActions, WinkAfterARescanDuringThePromptReachesNoOtherModule) {
  fake::Module open = MakeModule(1, "10.0.0.1", "A");
  fake::Module locked = MakeModule(2, "10.0.0.2", "B", true);
  locked.tags[0] = fake::U8(1);
  CMainDlg w("", options);
  StartWithTwo(w, open, locked);
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->winkResult = MDSP_RESULT_OK;
  }
  // While the prompt is open the list is scanned again and C takes index 1.
  AnswerPrompt("s3cret", nullptr, [&] {
    SetAnswers({open, MakeModule(3, "10.0.0.3", "C", true)});
    w.StartScan();
    EXPECT_TRUE(Until([&] { return w.moduleList()->rowCount() == 2 && RowOf(w, "10.0.0.3") >= 0; }));
  });
  w.WinkModule(MacOf(locked));
  ASSERT_TRUE(SendingEnds(w));
  EXPECT_TRUE(Winks().empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Failed to wink.");
}

TEST_F(WindowActions, WindowMenuAndF1OpenTheAboutBox) {
  CMainDlg w("", options);
  StartWithTwo(w, MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B"));
  w.show();
  std::vector<QString> titles;
  auto closeAbout = [&] {
    test_support::AnswerModal<QWidget>("the About box", [&](QWidget& modal) {
      titles.push_back(modal.windowTitle());
      modal.findChild<QPushButton*>("ok")->click();
    });
  };
  std::vector<QString> seen;
  ChooseInMenu("&About Pelmar...", &seen);
  closeAbout();
  w.RunWindowMenu(QPoint(5, 5));
  EXPECT_EQ(seen, (std::vector<QString>{"&About Pelmar...", "&Check this computer...",
                                          "Scan &rounds...", "Address &several modules..."}));

  QApplication::setActiveWindow(&w);  // shortcuts need the active window
  ASSERT_TRUE(Until([&] { return w.isActiveWindow(); }));
  closeAbout();
  QTest::keyClick(w.moduleList(), Qt::Key_F1);
  EXPECT_EQ(titles, (std::vector<QString>{"About Pelmar", "About Pelmar"}));
}

TEST_F(WindowActions, ScanRoundsFromTheWindowMenuAndCtrlR) {
  CMainDlg w("", options);
  StartWithTwo(w, MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B"));
  w.show();
  std::vector<QString> titles;
  auto setRounds = [&](int rounds) {
    test_support::AnswerModal<QWidget>("the Scan rounds dialog", [&, rounds](QWidget& modal) {
      titles.push_back(modal.windowTitle());
      modal.findChild<QSpinBox*>("rounds")->setValue(rounds);
      modal.findChild<QPushButton*>("ok")->click();
    });
  };
  ChooseInMenu("Scan &rounds...");
  setRounds(2);
  w.RunWindowMenu(QPoint(5, 5));
  EXPECT_EQ(w.scanRounds().rounds, 2u);

  QApplication::setActiveWindow(&w);
  ASSERT_TRUE(Until([&] { return w.isActiveWindow(); }));
  setRounds(5);
  QTest::keyClick(w.moduleList(), Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(w.scanRounds().rounds, 5u);
  EXPECT_EQ(titles, (std::vector<QString>{"Scan rounds", "Scan rounds"}));
  EXPECT_EQ(pelmar::LoadScanRounds(pelmar::ScanRoundsPath(w.settingsPath())).rounds, 5u);
}

TEST_F(WindowActions, AboutBoxReadsTheVersionOfThePelmarProgram) {
  options.aboutProgramFile = std::string(PELMAR_DIR) + "/pelmar";
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  QString version, notice;
  test_support::AnswerModal<QWidget>("the About box", [&](QWidget& modal) {
    version = modal.findChild<QLabel*>("version")->text();
    notice = modal.findChild<QLabel*>("notice")->text();
    modal.findChild<QPushButton*>("ok")->click();
  });
  w.ShowAbout();
  EXPECT_TRUE(version.startsWith("Version: ")) << version.toStdString();
  EXPECT_GT(version.size(), 9) << "the built program carries no version block";
  EXPECT_FALSE(version.mid(9).contains(' ') || version.contains(',')) << version.toStdString();
  EXPECT_FALSE(notice.isEmpty());
}

TEST_F(WindowActions, SettingsOkWritesTheChoiceAndRescansCancelChangesNothing) {
  CMainDlg w("", options);
  StartWithTwo(w, MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B"));
  const size_t discovers = Discovers();

  test_support::AnswerModal<QWidget>("the Settings dialog", [](QWidget& modal) {
    modal.findChild<QCheckBox*>("specificInterface")->click();
    modal.findChild<QComboBox*>("interfaces")->setCurrentIndex(1);
    modal.findChild<QPushButton*>("cancel")->click();
  });
  w.OnSettings();
  EXPECT_FALSE(std::ifstream(options.settingsPath).good());
  EXPECT_EQ(Discovers(), discovers);

  QStringList descriptions;
  test_support::AnswerModal<QWidget>("the Settings dialog", [&](QWidget& modal) {
    auto* box = modal.findChild<QComboBox*>("interfaces");
    for (int i = 0; i < box->count(); ++i) descriptions << box->itemText(i);
    modal.findChild<QCheckBox*>("specificInterface")->click();
    box->setCurrentIndex(1);
    modal.findChild<QPushButton*>("ok")->click();
  });
  w.OnSettings();
  EXPECT_EQ(descriptions, (QStringList{"veth-a", "veth-b"}));
  std::ifstream file(options.settingsPath, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(bytes, std::string("CVP\0", 4) + "10.78.0.1");
  EXPECT_EQ(Discovers(), discovers + 1);  // the list is scanned again
  std::lock_guard<std::mutex> lock(lib->mutex);
  EXPECT_EQ(lib->devices.back(), (std::pair<uint32_t, std::string>{0, "10.78.0.1"}));
}

TEST_F(WindowActions, FailedStartAndFailedScanAreShown) {
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->startFails = true;
  }
  {
    CMainDlg w("", options);
    ASSERT_TRUE(w.Initialise());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Error");
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);
  }
  messages.clear();
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->startFails = false;
    lib->discoverFails = true;
  }
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_EQ(messages.size(), 1u);  // the first scan
  EXPECT_EQ(messages[0].caption, "Warning");
  EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
  w.scanButton()->click();
  EXPECT_EQ(messages.size(), 2u);
}

TEST_F(WindowActions, LayoutKeepsButtonsAnchoredAndNeverGivesTheListANegativeSize) {
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  w.show();
  const QSize start = w.size();
  const int gapRight = start.width() - w.scanButton()->geometry().right();
  const int gapBottom = start.height() - w.scanButton()->geometry().bottom();
  EXPECT_EQ(w.minimumSize(), QSize(194, 130));
  for (QSize size : {QSize(800, 600), QSize(400, 300), QSize(194, 130), QSize(1200, 200)}) {
    SCOPED_TRACE(size.width());
    w.resize(size);
    QApplication::processEvents();
    ASSERT_EQ(w.size(), size);
    EXPECT_EQ(w.width() - w.scanButton()->geometry().right(), gapRight);
    EXPECT_EQ(w.height() - w.scanButton()->geometry().bottom(), gapBottom);
    EXPECT_GE(w.moduleList()->width(), 0);
    EXPECT_GE(w.moduleList()->height(), 0);
    EXPECT_LT(w.moduleList()->geometry().bottom(), w.scanButton()->geometry().top());
  }
}

// A switch that records its use, standing in for port 67, and how many times
// the library had been stopped when it was switched off.
class RecordingDhcp : public pelmar::DhcpControl {
 public:
  explicit RecordingDhcp(StandInLibrary& lib) : lib_(lib) {}
  bool IsOn() const override { return on; }
  bool SwitchOn(std::string*) override { return on = true; }
  void SwitchOff() override {
    std::lock_guard<std::mutex> lock(lib_->mutex);
    if (on) stopsWhenSwitchedOff.push_back(lib_->stops);
    on = false;
  }
  bool on = false;
  std::vector<int> stopsWhenSwitchedOff;

 private:
  StandInLibrary& lib_;
};

TEST_F(WindowActions, ClosingSwitchesTheDhcpServerOffBeforeTheLibraryStops) {
  RecordingDhcp dhcp(lib);
  {
    CMainDlg w("", options);
    w.SetDhcpControl(&dhcp);
    StartWithTwo(w, MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B"));
    TickDhcpServerInSettings();
    w.OnSettings();
    EXPECT_TRUE(dhcp.on);
  }
  EXPECT_FALSE(dhcp.on);
  // Switched off once, while the library still ran; it stopped after that.
  EXPECT_EQ(dhcp.stopsWhenSwitchedOff, std::vector<int>{0});
  std::lock_guard<std::mutex> lock(lib->mutex);
  EXPECT_EQ(lib->stops, 1);
}

}  // namespace
}  // namespace pelmar_test
