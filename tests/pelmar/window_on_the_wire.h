// The main window with the real library on a host-and-peer wire: the test
// thread in the host namespace, mdsp-sim on the peer's p0, the program's
// options as the installed tool has them, and the messages it showed.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_and_peer.h"
#include "main_dlg.h"
#include "message_box.h"
#include "netns.h"
#include "udp_probe.h"
#include "window_steps.h"

namespace pelmar_test {

class WindowOnTheWire : public ::testing::Test {
 protected:
  void SetUp() override {
    pelmar::SetMessageRecorder([this](const pelmar::ShownMessage& m) { messages.push_back(m); });
    ready_ = net_.SetUp();
    options.libraryPath = std::string(PELMAR_DIR) + "/libmdsp.so";  // as the program finds it
    options.settingsPath = lab_.tempDir() + "/cfg/settings.dat";
    options.collatorLocale = "C";
  }
  void TearDown() override { pelmar::SetMessageRecorder(nullptr); }

  // Datagrams the simulator with that log has received so far.
  static int Received(const std::string& simLog) {
    return static_cast<int>(net_test::SimReceived(simLog).size());
  }

  // Datagrams the simulator with that log has sent so far.
  static size_t Sent(const std::string& simLog) {
    return net_test::SimDatagramsHex(net_test::ReadFile(simLog), "tx").size();
  }

  // Waits until the simulator has sent `count` datagrams beyond `sentBefore`,
  // then has a module of its wire answer once more, from `peerIface` to the
  // host at `hostAddress`, and waits until the window lists that marker
  // module: every answer the simulator sent has been handled by then. The
  // marker's row reads type "MARKER".
  bool MarkerListed(pelmar::CMainDlg& w, const std::string& simLog, size_t sentBefore,
                    size_t count, const std::string& peerIface = "p0",
                    const std::string& hostAddress = "10.77.0.1") {
    if (!net_test::WaitFor([&] { return Sent(simLog) >= sentBefore + count; }, 10000))
      return false;
    char mac[18];
    std::snprintf(mac, sizeof mac, "02-00-00-00-99-%02X", ++markers_ & 0xFF);
    const std::string answer = std::string("protocol version = 1.0;fb type = MARKER;mac = ") +
                               mac + ";ip = 10.99.0.99;";
    net_test::UdpProbe probe(lab_, peer_, peerIface, host_, kMarkerPort);
    if (!probe.ok() || !probe.SendTo(hostAddress, 3250, answer)) return false;
    return Until([&] {
      for (int r = 0; r < w.moduleList()->rowCount(); ++r)
        if (w.moduleList()->CellText(r, pelmar::kColumnMac) == mac) return true;
      return false;
    }, 10000);
  }

  // Sends a marker datagram from the host's `hostIface` to the simulator at
  // `simAddress` and waits until its log shows it: whatever reached that
  // simulator before is logged by then.
  bool SimulatorCaughtUp(const std::string& simLog, const std::string& hostIface,
                         const std::string& simAddress) {
    const std::string marker = "host marker " + std::to_string(++markers_);
    net_test::UdpProbe probe(hostIface, kMarkerPort);
    if (!probe.ok() || !probe.SendTo(simAddress, 3250, marker)) return false;
    return net_test::WaitFor(
        [&] {
          for (const std::string& d : net_test::SimReceived(simLog))
            if (d == marker) return true;
          return false;
        },
        10000);
  }

  // A marker leaves from a port of its own, so that no socket bound to the
  // modules' port on its side takes it.
  static constexpr uint16_t kMarkerPort = 3251;
  int markers_ = 0;

  net_test::HostAndPeer net_;
  net_test::Lab& lab_ = net_.lab;
  const std::string& host_ = net_.host;
  const std::string& peer_ = net_.peer;
  bool ready_ = false;
  pelmar::MainDlgOptions options;
  std::vector<pelmar::ShownMessage> messages;
};

}  // namespace pelmar_test

// First line of every test on the wire: skipped (failed under CI=true)
// without namespaces, failed when the wire could not be made.
#define REQUIRE_LAB()  \
  NETNS_REQUIRE(lab_); \
  ASSERT_TRUE(ready_) << "lab set-up failed " << lab_.error()
