// A fresh library in the host namespace of a host-and-peer wire; the test
// thread runs in the host namespace, the peer plays the modules.
#pragma once

#include <string>
#include <utility>

#include "host_and_peer.h"
#include "library_reset.h"
#include "mdsp.h"
#include "netns.h"

namespace mdsp_test {

class LibraryOnTheWire : public FreshLibrary {
 protected:
  explicit LibraryOnTheWire(std::string peerCidr = "10.77.0.2/24")
      : peerCidr_(std::move(peerCidr)) {}
  void SetUp() override {
    FreshLibrary::SetUp();
    ready_ = net_.setUp(peerCidr_);
  }
  void TearDown() override {
    MDSP_Stop();
    FreshLibrary::TearDown();  // closes the library's sockets inside the namespace
  }

  testnet::HostAndPeer net_;
  testnet::Lab& lab_ = net_.lab;
  std::string& host_ = net_.host;
  std::string& peer_ = net_.peer;
  bool ready_ = false;

 private:
  std::string peerCidr_;
};

}  // namespace mdsp_test

// First line of every test on the wire: skipped (failed under CI=true)
// without namespaces, failed when the wire could not be made.
#define REQUIRE_LAB()  \
  NETNS_REQUIRE(lab_); \
  ASSERT_TRUE(ready_) << lab_.error()
