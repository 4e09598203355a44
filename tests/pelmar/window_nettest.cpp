// The main window with the real library in throwaway namespaces, mdsp-sim on
// the other side: records and rows of every kind of module, the interface
// choice from the command line and from settings.dat, quick re-scans.
#include <QApplication>
#include <QElapsedTimer>
#include <fstream>
#include <map>
#include <sstream>

#include "main_dlg.h"
#include "message_box.h"
#include "netns.h"
#include "settings_file.h"
#include "window_on_the_wire.h"

namespace pelmar_test {
namespace {

const char kModulesA[] = R"({"modules": [
  {"mac": "02-00-00-00-10-01", "protocol": "text", "password": "secret", "seed": "k7Q2ZP91",
   "ip": "10.77.0.10", "subnet": "255.255.255.0", "gateway": "10.77.0.1", "dhcp": false,
   "type": "SIM-IO 16DI", "module_version": "3.1.7", "hostname": "press-1"},
  {"mac": "02-00-00-00-20-01", "protocol": "secure", "password": "secret", "ip": "10.77.0.20",
   "subnet": "255.255.0.0", "gateway": "10.77.0.1", "dhcp": true, "type": "SIM-GW secure",
   "version": "4.0.2"},
  {"mac": "02-00-00-00-30-01", "protocol": "both", "password": "secret", "ip": "10.77.0.30",
   "type": "SIM-BOTH", "version": "1.10.0", "module_version": "1.9.0"},
  {"mac": "02-00-00-00-20-04", "protocol": "secure", "password": "secret", "ip": "10.77.0.24",
   "faults": {"malformed": true}},
  {"mac": "02-00-00-00-10-03", "protocol": "text", "faults": {"raw_answer":
   "protocol version = 1.0;fb type = RAW;mac = 02-00-00-00-10-03;ip = 10.77.0.13;"}}
]})";

const char kModulesB[] = R"({"modules": [
  {"mac": "02-00-00-00-50-01", "protocol": "text", "ip": "10.78.0.50", "type": "SIDE-B"}
]})";

class WindowNet : public WindowOnTheWire {
 protected:
  void SetUp() override {
    WindowOnTheWire::SetUp();
    // A second wire for the choice between two interfaces.
    ready_ = ready_ && lab_.Link(host_, "h1", "10.78.0.1/24", "02:00:00:aa:00:02", peer_, "p1",
                                 "10.78.0.2/24", "02:00:00:bb:00:02");
  }

  std::map<std::string, std::vector<std::vector<std::string>>> RowsByMac(pelmar::CMainDlg& w) {
    std::map<std::string, std::vector<std::vector<std::string>>> rows;
    for (int r = 0; r < w.moduleList()->rowCount(); ++r) {
      std::vector<std::string> cells;
      for (int c = 0; c < 7; ++c) cells.push_back(w.moduleList()->CellText(r, c).toStdString());
      rows[cells[6]].push_back(cells);
    }
    return rows;
  }
};


TEST_F(WindowNet, EveryKindOfModuleBecomesARow) {
  REQUIRE_LAB();
  std::string log = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p0", kModulesA);
  ASSERT_FALSE(log.empty());
  pelmar::CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  EXPECT_TRUE(messages.empty());
  // Six answers, then the marker: a seventh row would have come before it.
  ASSERT_TRUE(MarkerListed(w, log, 0, 6)) << net_test::ReadFile(log);
  EXPECT_EQ(w.moduleList()->rowCount(), 6 + 1);
  auto rows = RowsByMac(w);
  // Text module: numbers from the text answer.
  ASSERT_EQ(rows["02-00-00-00-10-01"].size(), 1u);
  EXPECT_EQ(rows["02-00-00-00-10-01"][0],
            (std::vector<std::string>{"10.77.0.10", "255.255.255.0", "10.77.0.1", "Off", "3.01.7",
                                      "SIM-IO 16DI", "02-00-00-00-10-01"}));
  // Secure module: its texts.
  ASSERT_EQ(rows["02-00-00-00-20-01"].size(), 1u);
  EXPECT_EQ(rows["02-00-00-00-20-01"][0],
            (std::vector<std::string>{"10.77.0.20", "255.255.0.0", "10.77.0.1", "On", "4.0.2",
                                      "SIM-GW secure", "02-00-00-00-20-01"}));
  // A module speaking both protocols answers twice: two rows of one MAC,
  // both finding the older record.
  ASSERT_EQ(rows["02-00-00-00-30-01"].size(), 2u);
  const pelmar::ModuleRecord* first = nullptr;
  for (int r = 0; r < w.moduleList()->rowCount(); ++r) {
    if (w.moduleList()->CellText(r, 6) != "02-00-00-00-30-01") continue;
    const pelmar::ModuleRecord* record = w.moduleList()->FindRecordByMac(r);
    ASSERT_NE(record, nullptr);
    if (!first) first = record;
    EXPECT_EQ(record, first);
  }
  // A text answer with only some keys: the rest reads N/A.
  ASSERT_EQ(rows["02-00-00-00-10-03"].size(), 1u);
  EXPECT_EQ(rows["02-00-00-00-10-03"][0],
            (std::vector<std::string>{"10.77.0.13", "N/A", "N/A", "N/A", "N/A", "RAW",
                                      "02-00-00-00-10-03"}));
  // The malformed secure reply: the library keeps the items before the
  // malformed one but no secure-module marker, so the tool reads it as a
  // text-protocol entry; it carries tag 2, so it is listed, and without tag
  // 252 or the version numbers its Type and Version read "N/A".
  ASSERT_EQ(rows["02-00-00-00-20-04"].size(), 1u);
  EXPECT_EQ(rows["02-00-00-00-20-04"][0][0], "10.77.0.24");
  EXPECT_EQ(rows["02-00-00-00-20-04"][0][4], "N/A");
  EXPECT_EQ(rows["02-00-00-00-20-04"][0][5], "N/A");
  // Sorted ascending on IP.
  std::vector<uint32_t> ips;
  for (int r = 0; r < w.moduleList()->rowCount(); ++r)
    ips.push_back(pelmar::DottedQuadValue(w.moduleList()->CellText(r, 0).toStdString()));
  EXPECT_TRUE(std::is_sorted(ips.begin(), ips.end()));
}

TEST_F(WindowNet, RequestedInterfaceAsksOnlyThatSide) {
  REQUIRE_LAB();
  std::string logA = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p0", kModulesA);
  std::string logB = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p1", kModulesB);
  ASSERT_FALSE(logA.empty());
  ASSERT_FALSE(logB.empty());
  pelmar::CMainDlg w("10.78.0.1", options);
  ASSERT_TRUE(w.Initialise());
  EXPECT_TRUE(messages.empty());
  // One answer, then the marker.
  ASSERT_TRUE(MarkerListed(w, logB, 0, 1, "p1", "10.78.0.1")) << net_test::ReadFile(logB);
  EXPECT_EQ(w.moduleList()->rowCount(), 1 + 1);
  EXPECT_EQ(w.moduleList()->CellText(0, 5), "SIDE-B");  // sorted on IP: the marker last
  // Both simulators caught up with what the host sent before a marker:
  // side B got the text scan and the Discover, side A nothing.
  ASSERT_TRUE(SimulatorCaughtUp(logB, "h1", "10.78.0.2"));
  EXPECT_GE(Received(logB), 2 + 1);
  ASSERT_TRUE(SimulatorCaughtUp(logA, "h0", "10.77.0.2"));
  EXPECT_EQ(Received(logA), 1);
}

TEST_F(WindowNet, SavedSettingsAskOnlyThatSide) {
  REQUIRE_LAB();
  std::string logA = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p0", kModulesA);
  std::string logB = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p1", kModulesB);
  ASSERT_FALSE(logA.empty());
  ASSERT_FALSE(logB.empty());
  pelmar::InterfaceChoice saved;
  saved.count = 1;
  saved.entries[0].address = "10.77.0.1";
  saved.specificInterface = 1;
  ASSERT_TRUE(pelmar::SaveSettings(options.settingsPath, saved));
  pelmar::CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() >= 6; }));
  // Side B got nothing before a marker sent now.
  ASSERT_TRUE(SimulatorCaughtUp(logB, "h1", "10.78.0.2"));
  EXPECT_EQ(Received(logB), 1);
  EXPECT_GE(Received(logA), 2);
  for (int r = 0; r < w.moduleList()->rowCount(); ++r)
    EXPECT_NE(w.moduleList()->CellText(r, 5), "SIDE-B");
}

TEST_F(WindowNet, QuickRescansGiveNoDuplicateRows) {
  REQUIRE_LAB();
  std::string log = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p0", kModulesA);
  ASSERT_FALSE(log.empty());
  pelmar::CMainDlg w("10.77.0.1", options);
  ASSERT_TRUE(w.Initialise());
  w.StartScan();
  w.StartScan();
  // Every answer of the three quick scans handled (six each), then one more
  // scan: its six answers and the marker after them are all it lists.
  ASSERT_TRUE(MarkerListed(w, log, 0, 3 * 6)) << net_test::ReadFile(log);
  w.StartScan();
  ASSERT_TRUE(MarkerListed(w, log, 3 * 6, 6)) << net_test::ReadFile(log);
  auto rows = RowsByMac(w);
  EXPECT_EQ(w.moduleList()->rowCount(), 6 + 1);
  for (auto& [mac, list] : rows)
    EXPECT_EQ(list.size(), mac == "02-00-00-00-30-01" ? 2u : 1u) << mac;
}

}  // namespace
}  // namespace pelmar_test
