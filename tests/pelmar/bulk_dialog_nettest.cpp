// "Address several modules..." with the real library in throwaway
// namespaces and mdsp-sim: a plan handed out from a first address applied
// and read back, a CSV plan with a conflict that applies nothing, and Cancel
// in the middle of a run. Screenshots of the dialog before and after Apply.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>

#include "bulk_dialog.h"
#include "main_dlg.h"
#include "netns.h"
#include "window_on_the_wire.h"

namespace pelmar_test {
namespace {

using pelmar::BulkState;
using pelmar::CBulkDialog;
using pelmar::CMainDlg;

const char kModules[] = R"({"modules": [
  {"mac": "02-00-00-00-20-01", "protocol": "secure", "password": "secret", "ip": "10.77.0.20",
   "faults": {"delay_ms": 100}},
  {"mac": "02-00-00-00-20-02", "protocol": "secure", "password": "secret", "ip": "10.77.0.21",
   "faults": {"delay_ms": 100}},
  {"mac": "02-00-00-00-10-01", "protocol": "text", "password": "secret", "ip": "10.77.0.10",
   "hostname": "t1",
   "faults": {"delay_ms": 100}},
  {"mac": "02-00-00-00-20-03", "protocol": "secure", "password": "other", "ip": "10.77.0.22",
   "faults": {"delay_ms": 100}}
]})";
constexpr int kRows = 4;

class BulkDialogNet : public WindowOnTheWire {
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
  std::string Log() { return net_test::ReadFile(log_); }
  // Runs `act` on the bulk dialog the window opens, then closes it.
  void WithBulkDialog(CMainDlg& w, std::function<void(CBulkDialog&)> act) {
    bool acted = false;
    test_support::AnswerModal<CBulkDialog>("the bulk dialog", [&](CBulkDialog& d) {
      act(d);
      acted = true;
      d.reject();
    });
    w.OpenBulkDialog();
    EXPECT_TRUE(acted);
  }
  static int RowOf(CBulkDialog& d, const char* mac) {
    for (int r = 0; r < d.table()->rowCount(); ++r)
      if (d.table()->item(r, CBulkDialog::kColumnMac)->text() == mac) return r;
    return -1;
  }
  static QString Result(CBulkDialog& d, const char* mac) {
    const int r = RowOf(d, mac);
    return r < 0 ? QString() : d.table()->item(r, CBulkDialog::kColumnResult)->text();
  }
  static void Shoot(QWidget& widget, const char* name) {
    QString folder = qEnvironmentVariable("PELMAR_SCREENSHOT_DIR");
    if (folder.isEmpty()) folder = QDir::cleanPath(QStringLiteral(PELMAR_DIR "/../screenshots"));
    ASSERT_TRUE(QDir().mkpath(folder));
    widget.move(20, 20);
    QTest::qWait(200);
    EXPECT_TRUE(widget.grab().save(folder + "/" + name));
  }
  std::string log_;
};

TEST_F(BulkDialogNet, HandedOutAddressesAreAppliedOneByOneAndReadBack) {
  REQUIRE_LAB();
  CMainDlg w("10.77.0.1", options);
  Open(w);
  w.show();
  WithBulkDialog(w, [&](CBulkDialog& d) {
    ASSERT_EQ(d.table()->rowCount(), kRows);
    d.firstAddress()->setText("10.77.0.50");
    d.mask()->setText("255.255.255.0");
    d.gateway()->setText("10.77.0.1");
    ASSERT_TRUE(d.PlanFromFields());
    ASSERT_TRUE(d.applyButton()->isEnabled()) << d.status()->text().toStdString();
    Shoot(d, "bulk-dialog-before-apply.png");
    ASSERT_TRUE(d.StartRun("secret"));
    ASSERT_TRUE(Until([&] { return !d.running(); }, 30000)) << Log();
    Shoot(d, "bulk-dialog-after-apply.png");
    // One wrong password among them; the others confirmed.
    EXPECT_EQ(Result(d, "02-00-00-00-20-03"), "wrong password");
    int confirmed = 0;
    for (const char* mac : {"02-00-00-00-20-01", "02-00-00-00-20-02", "02-00-00-00-10-01"})
      confirmed += Result(d, mac) == "confirmed";
    EXPECT_EQ(confirmed, 3) << Log();
    ASSERT_TRUE(d.retryButton()->isEnabled());
    ASSERT_TRUE(d.Retry("other"));
    ASSERT_TRUE(Until([&] { return !d.running(); }, 30000)) << Log();
    EXPECT_EQ(Result(d, "02-00-00-00-20-03"), "confirmed") << Log();
  });
  // The window scanned again: the new addresses are listed.
  ASSERT_TRUE(Until([&] {
    int moved = 0;
    for (int r = 0; r < w.moduleList()->rowCount(); ++r)
      moved += w.moduleList()->CellText(r, pelmar::kColumnIp).startsWith("10.77.0.5");
    return moved == kRows;
  }, 10000)) << Log();
  EXPECT_TRUE(messages.empty());
}

TEST_F(BulkDialogNet, ACsvPlanWithAConflictAppliesNothing) {
  REQUIRE_LAB();
  CMainDlg w("10.77.0.1", options);
  Open(w);
  WithBulkDialog(w, [&](CBulkDialog& d) {
    d.PlanFromCsv("02-00-00-00-20-01,10.77.0.21,,,,,,\n"  // 20-02 keeps that address
                  "02-00-00-00-10-01,10.77.0.60,,,,,,\n");
    EXPECT_FALSE(d.applyButton()->isEnabled());
    EXPECT_TRUE(d.status()->text().startsWith("1 conflict")) << d.status()->text().toStdString();
    const int row = RowOf(d, "02-00-00-00-20-01");
    EXPECT_TRUE(d.table()->item(row, CBulkDialog::kColumnPlan)->text().contains(
        "address of another listed module"));
    // The file chose the modules: the others are unticked.
    EXPECT_EQ(d.table()->item(RowOf(d, "02-00-00-00-20-02"), CBulkDialog::kColumnCheck)
                  ->checkState(),
              Qt::Unchecked);
    EXPECT_FALSE(d.StartRun("secret"));
  });
  ASSERT_TRUE(net_.SimulatorCaughtUp(log_)) << Log();
  EXPECT_EQ(Log().find("configure"), std::string::npos);
}

TEST_F(BulkDialogNet, CancelStopsAfterTheModuleInFlight) {
  REQUIRE_LAB();
  CMainDlg w("10.77.0.1", options);
  Open(w);
  WithBulkDialog(w, [&](CBulkDialog& d) {
    d.PlanFromCsv("02-00-00-00-20-01,10.77.0.61,,,,,,\n"
                  "02-00-00-00-20-02,10.77.0.62,,,,,,\n"
                  "02-00-00-00-10-01,10.77.0.63,,,,,,\n");
    ASSERT_TRUE(d.StartRun("secret"));
    // Cancel while the first module is on its way.
    ASSERT_TRUE(Until([&] { return Result(d, "02-00-00-00-20-01") == "sending..."; })) << Log();
    d.reject();
    EXPECT_TRUE(d.isVisible());  // stays open until the run stopped
    ASSERT_TRUE(Until([&] { return !d.running(); }, 30000)) << Log();
    EXPECT_EQ(Result(d, "02-00-00-00-20-01"), "confirmed") << Log();
    EXPECT_EQ(Result(d, "02-00-00-00-20-02"), "not sent: cancelled");
    EXPECT_EQ(Result(d, "02-00-00-00-10-01"), "not sent: cancelled");
  });
  ASSERT_TRUE(net_.SimulatorCaughtUp(log_)) << Log();
  const std::string log = Log();
  EXPECT_NE(log.find("event 02-00-00-00-20-01 configure applied"), std::string::npos) << log;
  EXPECT_EQ(log.find("event 02-00-00-00-20-02 configure"), std::string::npos) << log;
  EXPECT_EQ(log.find("text-configure"), std::string::npos) << log;
}

}  // namespace
}  // namespace pelmar_test
