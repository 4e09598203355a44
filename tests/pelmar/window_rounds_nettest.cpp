// Thorough scans in the window, with the real library in throwaway
// namespaces: rounds merged over a lossy wire, acting on a module whose
// answer came in an earlier round, and a saved interface that is gone.
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QSpinBox>
#include <fstream>
#include <map>
#include <set>

#include "main_dlg.h"
#include "message_box.h"
#include "netns.h"
#include "scan_rounds.h"
#include "settings_file.h"
#include "window_on_the_wire.h"

namespace pelmar_test {
namespace {

using pelmar::CMainDlg;

// Y answers at once (table entry 0 of a discover), X late (entry 1).
const char kSideA[] = R"({"modules": [
  {"mac": "02-00-00-00-60-0A", "protocol": "text", "ip": "10.77.0.60", "faults": {"delay_ms": 120}}
]})";
const char kSideB[] = R"({"modules": [
  {"mac": "02-00-00-00-60-0B", "protocol": "text", "ip": "10.78.0.60"}
]})";

std::string ManyTextModules(int count) {
  std::string json = "{\"modules\": [";
  for (int i = 0; i < count; ++i) {
    char mac[32];
    std::snprintf(mac, sizeof mac, "02-00-00-00-70-%02X", i);
    json += std::string(i ? "," : "") + "{\"mac\": \"" + mac +
            "\", \"protocol\": \"text\", \"ip\": \"10.77.0." + std::to_string(100 + i) + "\"}";
  }
  return json + "]}";
}

class WindowRoundsNet : public WindowOnTheWire {
 protected:
  void SetUp() override {
    WindowOnTheWire::SetUp();
    ready_ = ready_ && lab_.Link(host_, "h1", "10.78.0.1/24", "02:00:00:aa:00:02", peer_, "p1",
                                 "10.78.0.2/24", "02:00:00:bb:00:02");
  }
  void SaveRounds(uint32_t rounds, uint32_t intervalMs) {
    ASSERT_TRUE(pelmar::SaveScanRounds(pelmar::ScanRoundsPath(options.settingsPath),
                                       {rounds, intervalMs}));
  }
  static std::multiset<std::string> Macs(CMainDlg& w) {
    std::multiset<std::string> macs;
    for (int r = 0; r < w.moduleList()->rowCount(); ++r)
      macs.insert(w.moduleList()->CellText(r, pelmar::kColumnMac).toStdString());
    return macs;
  }
  static int TextScans(const std::string& log) {
    int n = 0;
    for (const std::string& t : net_test::SimTextReceived(log)) n += t == "MODULE SCAN";
    return n;
  }
  bool Said(const char* text) {
    return Until([&] {
      for (const auto& m : messages)
        if (m.text == text) return true;
      return false;
    });
  }
};

TEST_F(WindowRoundsNet, RoundsListWhatALossyWireDropsOnceEach) {
  REQUIRE_LAB();
  constexpr int kCount = 30;
  const std::string log = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p0", ManyTextModules(kCount),
                                              {"--loss", "0.1", "--loss-seed", "5"});
  ASSERT_FALSE(log.empty());
  SaveRounds(1, 200);
  {
    // The plain scan: one discover, and the seeded loss costs some modules.
    CMainDlg w("10.77.0.1", options);
    ASSERT_TRUE(w.Initialise());
    EXPECT_EQ(w.scanRounds(), pelmar::ScanRounds{});
    Until([&] { return false; }, 800);
    EXPECT_LT(w.moduleList()->rowCount(), kCount);
    EXPECT_EQ(w.roundsSent(), 1u);
  }
  SaveRounds(3, 200);
  CMainDlg w("10.77.0.1", options);
  ASSERT_TRUE(w.Initialise());
  EXPECT_EQ(w.scanRounds(), (pelmar::ScanRounds{3, 200}));
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == kCount && w.roundsSent() == 3; },
                    5000))
      << w.moduleList()->rowCount() << " rows";
  Until([&] { return false; }, 500);  // the third round's answers
  const auto macs = Macs(w);
  EXPECT_EQ(macs.size(), static_cast<size_t>(kCount));
  EXPECT_EQ(std::set<std::string>(macs.begin(), macs.end()).size(), macs.size())
      << "each module listed once";
  ASSERT_TRUE(SimulatorCaughtUp(log, "h0", "10.77.0.2"));
  EXPECT_EQ(TextScans(log), 1 + 3);
  EXPECT_TRUE(messages.empty());
}

TEST_F(WindowRoundsNet, ModuleOfAnEarlierRoundIsFoundAgainOrSaidToBeSilent) {
  REQUIRE_LAB();
  const std::string logA = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p0", kSideA);
  const std::string logB = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p1", kSideB);
  ASSERT_FALSE(logA.empty());
  ASSERT_FALSE(logB.empty());
  SaveRounds(2, 400);
  std::vector<std::string> urls;
  options.urlOpener = [&](const std::string& url) { urls.push_back(url); };
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 2 && w.roundsSent() == 2; }));
  Until([&] { return false; }, 600);
  ASSERT_EQ(w.moduleList()->rowCount(), 2);

  // B goes quiet, and a discover of someone else renumbers the table: X
  // moves from entry 1 to entry 0, Y is in it no more.
  ASSERT_TRUE(lab_.Run(peer_, "ip link set p1 down"));
  ASSERT_EQ(w.libraryApi().SMDSP_SendDiscover(nullptr), MDSP_RESULT_OK);
  ASSERT_TRUE(Until([&] {
    uint8_t mac[6];
    return w.libraryApi().SMDSP_GetModuleMac(0, mac) == MDSP_RESULT_OK && mac[5] == 0x0A;
  }));
  Until([&] { return false; }, 300);

  // X is found in the current table by MAC and protocol: no more discovers.
  const int scansBefore = TextScans(logA);
  ASSERT_TRUE(w.WinkModule(MacOf("02-00-00-00-60-0A")));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_TRUE(Until([&] {
    return net_test::ReadFile(logA).find("event 02-00-00-00-60-0A wink") != std::string::npos;
  })) << net_test::ReadFile(logA);
  ASSERT_TRUE(SimulatorCaughtUp(logA, "h0", "10.77.0.2"));
  EXPECT_EQ(TextScans(logA), scansBefore);

  // Y does not answer three more discovers: the user is told, nothing sent.
  messages.clear();
  ASSERT_TRUE(w.WinkModule(MacOf("02-00-00-00-60-0B")));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_TRUE(Said(pelmar::kModuleSilentText));
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Warning");
  ASSERT_TRUE(SimulatorCaughtUp(logA, "h0", "10.77.0.2"));
  EXPECT_EQ(TextScans(logA), scansBefore + pelmar::kRefindDiscovers);

  // The web interface likewise: X's at the address of its current answer,
  // none for the silent Y.
  ASSERT_TRUE(w.OpenWebInterfaceOfModule(MacOf("02-00-00-00-60-0A"), false));
  ASSERT_TRUE(SendingEnds(w));
  EXPECT_EQ(urls, std::vector<std::string>{"http://10.77.0.60"});
  messages.clear();
  ASSERT_TRUE(w.OpenWebInterfaceOfModule(MacOf("02-00-00-00-60-0B"), false));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_TRUE(Said(pelmar::kModuleSilentText));
  EXPECT_EQ(urls.size(), 1u);

  // Back on the wire, Y answers the first discover and gets its wink.
  ASSERT_TRUE(lab_.Run(peer_, "ip link set p1 up"));
  Until([&] { return false; }, 300);
  messages.clear();
  ASSERT_TRUE(w.WinkModule(MacOf("02-00-00-00-60-0B")));
  ASSERT_TRUE(SendingEnds(w));
  ASSERT_TRUE(Until([&] {
    return net_test::ReadFile(logB).find("event 02-00-00-00-60-0B wink") != std::string::npos;
  })) << net_test::ReadFile(logB);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(w.moduleList()->rowCount(), 2);  // the list stays as the scan left it
}

TEST_F(WindowRoundsNet, SavedInterfaceGoneScansEveryInterfaceAndSaysSoOnce) {
  REQUIRE_LAB();
  const std::string logA = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p0", kSideA);
  const std::string logB = lab_.StartSimulator(MDSP_SIM_PATH, peer_, "p1", kSideB);
  ASSERT_FALSE(logA.empty());
  ASSERT_FALSE(logB.empty());
  const std::string saved("CVP\0" "10.99.0.1", 13);  // a USB adapter unplugged
  ASSERT_EQ(std::system(("mkdir -p '" + lab_.tempDir() + "/cfg'").c_str()), 0);
  std::ofstream(options.settingsPath, std::ios::binary) << saved;
  {
  CMainDlg w("", options);
  ASSERT_TRUE(w.Initialise());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Information");
  EXPECT_EQ(messages[0].icon, pelmar::MessageIcon::Information);
  EXPECT_EQ(messages[0].text,
            "The saved network interface 10.99.0.1 was not found. Scanning every interface.");
  // Both sides were asked and both modules are listed.
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 2; }));
  const auto macs = Macs(w);
  EXPECT_EQ(macs.count("02-00-00-00-60-0A"), 1u);
  EXPECT_EQ(macs.count("02-00-00-00-60-0B"), 1u);
  // Said once: a later scan is quiet. The file is the user's until Settings.
  w.StartScan();
  ASSERT_TRUE(Until([&] { return w.moduleList()->rowCount() == 2; }));
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(net_test::ReadFile(options.settingsPath), saved);
  }

  // A requested interface that is found takes the place of the saved one:
  // nothing to say then.
  messages.clear();
  CMainDlg requested("10.77.0.1", options);
  ASSERT_TRUE(requested.Initialise());
  for (const auto& m : messages) ADD_FAILURE() << m.text.toStdString();
}

TEST_F(WindowRoundsNet, ScanRoundsDialogByKeyboardSavesBesideSettings) {
  REQUIRE_LAB();
  CMainDlg w("10.77.0.1", options);
  ASSERT_TRUE(w.Initialise());
  QString folder = qEnvironmentVariable("PELMAR_SCREENSHOT_DIR");
  if (folder.isEmpty()) folder = QDir::cleanPath(QStringLiteral(PELMAR_DIR "/../screenshots"));
  ASSERT_TRUE(QDir().mkpath(folder));
  test_support::AnswerModal<QWidget>("the Scan rounds dialog", [folder](QWidget& modal) {
    modal.findChild<QSpinBox*>("rounds")->setValue(4);
    modal.findChild<QSpinBox*>("interval")->setValue(350);
    EXPECT_TRUE(modal.grab().save(folder + "/scan-rounds.png"));
    modal.findChild<QPushButton*>("ok")->click();
  });
  w.AskScanRounds();
  EXPECT_EQ(w.scanRounds(), (pelmar::ScanRounds{4, 350}));
  EXPECT_EQ(pelmar::LoadScanRounds(pelmar::ScanRoundsPath(options.settingsPath)),
            (pelmar::ScanRounds{4, 350}));
  EXPECT_FALSE(std::ifstream(options.settingsPath).good()) << "settings.dat is not written";
  // Cancel keeps it.
  test_support::AnswerModal<QWidget>("the Scan rounds dialog", [](QWidget& modal) {
    modal.findChild<QSpinBox*>("rounds")->setValue(1);
    modal.findChild<QPushButton*>("cancel")->click();
  });
  w.AskScanRounds();
  EXPECT_EQ(w.scanRounds().rounds, 4u);
}

}  // namespace
}  // namespace pelmar_test
