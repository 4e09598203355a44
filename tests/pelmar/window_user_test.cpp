// What a user of the main window meets, offscreen with the stand-in library:
// the row menu from the keyboard, Enter on a focused button, the tool's icon
// on every window, the empty list's text, a secure module's seed wait that
// must not freeze the window, and message boxes that must not stop the list.
#include <QAction>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "about_dlg.h"
#include "configuration_dialog.h"
#include "dialog_units.h"
#include "event_relay.h"
#include "password_dlg.h"
#include "settings_dlg.h"
#include "tool_icon.h"
#include "window_fixture.h"

namespace pelmar_test {
namespace {

using pelmar::CMainDlg;

class WindowUser : public pelmar_test::WindowTest {
 protected:
  void Start(CMainDlg& w, const std::vector<fake::Module>& modules) {
    SetAnswers(modules);
    ASSERT_TRUE(w.Initialise());
    ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == int(modules.size()); }));
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
  void AddModule(const fake::Module& m) {
    fake::Pending p;
    p.addModule = true;
    p.module = m;
    lib->Inject(p);
  }
  void Raise(int32_t event, const fake::Module& about) {
    fake::Pending p;
    p.event = event;
    p.module = about;
    lib->Inject(p);
  }
};

// Four modules sorted by IP: .9, .10, .12, .40; the first by arrival is .10.
std::vector<fake::Module> FourModules() {
  return {MakeModule(10, "10.0.0.10", "A"), MakeModule(9, "10.0.0.9", "B"),
          MakeModule(12, "10.0.0.12", "C"), MakeModule(40, "10.0.0.40", "D")};
}

// Picks `text` in the popup menu open at the time; reports where it opened.
void ChooseInMenu(const QString& text, QPoint* openedAt = nullptr) {
  QTimer::singleShot(0, [=] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr) << "no menu open";
    if (openedAt) *openedAt = menu->pos();
    for (QAction* a : menu->actions()) {
      if (a->text() != text) continue;
      menu->setActiveAction(a);
      QTest::keyClick(menu, Qt::Key_Return);
      return;
    }
    menu->close();
  });
}

struct KeyCase {
  const char* name;
  std::function<void(QWidget*)> press;
};

// The menu a key opens belongs to the current row, wherever it is: never the
// row above it (the header's height) and not only on rows below the first.
TEST_F(WindowUser, MenuKeyAndShiftF10OpenTheCurrentRowsMenu) {
  const KeyCase keys[] = {
      {"Menu key",
       [](QWidget* list) {
         QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                list->mapToGlobal(QPoint(2, 2)));
         QApplication::sendEvent(list, &menu);
       }},
      {"Shift+F10", [](QWidget* list) { QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier); }},
  };
  std::vector<std::string> urls;
  options.urlOpener = [&](const std::string& url) { urls.push_back(url); };
  CMainDlg w("", options);
  Start(w, FourModules());
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->winkResult = MDSP_RESULT_OK;
  }
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  pelmar::ModuleListCtrl* list = w.moduleList();
  for (const KeyCase& key : keys) {
    for (const char* ip : {"10.0.0.9", "10.0.0.10", "10.0.0.40"}) {
      SCOPED_TRACE(std::string(key.name) + " on " + ip);
      urls.clear();
      const int row = RowOf(w, ip);
      list->SelectRow(row);
      list->setFocus();
      QPoint at;
      ChooseInMenu("Open Web-Interface", &at);
      key.press(list);
      EXPECT_EQ(urls, (std::vector<std::string>{std::string("http://") + ip}));
      // Opened on the row itself.
      const QRect cell = list->visualRect(list->model()->index(row, 0));
      const QRect onScreen(list->viewport()->mapToGlobal(cell.topLeft()), cell.size());
      EXPECT_GE(at.y(), onScreen.top());
      EXPECT_LE(at.y(), onScreen.bottom());
    }
    // The wink goes to the current row's module (table index 2 is .12).
    list->SelectRow(RowOf(w, "10.0.0.12"));
    const size_t before = Winks().size();
    ChooseInMenu("Wink");
    key.press(list);
    ASSERT_TRUE(SendingEnds(w));
    ASSERT_EQ(Winks().size(), before + 1);
    EXPECT_EQ(Winks().back().first, 2u);
  }
  // No row: no menu (the menu check would fail on a menu).
  w.StartScan();
  SetAnswers({});
  ASSERT_TRUE(Until([&] { return list->rowCount() == 0; }));
  bool opened = false;
  QTimer::singleShot(0, [&] {
    if (auto* menu = QApplication::activePopupWidget()) {
      opened = true;
      menu->close();
    }
  });
  QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
  QApplication::processEvents();
  EXPECT_FALSE(opened);
}

// A module that speaks both protocols answers twice with one MAC; each row's
// actions reach the entry of its own protocol.
TEST_F(WindowUser, RowActionsReachTheEntryOfTheRowsProtocol) {
  fake::Module text = MakeModule(7, "10.0.0.7", "TEXT-SIDE");
  fake::Module secure = MakeModule(7, "10.0.0.7", "SECURE-SIDE", true);
  CMainDlg w("", options);
  Start(w, {text, secure});
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->winkResult = MDSP_RESULT_OK;
  }
  // Column 5 is Type.
  const std::pair<const char*, uint32_t> cases[] = {{"SECURE-SIDE", 1}, {"TEXT-SIDE", 0}};
  for (const auto& [type, index] : cases) {
    SCOPED_TRACE(type);
    int row = -1;
    for (int r = 0; r < w.moduleList()->rowCount(); ++r)
      if (w.moduleList()->CellText(r, 5) == type) row = r;
    ASSERT_GE(row, 0);
    ChooseInMenu("Wink");
    w.RunRowMenu(row, QPoint(5, 5));
    ASSERT_TRUE(SendingEnds(w));
    ASSERT_FALSE(Winks().empty());
    EXPECT_EQ(Winks().back().first, index);
  }
}

// Enter presses the focused button; in the list it presses Scan.
TEST_F(WindowUser, EnterPressesTheFocusedButton) {
  CMainDlg w("", options);
  Start(w, FourModules());
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QApplication::setActiveWindow(&w);

  size_t before = Discovers();
  QString opened;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr) << "Enter on Settings opened nothing";
    opened = modal->windowTitle();
    modal->findChild<QPushButton*>("cancel")->click();
  });
  w.settingsButton()->setFocus();
  QTest::keyClick(w.settingsButton(), Qt::Key_Return);
  EXPECT_EQ(opened, "Settings");
  EXPECT_EQ(Discovers(), before);

  w.moduleList()->setFocus();
  QTest::keyClick(w.moduleList(), Qt::Key_Return);
  EXPECT_EQ(Discovers(), before + 1);

  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 4; }));
  w.moduleList()->SelectRow(0);
  w.button1()->setFocus();
  QTest::keyClick(w.button1(), Qt::Key_Enter);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_EQ(w.selectedIp(), "10.0.0.9");  // button 1 took the selection
  EXPECT_EQ(Discovers(), before + 1);
}

// Every window wears the tool's icon, the About box shows it.
TEST_F(WindowUser, EveryWindowShowsTheToolsIcon) {
  const QImage tool = pelmar::ToolIcon().pixmap(32, 32).toImage();
  ASSERT_FALSE(tool.isNull()) << "the tool's SVG icon did not load";
  CMainDlg w("", options);
  Start(w, FourModules());
  pelmar::ModuleRecord record;
  std::memcpy(record.mac, FourModules()[0].mac, 6);
  pelmar::CConfigurationDlg configuration(record, "02-00-00-00-00-0A");
  pelmar::CPasswordDlg password;
  pelmar::CSettings settings(QStringList{"eth0"}, {});
  pelmar::CAboutDlg about(nullptr, "");
  const std::pair<const char*, QWidget*> windows[] = {{"main", &w},
                                                      {"configuration", &configuration},
                                                      {"password", &password},
                                                      {"settings", &settings},
                                                      {"about", &about}};
  for (const auto& [name, window] : windows) {
    SCOPED_TRACE(name);
    EXPECT_EQ(window->windowIcon().pixmap(32, 32).toImage(), tool);
  }
  const QPixmap shown = about.findChild<QLabel*>("icon")->pixmap();
  EXPECT_EQ(shown.toImage(), pelmar::ToolIcon().pixmap(shown.size()).toImage());
}

// F1 and the right-click are named where a user looks for help.
TEST_F(WindowUser, TheWindowNamesF1AndTheRightClick) {
  CMainDlg w("", options);
  for (const QString& help : {w.toolTip(), w.whatsThis(), w.moduleList()->whatsThis()}) {
    EXPECT_TRUE(help.contains("F1")) << help.toStdString();
    EXPECT_TRUE(help.contains("Right-click")) << help.toStdString();
  }
}

// After a scan that nobody answered, the list says what to check, until
// the next answer or scan.
TEST_F(WindowUser, QuietScanShowsWhatToCheckInTheList) {
  const QString text = "No module answered. Check the cable and the interface chosen in Settings.";
  options.quietScanMs = 50;
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  pelmar::ModuleListCtrl* list = w.moduleList();
  EXPECT_TRUE(list->emptyText().isEmpty());  // not before the scan had its time
  ASSERT_TRUE(Until([&] { return list->emptyText() == text; }));
  EXPECT_TRUE(messages.empty());  // no box
  // Drawn in the list's area.
  const QImage withText = list->viewport()->grab().toImage();
  list->SetEmptyText({});
  EXPECT_NE(list->viewport()->grab().toImage(), withText);
  list->SetEmptyText(text);

  AddModule(MakeModule(1, "10.0.0.1", "A"));
  ASSERT_TRUE(Until([&] { return list->rowCount() == 1; }));
  EXPECT_TRUE(list->emptyText().isEmpty());

  // A scan with an answer never shows it.
  SetAnswers({MakeModule(2, "10.0.0.2", "B")});
  w.StartScan();
  QTest::qWait(150);
  EXPECT_EQ(list->rowCount(), 1);
  EXPECT_TRUE(list->emptyText().isEmpty());
  EXPECT_EQ(w.geometry().size(), w.size());  // the layout is untouched
}

// A secure module's seed wait runs off the window thread: the window goes on
// listing, nothing can be sent twice meanwhile, a scan waits for the request.
TEST_F(WindowUser, SeedWaitLeavesTheWindowResponsive) {
  fake::Module secure = MakeModule(1, "10.0.0.1", "S", true);
  CMainDlg w("", options);
  Start(w, {secure});
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->secureWaitMs = 600;
    lib->winkResult = MDSP_RESULT_OK;
  }
  QElapsedTimer timer;
  timer.start();
  ASSERT_TRUE(w.WinkModule(MacOf(secure)));
  EXPECT_LT(timer.elapsed(), 300);
  EXPECT_TRUE(w.sending());
  // Nothing else goes out meanwhile: a second wink, a configuration, the
  // menu's entries; a scan is held back.
  EXPECT_FALSE(w.WinkModule(MacOf(secure)));
  EXPECT_FALSE(w.ConfigureModule(MacOf(secure)));
  std::vector<std::pair<QString, bool>> entries;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions()) entries.emplace_back(a->text(), a->isEnabled());
    menu->close();
  });
  w.RunRowMenu(0, QPoint(5, 5));
  EXPECT_EQ(entries, (std::vector<std::pair<QString, bool>>{
                         {"Configuration", false}, {"Open Web-Interface", true}, {"Wink", false},
                         {"", true}, {"Name and note...", true}}));  // names send nothing
  const size_t discovers = Discovers();
  EXPECT_TRUE(w.StartScan());
  EXPECT_EQ(Discovers(), discovers);
  // The list grows while the wink waits.
  AddModule(MakeModule(2, "10.0.0.2", "T", true));
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 2; }, 400));
  EXPECT_TRUE(w.sending());
  ASSERT_TRUE(SendingEnds(w));
  EXPECT_GE(timer.elapsed(), 600);
  EXPECT_EQ(Winks().size(), 1u);
  std::lock_guard<std::mutex> lock(lib->mutex);
  EXPECT_EQ(lib->mostWinksInFlight, 1);
  EXPECT_EQ(lib->discoverContexts.size(), discovers + 1);  // the held scan, once
}

// While a box is open the list keeps growing; a second box waits for the
// first to close; the boxes come in the order of their events.
TEST_F(WindowUser, MessageBoxesQueueWhileTheListGrowsBehindThem) {
  fake::Module a = MakeModule(1, "10.0.0.1", "A");
  CMainDlg w("", options);
  Start(w, {a});
  std::vector<QString> shown;
  int open = 0, mostOpen = 0, rowsInFirstBox = -1;
  pelmar::SetMessageRecorder([&](const pelmar::ShownMessage& m) {
    mostOpen = std::max(mostOpen, ++open);
    shown.push_back(m.text);
    if (shown.size() == 1) {
      // A modal box: the window's events go on in a nested loop.
      Raise(SMDSP_EVENT_HOSTNAME_TOO_LONG, a);
      AddModule(MakeModule(2, "10.0.0.2", "B"));
      AddModule(MakeModule(3, "10.0.0.3", "C"));
      Raise(SMDSP_EVENT_PASSWORD_TOO_LONG, a);
      Until([&] { return w.moduleList()->rowCount() == 3 && lib->Idle(); }, 3000);
      QTest::qWait(50);  // anything still to come would come now
      rowsInFirstBox = w.moduleList()->rowCount();
      EXPECT_EQ(shown.size(), 1u) << "a second box opened over the first";
    }
    --open;
  });
  Raise(SMDSP_EVENT_INVALID_PASSWORD, a);
  ASSERT_TRUE(Until([&] { return shown.size() == 3; }));
  EXPECT_EQ(rowsInFirstBox, 3);
  EXPECT_EQ(mostOpen, 1);
  EXPECT_EQ(shown, (std::vector<QString>{"Invalid Password", "Hostname too long",
                                         "Password too long"}));
}

// Where a group box's frame line shows, in its parent's coordinates: the
// first row drawn at its right edge, beyond any title.
int FrameLine(QGroupBox* box) {
  QImage image(box->size(), QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  box->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
  for (int y = 0; y < image.height(); ++y)
    if (qAlpha(image.pixel(box->width() - 3, y)) != 0) return box->y() + y;
  return box->y();
}

// The configuration dialog's frames stay clear of the fields they hold: the
// template puts their lines above the first row.
TEST(ConfigurationLayout, FramesRunAboveTheirFirstRow) {
  pelmar::ModuleRecord record;
  pelmar::CConfigurationDlg d(record, "02-00-00-00-10-01");
  auto* ethernet = d.findChild<QGroupBox*>("ethernet");
  auto* dhcp = d.findChild<QGroupBox*>("1012");
  ASSERT_NE(ethernet, nullptr);
  ASSERT_NE(dhcp, nullptr);
  const QWidget* ip = d.findChild<QWidget*>("1004");
  const QWidget* on = d.findChild<QWidget*>("1008");
  EXPECT_LT(FrameLine(ethernet), ip->y());
  EXPECT_LT(FrameLine(dhcp), on->y());
  // Still inside the dialog, the title included.
  EXPECT_GE(ethernet->y(), 0);
  EXPECT_GE(dhcp->y(), 0);
}

// Dialog units: edges that meet in a template meet on the screen.
TEST(DialogUnits, NeighboursInATemplateTouch) {
  const pelmar::DialogUnits du(QApplication::font());
  const int cases[][4] = {{0, 0, 50, 14}, {302, 182, 50, 14}, {7, 7, 405, 170}, {71, 15, 100, 15}};
  for (const auto& c : cases) {
    const QRect r = du.rect(c[0], c[1], c[2], c[3]);
    const QRect right = du.rect(c[0] + c[2], c[1], 10, 10);
    const QRect below = du.rect(c[0], c[1] + c[3], 10, 10);
    EXPECT_EQ(r.right() + 1, right.left()) << c[0];
    EXPECT_EQ(r.bottom() + 1, below.top()) << c[1];
    EXPECT_EQ(r.topLeft(), QPoint(du.x(c[0]), du.y(c[1])));
  }
}

}  // namespace
}  // namespace pelmar_test
