// The Status column offscreen with the stand-in library: the marks from the
// whole list and the host's networks, new and gone across two scans, the
// tint, sorting by Status, and "Move to this network..." pre-filling the
// configuration dialog with a free address. Also the screenshots of a list
// with every mark, light and dark.
#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ip_address_edit.h"
#include "window_fixture.h"

namespace pelmar_test {
namespace {

using pelmar::CMainDlg;
using pelmar::kColumnStatus;

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return a << 24 | b << 16 | c << 8 | d;
}

class WindowMarks : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // The stand-in's interfaces 10.77.0.1 and 10.78.0.1, both /24.
    options.hostNetworks = [] {
      return std::vector<pelmar::HostNetwork>{
          {"veth-a", Ip(10, 77, 0, 1), Ip(255, 255, 255, 0), Ip(10, 77, 0, 254)},
          {"veth-b", Ip(10, 78, 0, 1), Ip(255, 255, 255, 0), 0},
          {"other", Ip(172, 16, 0, 1), Ip(255, 255, 0, 0), 0}};  // not scanning
    };
    options.neighbourProbe = [this](uint32_t address, const std::string& name) {
      probed.push_back({address, name});
      return address == Ip(10, 77, 0, 2);  // something else has .2
    };
  }

  std::string Status(CMainDlg& w, const std::string& mac) {
    for (int r = 0; r < w.moduleList()->rowCount(); ++r)
      if (w.moduleList()->CellText(r, pelmar::kColumnMac).toStdString() == mac)
        return w.moduleList()->CellText(r, kColumnStatus).toStdString();
    return "(no row)";
  }
  int RowOfMac(CMainDlg& w, const std::string& mac) {
    for (int r = 0; r < w.moduleList()->rowCount(); ++r)
      if (w.moduleList()->CellText(r, pelmar::kColumnMac).toStdString() == mac) return r;
    return -1;
  }
  // The entries of the row menu of that row (the menu is closed unchosen).
  std::vector<QString> MenuOf(CMainDlg& w, int row) {
    std::vector<QString> seen;
    test_support::AnswerPopup<QMenu>("the row menu", [&seen](QMenu& menu) {
      for (QAction* a : menu.actions())
        if (!a->isSeparator()) seen.push_back(a->text());
      menu.close();
    });
    w.RunRowMenu(row, QPoint(50, 50));
    return seen;
  }

  std::vector<std::pair<uint32_t, std::string>> probed;
};

// Two MACs at 10.77.0.10, one on 192.168.77.0/24, 0.0.0.0, 169.254.x.x and
// one at home on the second interface.
std::vector<fake::Module> Crowd() {
  return {MakeModule(1, "10.77.0.10", "SIM-IO"), MakeModule(2, "10.77.0.10", "SIM-GW", true),
          MakeModule(3, "192.168.77.5", "SIM-IO"), MakeModule(4, "0.0.0.0", "SIM-IO"),
          MakeModule(5, "169.254.3.7", "SIM-GW", true), MakeModule(6, "10.78.0.20", "SIM-IO")};
}

TEST_F(WindowMarks, StatusColumnMarksTintsAndSorts) {
  SetAnswers(Crowd());
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 6; }));
  const struct {
    const char* mac;
    const char* status;
  } expected[] = {
      {"02-00-00-00-00-01", "duplicate IP"}, {"02-00-00-00-00-02", "duplicate IP"},
      {"02-00-00-00-00-03", "other network"}, {"02-00-00-00-00-04", "no address"},
      {"02-00-00-00-00-05", "no address"},    {"02-00-00-00-00-06", ""},
  };
  for (const auto& e : expected) EXPECT_EQ(Status(w, e.mac), e.status) << e.mac;
  // Marked rows are tinted, the others keep the view's own background.
  auto* model = w.moduleList()->model();
  EXPECT_TRUE(model->index(RowOfMac(w, "02-00-00-00-00-03"), 0).data(Qt::BackgroundRole).isValid());
  EXPECT_FALSE(model->index(RowOfMac(w, "02-00-00-00-00-06"), 0).data(Qt::BackgroundRole).isValid());

  // Sorting by Status as by any column: unmarked ("") first when ascending.
  w.moduleList()->SortByColumn(kColumnStatus);
  EXPECT_EQ(w.moduleList()->CellText(0, pelmar::kColumnMac), "02-00-00-00-00-06");
  EXPECT_EQ(w.moduleList()->CellText(5, kColumnStatus), "other network");
  w.moduleList()->SortByColumn(kColumnStatus);
  EXPECT_EQ(w.moduleList()->CellText(0, kColumnStatus), "other network");

  // The next scan: 02 and 06 gone, 07 new; no row for the gone ones.
  SetAnswers({Crowd()[0], Crowd()[2], Crowd()[3], Crowd()[4], MakeModule(7, "10.78.0.21", "SIM-IO")});
  ASSERT_TRUE(w.StartScan());
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 5; }));
  EXPECT_EQ(Status(w, "02-00-00-00-00-07"), "new");
  EXPECT_EQ(Status(w, "02-00-00-00-00-01"), "");  // its address is its own now
  EXPECT_EQ(Status(w, "02-00-00-00-00-03"), "other network");
  EXPECT_EQ(RowOfMac(w, "02-00-00-00-00-02"), -1);
  const QString tip = model->headerData(kColumnStatus, Qt::Horizontal, Qt::ToolTipRole).toString();
  EXPECT_TRUE(tip.contains("2 modules no longer answer: 02-00-00-00-00-02 02-00-00-00-00-06"))
      << tip.toStdString();
  // A Status cell says what each of its marks means.
  EXPECT_TRUE(model->index(RowOfMac(w, "02-00-00-00-00-03"), kColumnStatus)
                  .data(Qt::ToolTipRole).toString().contains("Move to this network"));
}

TEST_F(WindowMarks, MoveIsOfferedOnlyForAddressProblemsPerScanningNetwork) {
  SetAnswers(Crowd());
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 6; }));
  ASSERT_EQ(w.scanningNetworks().size(), 2u);  // "other" does not scan
  const std::vector<QString> far = MenuOf(w, RowOfMac(w, "02-00-00-00-00-03"));
  EXPECT_EQ(far, (std::vector<QString>{"Configuration", "Open Web-Interface", "Wink",
                                       "&Move to this network...", "Name and note..."}));
  for (const char* mac : {"02-00-00-00-00-01", "02-00-00-00-00-06"})
    EXPECT_EQ(MenuOf(w, RowOfMac(w, mac)).size(), 4u) << mac;
}

TEST_F(WindowMarks, MoveOpensTheDialogWithAFreeAddressOfTheNetwork) {
  {
    std::lock_guard<std::mutex> lock(lib->mutex);
    lib->nics = {{Ip(10, 77, 0, 1), "veth-a"}};
  }
  std::vector<fake::Module> crowd = Crowd();
  crowd[5] = MakeModule(6, "10.77.0.3", "SIM-IO");  // a listed module has .3
  crowd[2].tags[7] = fake::U32(Ip(192, 168, 77, 1));  // its DNS stays
  crowd[2].tags[10] = fake::Text("far-1");
  SetAnswers(crowd);
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 6; }));
  const int row = RowOfMac(w, "02-00-00-00-00-03");

  uint32_t ip = 1, mask = 1, gateway = 1, dns = 1;
  QString hostName;
  bool dhcpOff = false;
  test_support::AnswerPopup<QMenu>("the row menu", [](QMenu& menu) {
    for (QAction* a : menu.actions())
      if (a->text() == "&Move to this network...") menu.setActiveAction(a);
    QTest::keyClick(&menu, Qt::Key_Return);
  });
  test_support::AnswerModal<QWidget>("the configuration dialog", [&](QWidget& dialog) {
    auto address = [&](const char* id) {
      return dialog.findChild<pelmar::IpAddressEdit*>(id)->address();
    };
    ip = address("1004");
    mask = address("1005");
    gateway = address("1006");
    dns = address("1007");
    hostName = dialog.findChild<QLineEdit*>("1015")->text();
    dhcpOff = dialog.findChild<QWidget*>("1009")->property("checked").toBool();
    dialog.findChild<QPushButton*>("2")->click();  // Cancel: nothing is sent
  });
  EXPECT_EQ(w.RunRowMenu(row, QPoint(50, 50)), CMainDlg::kCommandMove);
  ASSERT_TRUE(Until([&] { return !w.probing() && !QApplication::activeModalWidget(); }, 10000));
  // .1 is the host, .2 answers on the link, .3 is listed: .4, probed twice.
  EXPECT_EQ(ip, Ip(10, 77, 0, 4));
  EXPECT_EQ(mask, Ip(255, 255, 255, 0));
  EXPECT_EQ(gateway, Ip(10, 77, 0, 254));
  EXPECT_EQ(dns, Ip(192, 168, 77, 1));
  EXPECT_EQ(hostName, "far-1");
  EXPECT_TRUE(dhcpOff);
  EXPECT_EQ(probed, (std::vector<std::pair<uint32_t, std::string>>{
                        {Ip(10, 77, 0, 2), "veth-a"}, {Ip(10, 77, 0, 4), "veth-a"}}));
  EXPECT_TRUE(messages.empty());
}

// The list with every mark, light and dark; looked at by a person.
TEST_F(WindowMarks, Screenshots) {
  QString folder = qEnvironmentVariable("PELMAR_SCREENSHOT_DIR");
  if (folder.isEmpty()) folder = QDir::cleanPath(QStringLiteral(PELMAR_DIR "/../screenshots"));
  ASSERT_TRUE(QDir().mkpath(folder)) << folder.toStdString();
  SetAnswers(Crowd());
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 6; }));
  SetAnswers({Crowd()[0], Crowd()[1], Crowd()[2], Crowd()[3], Crowd()[4],
              MakeModule(7, "10.78.0.21", "SIM-IO")});
  ASSERT_TRUE(w.StartScan());  // 06 gone, 07 new
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 6; }));
  w.resize(980, 300);
  w.show();
  QTest::qWait(50);
  EXPECT_TRUE(w.grab().save(folder + "/status-marks-light.png"));
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
  dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
  dark.setColor(QPalette::AlternateBase, QColor(0x2b, 0x2b, 0x2b));
  dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
  dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
  dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
  dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
  w.setPalette(dark);
  QTest::qWait(50);
  EXPECT_TRUE(w.grab().save(folder + "/status-marks-dark.png"));
  w.setPalette(QPalette());
  test_support::AnswerPopup<QMenu>("the row menu", [folder](QMenu& menu) {
    EXPECT_TRUE(menu.grab().save(folder + "/status-move-menu.png"));
    menu.close();
  });
  w.RunRowMenu(RowOfMac(w, "02-00-00-00-00-03"), QPoint(50, 50));
}

}  // namespace
}  // namespace pelmar_test
