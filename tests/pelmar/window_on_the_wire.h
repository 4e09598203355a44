// The main window with the real library on a host-and-peer wire: the test
// thread in the host namespace, mdsp-sim on the peer's p0, the program's
// options as the installed tool has them, and the messages it showed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_and_peer.h"
#include "main_dlg.h"
#include "message_box.h"
#include "netns.h"
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
