// The main window offscreen with the stand-in library: start-up order, the
// first scan, rows in sorted order, stale events, Escape, Enter, close,
// button 1, the start-up messages, and the header's drawing.
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <set>

#include "event_relay.h"
#include "window_fixture.h"

namespace pelmar_test {
namespace {

using pelmar::CMainDlg;
using pelmar::MessageIcon;

class MainWindow : public pelmar_test::WindowTest {};

std::vector<std::string> Column(const CMainDlg& w, int column) {
  std::vector<std::string> out;
  for (int r = 0; r < w.moduleList()->rowCount(); ++r)
    out.push_back(w.moduleList()->CellText(r, column).toStdString());
  return out;
}

TEST_F(MainWindow, StartUpBindsChoosesInterfacesAndScans) {
  SetAnswers({MakeModule(1, "10.0.0.10", "A"), MakeModule(2, "10.0.0.2", "B"),
              MakeModule(3, "", "C")});
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  EXPECT_TRUE(w.libraryBound());
  EXPECT_EQ(w.button1()->text(), "Exit");
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 3; }));
  EXPECT_EQ(Column(w, 0), (std::vector<std::string>{"N/A", "10.0.0.2", "10.0.0.10"}));
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    EXPECT_EQ(lib->starts, 1);
    EXPECT_NE(lib->callback, nullptr);
    ASSERT_EQ(lib->discoverContexts.size(), 1u);
    EXPECT_NE(lib->discoverContexts[0], nullptr);  // the scan's number
    EXPECT_EQ(lib->devices, (std::vector<std::pair<uint32_t, std::string>>{
                                {0, "10.77.0.1"}, {1, "10.78.0.1"}}));
  }
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(w.moduleList()->listHeader()->IsOwnerDrawn(0));
  // The specified seven, then Status.
  EXPECT_EQ(w.moduleList()->listModel()->columnCount(), 8);
  EXPECT_EQ(w.moduleList()->model()->headerData(7, Qt::Horizontal).toString(), "Status");
  // The given widths, widened only where a whole address or MAC would not fit.
  const QFontMetrics metrics(w.moduleList()->font());
  const int specified[7] = {90, 90, 90, 50, 50, 114, 115};
  for (int c = 0; c < 7; ++c) {
    const int width = w.moduleList()->header()->sectionSize(c);
    EXPECT_GE(width, specified[c]) << c;
    if (c >= 3 && c <= 5) {
      EXPECT_EQ(width, specified[c]) << c;
    }
  }
  for (int c = 0; c < 3; ++c)
    EXPECT_GT(w.moduleList()->header()->sectionSize(c),
              metrics.horizontalAdvance(QStringLiteral("255.255.255.255")));
  EXPECT_GT(w.moduleList()->header()->sectionSize(6),
            metrics.horizontalAdvance(QStringLiteral("DD-DD-DD-DD-DD-DD")));
  // Control identifiers as object names, Scan the default button.
  EXPECT_NE(w.findChild<QPushButton*>("1000"), nullptr);
  EXPECT_NE(w.findChild<QWidget*>("1002"), nullptr);
  EXPECT_TRUE(w.scanButton()->isDefault());
}

TEST_F(MainWindow, StopsAndUnbindsWhenDestroyed) {
  {
    CMainDlg w("", options);
    ASSERT_TRUE(w.Initialise());
  }
  std::lock_guard<std::mutex> lock(lib->mutex);
  EXPECT_EQ(lib->stops, 1);
  EXPECT_FALSE(lib->running);
}

TEST_F(MainWindow, TwoQuickScansGiveNoDuplicates) {
  std::vector<fake::Module> answers;
  for (uint32_t i = 1; i <= 20; ++i) answers.push_back(MakeModule(i, "10.0.0." + std::to_string(i), "T"));
  SetAnswers(answers);
  CMainDlg w("", options);
  lib->SetPaused(true);
  ASSERT_TRUE(w.Initialise());
  w.StartScan();  // a second scan before any answer was raised
  lib->SetPaused(false);
  ASSERT_TRUE(Until([&] { return lib->Idle() && w.moduleList()->rowCount() >= 20; }));
  QApplication::sendPostedEvents();  // every callback was made: deliver all it posted
  EXPECT_EQ(w.moduleList()->rowCount(), 20);
}

TEST_F(MainWindow, ScanWhileEventsAreQueuedDropsTheOldOnes) {
  std::vector<fake::Module> answers;
  for (uint32_t i = 1; i <= 20; ++i) answers.push_back(MakeModule(i, "10.0.0." + std::to_string(i), "T"));
  SetAnswers(answers);
  const uint64_t postedBefore = pelmar::ModuleEventRelay::Instance().posted();
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  // Every callback of the first scan has been made, none handled yet.
  ASSERT_TRUE(pelmar_test::PostedReaches(postedBefore + 20));
  EXPECT_EQ(w.moduleList()->rowCount(), 0);
  w.StartScan();
  ASSERT_TRUE(Until([&] { return lib->Idle() && w.moduleList()->rowCount() >= 20; }));
  QApplication::sendPostedEvents();  // every callback was made: deliver all it posted
  EXPECT_EQ(w.moduleList()->rowCount(), 20);
  EXPECT_EQ(w.staleEventsDropped(), 20u);
  std::set<std::string> macs;
  for (const auto& m : Column(w, 6)) macs.insert(m);
  EXPECT_EQ(macs.size(), 20u);
}

TEST_F(MainWindow, EventsAfterTheWindowIsGoneAreDropped) {
  SetAnswers({MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B")});
  auto& relay = pelmar::ModuleEventRelay::Instance();
  uint64_t droppedBefore = relay.dropped();
  const uint64_t postedFirst = relay.posted();
  {
    CMainDlg w("", options);
    ASSERT_TRUE(w.Initialise());
    ASSERT_TRUE(pelmar_test::PostedReaches(postedFirst + 2));
  }  // destroyed with two events posted and not handled
  QApplication::processEvents();
  QApplication::sendPostedEvents();
  EXPECT_EQ(relay.dropped(), droppedBefore + 2);
  // The worker raising events with no window: nothing is posted.
  uint64_t postedBefore = relay.posted();
  lib.control()->running = false;
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->callback = &pelmar::ModuleEventRelay::Callback;
  }
  fake::Pending p;
  p.event = 1;
  lib->Inject(p);
  auto start = reinterpret_cast<int32_t (*)()>(dlsym(RTLD_DEFAULT, "MDSP_Start"));
  (void)start;  // the stand-in is loaded locally: start it through its own handle
  void* handle = dlopen(lib.path().c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr);
  reinterpret_cast<int32_t (*)()>(dlsym(handle, "MDSP_Start"))();
  ASSERT_TRUE(Until([&] { return lib->Idle(); }));
  reinterpret_cast<int32_t (*)()>(dlsym(handle, "MDSP_Stop"))();
  dlclose(handle);
  QApplication::processEvents();
  EXPECT_EQ(relay.posted(), postedBefore);
}

TEST_F(MainWindow, RecordsWithoutMacGetNoRowAndTwoAnswersOfOneMac) {
  fake::Module noMac = MakeModule(9, "10.0.0.9", "X");
  noMac.macReadable = false;
  fake::Module first = MakeModule(1, "10.0.0.1", "first");
  fake::Module again = MakeModule(1, "10.0.0.5", "again");
  SetAnswers({first, noMac, again});
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_TRUE(Until([&] { return lib->Idle() && w.moduleList()->rowCount() == 2; }));
  QApplication::sendPostedEvents();
  EXPECT_EQ(w.moduleList()->rowCount(), 2);
  EXPECT_EQ(Column(w, 6), (std::vector<std::string>{"02-00-00-00-00-01", "02-00-00-00-00-01"}));
  for (int r = 0; r < 2; ++r) {
    const pelmar::ModuleRecord* record = w.moduleList()->FindRecordByMac(r);
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->typeText, "first");
  }
  EXPECT_EQ(w.moduleList()->FindRecordByMac(5), nullptr);
}

TEST_F(MainWindow, SortingByHeaderClicks) {
  fake::Module a = MakeModule(1, "10.0.0.10", "b", true);
  a.tags[1] = fake::Text("1.9.0");
  fake::Module b = MakeModule(2, "10.0.0.2", "a", true);
  b.tags[1] = fake::Text("1.10.0");
  fake::Module c = MakeModule(3, "", "c");
  c.tags.erase(250);  // version N/A
  SetAnswers({a, b, c});
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 3; }));
  auto* list = w.moduleList();
  list->SelectRow(1);  // 10.0.0.2
  list->SortByColumn(0);  // the first click on IP sorts descending
  EXPECT_FALSE(list->listHeader()->ascending());
  EXPECT_EQ(Column(w, 0), (std::vector<std::string>{"10.0.0.10", "10.0.0.2", "N/A"}));
  EXPECT_EQ(list->CellText(list->SelectedRow(), 0), "10.0.0.2");  // the selection follows
  list->SortByColumn(4);
  EXPECT_TRUE(list->listHeader()->ascending());
  EXPECT_EQ(list->listHeader()->sortColumn(), 4);
  EXPECT_EQ(Column(w, 4)[0], "1.10.0");
  EXPECT_EQ(Column(w, 4)[1], "1.9.0");
  EXPECT_TRUE(list->listHeader()->IsOwnerDrawn(0));  // stays owner-drawn
  // A new row goes to its sorted place.
  list->AddModuleRow([] {
    pelmar::ModuleRecord r;
    r.macValid = true;
    r.versionValid = true;
    r.versionMajor = 0;
    return r;
  }());
  EXPECT_EQ(Column(w, 4)[0], "0.00.0");
  // Clearing keeps the mark.
  list->ClearModuleList();
  EXPECT_EQ(list->listHeader()->sortColumn(), 4);
  EXPECT_TRUE(list->listHeader()->ascending());
}

TEST_F(MainWindow, EscapeDoesNothingEnterScansCloseEndsWithOk) {
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_TRUE(w.isVisible());
  size_t before = Discovers();
  w.moduleList()->setFocus();
  QTest::keyClick(w.moduleList(), Qt::Key_Return);
  EXPECT_EQ(Discovers(), before + 1);
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_TRUE(w.selectedIp().isEmpty());
}

TEST_F(MainWindow, CloseBoxDoesNotTakeTheSelection) {
  SetAnswers({MakeModule(1, "10.0.0.1", "A")});
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  w.show();
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 1; }));
  w.moduleList()->SelectRow(0);
  w.close();
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_TRUE(w.selectedIp().isEmpty());
  EXPECT_TRUE(w.selectedMac().isEmpty());
}

TEST_F(MainWindow, ButtonOneTakesTheSelection) {
  SetAnswers({MakeModule(1, "10.0.0.1", "A"), MakeModule(2, "10.0.0.2", "B")});
  CMainDlg w("", options);
  w.SetButton1Caption("OK");
  ASSERT_TRUE(w.Initialise());
  EXPECT_EQ(w.button1()->text(), "OK");
  w.show();
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 2; }));
  w.moduleList()->SelectRow(1);
  w.button1()->click();
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_EQ(w.selectedIp(), "10.0.0.2");
  EXPECT_EQ(w.selectedMac(), "02-00-00-00-00-02");
}

TEST_F(MainWindow, IncorrectVersionEndsWithCancel) {
  options.libraryPath = FAKE_3_0_1_2;
  CMainDlg w("", options);
  EXPECT_FALSE(w.Initialise());
  EXPECT_EQ(w.result(), QDialog::Rejected);
  EXPECT_FALSE(w.libraryBound());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Warning");
  EXPECT_EQ(messages[0].text, "Incorrect MDSP.DLL version");
  EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
  void* handle = dlopen(FAKE_3_0_1_2, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_EQ(handle, nullptr);
}

TEST_F(MainWindow, MissingExportEndsWithCancel) {
  options.libraryPath = FAKE_NO_MASS_RESTART;
  CMainDlg w("", options);
  EXPECT_FALSE(w.Initialise());
  EXPECT_EQ(w.result(), QDialog::Rejected);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Error");
  EXPECT_EQ(messages[0].text, "Error loading MDSP.DLL");
  EXPECT_EQ(messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(dlopen(FAKE_NO_MASS_RESTART, RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST_F(MainWindow, AdapterListFailureIsReportedAndStartGoesOn) {
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->nicCountFails = true;
  }
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Unable to create network adapter list");
  EXPECT_EQ(messages[0].caption, "Error");
  EXPECT_EQ(Discovers(), 1u);
}

TEST_F(MainWindow, RequestedInterfaceSelectsOne) {
  CMainDlg w("10.78.0.1", options);
  ASSERT_TRUE(w.Initialise());
  EXPECT_TRUE(messages.empty());
  std::lock_guard<std::mutex> lock(lib->mutex);
  EXPECT_EQ(lib->devices, (std::vector<std::pair<uint32_t, std::string>>{{0, "10.78.0.1"}}));
}

TEST_F(MainWindow, UnknownRequestedInterfaceFallsBackToSettings) {
  std::ofstream(options.settingsPath, std::ios::binary) << std::string("CVP\0" "10.78.0.1", 13);
  CMainDlg w("10.99.0.1", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Information");
  EXPECT_EQ(messages[0].text, "Could not find specified network adapter.");
  EXPECT_EQ(messages[0].icon, MessageIcon::Information);
  std::lock_guard<std::mutex> lock(lib->mutex);
  EXPECT_EQ(lib->devices, (std::vector<std::pair<uint32_t, std::string>>{{0, "10.78.0.1"}}));
}

TEST_F(MainWindow, ResizesWithTheListAndKeepsButtonsAnchored) {
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  w.show();
  const int listRight = w.width() - (w.moduleList()->x() + w.moduleList()->width());
  const int scanRight = w.width() - (w.scanButton()->x() + w.scanButton()->width());
  const int scanBottom = w.height() - (w.scanButton()->y() + w.scanButton()->height());
  w.resize(w.width() + 100, w.height() + 50);
  EXPECT_EQ(w.width() - (w.moduleList()->x() + w.moduleList()->width()), listRight);
  EXPECT_EQ(w.width() - (w.scanButton()->x() + w.scanButton()->width()), scanRight);
  EXPECT_EQ(w.height() - (w.scanButton()->y() + w.scanButton()->height()), scanBottom);
  EXPECT_EQ(w.minimumSize(), QSize(194, 130));
}

// ---------------------------------------------------------------- header

const QColor kButton(212, 208, 200), kLight(0, 200, 0), kDark(0, 0, 200), kText(0, 0, 0);

struct Drawn {
  QImage image;
  QRect arrow;     // bounding box of light and dark pixels
  QRect text;      // bounding box of other non-background pixels
};

Drawn Draw(pelmar::ModuleListHeader& header, int width, int section, bool pressed) {
  Drawn d;
  d.image = QImage(width, 20, QImage::Format_RGB32);
  d.image.fill(Qt::magenta);
  {
    QPainter painter(&d.image);
    header.DrawItem(&painter, QRect(0, 0, width, 20), section, pressed);
  }
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < width; ++x) {
      QColor c = d.image.pixelColor(x, y);
      if (c == kLight || c == kDark)
        d.arrow |= QRect(x, y, 1, 1);
      else if (c != kButton)
        d.text |= QRect(x, y, 1, 1);
    }
  return d;
}

class Header : public ::testing::Test {
 protected:
  void SetUp() override {
    QPalette palette = header.palette();
    palette.setColor(QPalette::Button, kButton);
    palette.setColor(QPalette::Light, kLight);
    palette.setColor(QPalette::Dark, kDark);
    palette.setColor(QPalette::ButtonText, kText);
    header.setPalette(palette);
    model.CreateColumns(pelmar::kColumnSpec);
    header.setModel(&model);
  }
  pelmar::ModuleListModel model;
  pelmar::ModuleListHeader header;
};

TEST_F(Header, NothingOwnerDrawnBeforeTheFirstMark) {
  for (int c = 0; c < 7; ++c) EXPECT_FALSE(header.IsOwnerDrawn(c));
  EXPECT_TRUE(header.ascending());
  EXPECT_EQ(header.sortColumn(), 0);
}

TEST_F(Header, AscendingArrowGeometry) {
  header.SetSortMark(true, 0);
  Drawn d = Draw(header, 90, 0, false);
  const int R = 90;  // d = 5
  EXPECT_EQ(d.arrow.left(), R - 17);
  EXPECT_EQ(d.arrow.right(), R - 5);
  EXPECT_EQ(d.arrow.top(), 4);
  EXPECT_EQ(d.arrow.bottom(), 14);
  EXPECT_EQ(d.image.pixelColor(R - 10, 5), kLight);  // apex, light pen
  EXPECT_EQ(d.image.pixelColor(R - 10, 4), kDark);   // the dark pen's end
  EXPECT_EQ(d.image.pixelColor(R - 11, 14), kLight); // base, light pen
  EXPECT_FALSE(d.text.isEmpty());
  EXPECT_GE(d.text.left(), 5);          // text starts d pixels in
  EXPECT_LT(d.text.right(), R - 20);    // and ends before the arrow's room
}

TEST_F(Header, DescendingArrowGeometry) {
  header.SetSortMark(false, 1);
  Drawn d = Draw(header, 90, 1, false);
  const int R = 90;
  EXPECT_EQ(d.arrow.left(), R - 16);
  EXPECT_EQ(d.arrow.right(), R - 6);
  EXPECT_EQ(d.arrow.top(), 5);
  EXPECT_EQ(d.arrow.bottom(), 15);
  EXPECT_EQ(d.image.pixelColor(R - 11, 15), kLight); // apex at the bottom
  EXPECT_EQ(d.image.pixelColor(R - 16, 5), kDark);
}

TEST_F(Header, PressedItemMovesTextNotArrow) {
  header.SetSortMark(true, 0);
  Drawn normal = Draw(header, 90, 0, false);
  Drawn pressed = Draw(header, 90, 0, true);
  EXPECT_EQ(pressed.arrow, normal.arrow);
  EXPECT_EQ(pressed.text.left(), normal.text.left() + 1);
  EXPECT_GT(pressed.text.top(), normal.text.top());
}

TEST_F(Header, NarrowItemShowsArrowWithoutText) {
  header.SetSortMark(true, 3);
  Drawn d = Draw(header, 25, 3, false);  // 5·d pixels
  EXPECT_FALSE(d.arrow.isEmpty());
  EXPECT_TRUE(d.text.isEmpty());
  Drawn wider = Draw(header, 45, 3, false);
  EXPECT_FALSE(wider.text.isEmpty());
}

TEST_F(Header, FormerSortColumnHasTitleWithoutArrow) {
  header.SetSortMark(true, 0);
  header.SetSortMark(true, 6);
  EXPECT_TRUE(header.IsOwnerDrawn(0));
  Drawn d = Draw(header, 90, 0, false);
  EXPECT_TRUE(d.arrow.isEmpty());
  EXPECT_FALSE(d.text.isEmpty());
  EXPECT_EQ(d.image.pixelColor(85, 2), kButton);
}

TEST_F(Header, RenderedHeaderShowsTheArrow) {
  header.resize(700, 20);
  header.SetSortMark(true, 0);
  for (int c = 0; c < 7; ++c) header.resizeSection(c, 90);
  QImage image = header.grab().toImage();
  ASSERT_GE(image.height(), 15);
  bool light = false;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 60; x < 90; ++x) light |= image.pixelColor(x, y) == kLight;
  EXPECT_TRUE(light);
}

}  // namespace
}  // namespace pelmar_test
