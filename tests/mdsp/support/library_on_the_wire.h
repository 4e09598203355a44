// A fresh library in the host namespace of a host-and-peer wire; the test
// thread runs in the host namespace, the peer plays the modules.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "host_and_peer.h"
#include "library_reset.h"
#include "log_capture.h"
#include "mdsp.h"
#include "netns.h"
#include "udp_probe.h"

namespace mdsp_test {

class LibraryOnTheWire : public FreshLibrary {
 protected:
  explicit LibraryOnTheWire(std::string peerCidr = "10.77.0.2/24")
      : peerCidr_(std::move(peerCidr)) {}
  void SetUp() override {
    FreshLibrary::SetUp();
    ready_ = net_.SetUp(peerCidr_);
  }
  void TearDown() override {
    MDSP_Stop();
    FreshLibrary::TearDown();  // closes the library's sockets inside the namespace
  }

  // Datagrams the simulator has sent so far, by its log.
  static size_t SimulatorSent(const std::string& simLog) {
    return net_test::SimDatagramsHex(net_test::ReadFile(simLog), "tx").size();
  }

  // Waits until the simulator has sent `count` datagrams beyond `sentBefore`
  // and the library has read every one of them: a marker sent from the
  // peer's wire once they are out is queued behind them, and the library
  // handles its datagrams in the order they came. Afterwards nothing that
  // answer may still raise is on its way. `handled`, when given, is waited
  // for before the marker goes out, so that an answer the kernel delivers
  // late is still counted.
  bool SimulatorAnswersRead(const std::string& simLog, size_t sentBefore, size_t count,
                            const std::function<bool()>& handled = {}) {
    if (!net_test::WaitFor([&] { return SimulatorSent(simLog) >= sentBefore + count; }, 10000))
      return false;
    if (handled && !net_test::WaitFor(handled, 10000)) return false;
    if (!wireLog_) wireLog_ = AttachCapture();
    const std::string marker = "peer marker " + std::to_string(++markers_);
    net_test::UdpProbe probe(lab_, peer_, "p0", host_, kMarkerPort);
    if (!probe.ok() || !probe.SendTo(kHostAddress, 3250, marker)) return false;
    return net_test::WaitFor(
        [&] { return wireLog_->CountStartingWith("Data received: '" + marker + "'") == 1; },
        10000);
  }

  net_test::HostAndPeer net_;
  net_test::Lab& lab_ = net_.lab;
  std::string& host_ = net_.host;
  std::string& peer_ = net_.peer;
  bool ready_ = false;

 private:
  // The marker leaves from a port of its own, so that no simulator bound to
  // the modules' port takes it; it goes to the host alone.
  static constexpr uint16_t kMarkerPort = 3251;
  static constexpr char kHostAddress[] = "10.77.0.1";
  std::string peerCidr_;
  CapturingSink* wireLog_ = nullptr;
  int markers_ = 0;
};

}  // namespace mdsp_test

// First line of every test on the wire: skipped (failed under CI=true)
// without namespaces, failed when the wire could not be made.
#define REQUIRE_LAB()  \
  NETNS_REQUIRE(lab_); \
  ASSERT_TRUE(ready_) << lab_.error()
