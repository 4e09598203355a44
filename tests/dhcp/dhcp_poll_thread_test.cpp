// Starting and stopping the poll thread; its polls on a wire are covered by
// the wire tests.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "dhcp_poll_thread.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

TEST(DhcpPollThread, StartsOnceAndStopsByJoining) {
  CDhcpServer server;  // not started: every poll finds nothing
  CDhcpPollThread poller;
  EXPECT_FALSE(poller.Start(nullptr));
  EXPECT_FALSE(poller.Start(&server, nullptr, nullptr, DhcpServePace{0, false}))
      << "a cycle that may take nothing serves nothing ever";
  ASSERT_TRUE(poller.Start(&server));
  EXPECT_TRUE(poller.IsRunning());
  EXPECT_FALSE(poller.Start(&server)) << "a second thread on the same server";
  poller.Stop();
  EXPECT_FALSE(poller.IsRunning());
  poller.Stop();

  // It can be switched on again, and its destructor stops it.
  ASSERT_TRUE(poller.Start(&server));
  CDhcpServer otherServer;
  CDhcpPollThread other;
  ASSERT_TRUE(other.Start(&otherServer));
}

// Waiting for traffic on a socket that cannot be waited on ends the loop and
// says so (pelmar-dhcpd then exits with status 3); polling every 50 ms on it
// keeps going, as the tool's thread always has.
TEST(DhcpPollThread, OnlyTheTrafficPaceGivesUpOnAnUnusableSocket) {
  struct Case {
    DhcpServePace pace;
    bool givesUp;
  } cases[] = {{kDhcpProgramPace, true}, {kDhcpToolPace, false}};
  for (const Case& c : cases) {
    CDhcpServer closed;
    CDhcpPollThread poller;
    ASSERT_TRUE(poller.Start(&closed, nullptr, nullptr, c.pace));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (poller.IsRunning() && c.givesUp && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!c.givesUp) std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(poller.IsRunning(), !c.givesUp) << c.pace.datagramsPerCycle;
    EXPECT_EQ(poller.SocketFailed(), c.givesUp) << c.pace.datagramsPerCycle;
    poller.Stop();
    EXPECT_FALSE(poller.IsRunning());
  }
}

}  // namespace
}  // namespace pelmar_test
