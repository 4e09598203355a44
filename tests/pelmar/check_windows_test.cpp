// The doctor's window and the recovery window, each on its own: what they
// show, and, for the recovery, that one module alone gets an address and the
// server stops once it answers with it. With SHOT_DIR set, each window is
// also saved there as a PNG.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <atomic>
#include <cstring>
#include <string>

#include "dhcp_recovery_window.h"
#include "dhcp_wire_lab.h"
#include "doctor.h"
#include "doctor_report.h"
#include "entry_points.h"
#include "host_and_peer.h"
#include "doctor_window.h"
#include "netns.h"

namespace {

template <typename Pred>
bool ProcessUntil(Pred pred, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!pred()) {
    if (clock.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void SaveShot(QWidget& window, const char* name) {
  const QByteArray folder = qgetenv("SHOT_DIR");
  if (folder.isEmpty()) return;
  window.show();
  QApplication::processEvents();
  window.grab().save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(name));
}

pelmar::DoctorFacts FactsWithOneFault() {
  pelmar::DoctorFacts facts;
  pelmar::InterfaceFacts lo, eth0, eth1;
  lo.name = "lo";
  lo.up = true;
  lo.address = "127.0.0.1";
  lo.mask = "255.0.0.0";
  lo.kind = pelmar::InterfaceKind::kLoopback;
  eth0.name = "eth0";
  eth0.up = true;
  eth0.address = "10.77.0.1";
  eth0.mask = "255.255.255.0";
  eth1.name = "eth1";
  facts.interfaces = {lo, eth0, eth1};
  facts.scans = {{"eth0", "10.77.0.1", true, "", 12}};
  facts.firewall.readable = true;
  facts.dhcp.programs = {{"pelmar", "/usr/local/bin/pelmar", false},
                         {"pelmar-dhcpd", "/usr/local/bin/pelmar-dhcpd", true}};
  return facts;
}

TEST(DoctorWindow, ShowsTheReportAndHandsBackAfterEachCheck) {
  int finished = 0;
  pelmar::CDoctorDlg window([] { return pelmar::BuildDoctorReport(FactsWithOneFault()); },
                            [&] { ++finished; });
  window.Check();
  ASSERT_TRUE(ProcessUntil([&] { return finished == 1; }, 5000));
  EXPECT_FALSE(window.checking());
  EXPECT_EQ(window.summary(), "2 finding(s); each names the command that fixes it.");
  for (const char* part : {"eth1        down", "12 modules", "fix: sudo ip link set eth1 up",
                           "fix: sudo setcap cap_net_bind_service=+ep /usr/local/bin/pelmar"})
    EXPECT_TRUE(window.reportText().contains(QLatin1String(part))) << part;
  SaveShot(window, "doctor-window.png");
  window.Check();  // "Check again"
  ASSERT_TRUE(ProcessUntil([&] { return finished == 2; }, 5000));
}

// The real check with the library, through the window, on a wire with two
// simulated modules.
TEST(DoctorWindow, RealCheckCountsTheModulesOnTheWire) {
  net_test::HostAndPeer net;
  NETNS_REQUIRE(net.lab);
  ASSERT_TRUE(net.SetUp()) << net.lab.error();
  ASSERT_FALSE(net.StartSimulator(MDSP_SIM_PATH, R"({"modules": [
    {"mac": "02-00-00-00-10-01", "protocol": "text", "ip": "10.77.0.10"},
    {"mac": "02-A7-5E-00-00-05", "protocol": "secure", "ip": "0.0.0.0", "dhcp": true}]})")
                   .empty());
  const pelmar::LibraryApi& api = pelmar::LinkedLibraryApi();
  ASSERT_TRUE(api.MDSP_Start());
  bool finished = false;
  pelmar::CDoctorDlg window(
      [&api] {
        pelmar::DoctorOptions options;
        options.scanTimeoutMs = 1000;
        return pelmar::RunDoctor(&api, options);
      },
      [&] { finished = true; });
  window.Check();
  ASSERT_TRUE(ProcessUntil([&] { return finished; }, 10000));
  api.MDSP_Stop();
  const std::string text = window.reportText().toStdString();
  EXPECT_NE(text.find("h0          10.77.0.1        2 modules"), std::string::npos) << text;
  EXPECT_NE(text.find("Nothing wrong found."), std::string::npos) << text;
  SaveShot(window, "doctor-window-live.png");
}

pelmar::ModuleRecord AskingModule(const char* macText) {
  pelmar::ModuleRecord record;
  pelmar::DhcpHardwareAddress mac;
  pelmar::ParseDhcpHardwareAddress(macText, &mac);
  std::memcpy(record.mac, mac.data(), 6);
  record.macValid = record.ipValid = record.dhcpValid = true;
  record.dhcp = 1;
  return record;
}

// Module 0 of the plant is recovered; module 1 asks on the same switch and
// module 2 behind the server's other interface: neither gets an answer.
TEST(DhcpRecoveryWindow, ServesTheChosenModuleAloneAndStopsOnceItHasItsAddress) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  REQUIRE_BUSYBOX();
  pelmar_test::Plant plant;
  ASSERT_TRUE(pelmar_test::MakePlant(lab, &plant)) << lab.error();
  std::string script = pelmar_test::WriteLeaseScript(lab);
  ASSERT_FALSE(script.empty());
  ASSERT_TRUE(lab.Enter(plant.server));

  const pelmar::ModuleRecord chosen = AskingModule(pelmar_test::kPlantMacs[0]);
  ASSERT_TRUE(pelmar::NeedsDhcpRecovery(chosen));
  pelmar::ModuleRecord answered = chosen;  // how it answers a scan once it has its address
  answered.ip = 0x0AC80105;                // 10.200.1.5
  std::atomic<bool> leased{false};
  int rescans = 0, located = 0;
  pelmar::RecoveryHooks hooks;
  hooks.locate = [](const uint8_t*) { return std::string("s0"); };
  hooks.located = [&] { ++located; };
  hooks.rescan = [&] { ++rescans; };
  hooks.records = [&] {
    return leased ? std::vector<pelmar::ModuleRecord>{answered}
                  : std::vector<pelmar::ModuleRecord>{chosen};
  };
  hooks.settingsServerOn = [] { return false; };
  pelmar::CDhcpRecoveryDlg window(chosen, hooks);
  window.Begin();
  ASSERT_TRUE(ProcessUntil([&] { return window.serving(); }, 5000)) << window.logText().toStdString();
  EXPECT_EQ(located, 1);

  std::string logs[3];
  pid_t clients[3];
  for (int i = 2; i >= 0; --i) {  // the others ask first
    logs[i] = lab.tempDir() + "/udhcpc" + std::to_string(i) + ".log";
    clients[i] = pelmar_test::SpawnUdhcpc(lab, plant.modules[i], "c0", script, i ? 3 : 6, logs[i]);
    ASSERT_GT(clients[i], 0);
  }
  int status = -1;
  ASSERT_TRUE(lab.Reap(clients[0], &status, 15000));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << net_test::ReadFile(logs[0]);
  leased = true;
  ASSERT_TRUE(ProcessUntil([&] { return window.done(); }, 10000)) << window.logText().toStdString();
  EXPECT_FALSE(window.serving());
  EXPECT_GE(rescans, 1);
  const std::string log = window.logText().toStdString();
  for (const char* part : {"offer 02-A7-5E-00-00-05 10.200.1.5 on s0",
                           "ack 02-A7-5E-00-00-05 10.200.1.5 on s0",
                           "02-A7-5E-00-00-05 has taken 10.200.1.5; server stopped"})
    EXPECT_NE(log.find(part), std::string::npos) << part << " in\n" << log;
  EXPECT_EQ(log.find("00-00-06"), std::string::npos) << log;
  EXPECT_EQ(log.find("00-00-07"), std::string::npos) << log;
  for (int i = 1; i <= 2; ++i) {
    ASSERT_TRUE(lab.Reap(clients[i], &status, 15000));
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "module " << i << " got a lease: " << net_test::ReadFile(logs[i]);
  }
  SaveShot(window, "dhcp-recovery-window.png");
}

TEST(DhcpRecoveryWindow, LeavesTheSettingsServerAlone) {
  pelmar::RecoveryHooks hooks;
  bool looked = false;
  hooks.locate = [&](const uint8_t*) {
    looked = true;
    return std::string();
  };
  hooks.settingsServerOn = [] { return true; };
  pelmar::CDhcpRecoveryDlg window(AskingModule("02-A7-5E-00-00-05"), hooks);
  window.Begin();
  QApplication::processEvents();
  EXPECT_TRUE(window.done());
  EXPECT_FALSE(window.serving());
  EXPECT_FALSE(looked);
}

}  // namespace
