// Starting and stopping the poll thread; its polls on a wire are covered by
// the wire tests.
#include <gtest/gtest.h>

#include "dhcp_poll_thread.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

TEST(DhcpPollThread, StartsOnceAndStopsByJoining) {
  CDhcpServer server;  // not started: every poll finds nothing
  CDhcpPollThread poller;
  EXPECT_FALSE(poller.Start(nullptr));
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

}  // namespace
}  // namespace pelmar_test
