// The sockets and the receive step on a real wire, between namespaces made
// by each test: the library in a host namespace, plain sockets as peers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "client.h"
#include "library_on_the_wire.h"
#include "log_capture.h"
#include "manual_clock.h"
#include "mdsp.h"
#include "netns.h"
#include "state/socket_set.h"
#include "udp_probe.h"

namespace mdsp_test {
namespace {

using namespace mdsp;
using PeerSocket = net_test::UdpProbe;

class Transport : public mdsp_test::LibraryOnTheWire {
 protected:
  // The peer sits in a foreign subnet: answers must arrive all the same.
  Transport() : LibraryOnTheWire("192.168.99.5/24") {}

  bool SendTextNow(const char* text) {
    Client& client = *TheClient();
    std::lock_guard<mdsp::SocketLock> guard(client.socketLock);
    return SendText(*client.sockets, text);
  }
  uint32_t LibraryOpenCount() {
    Client& client = *TheClient();
    std::lock_guard<mdsp::SocketLock> guard(client.socketLock);
    return client.sockets->openCount;
  }
  // Sockets of the namespace bound to port 3250 (hex 0CB2).
  int OpenPortCount() {
    std::string table;
    lab_.Run(host_, "cat /proc/net/udp", &table);
    int count = 0;
    for (size_t at = table.find(":0CB2 "); at != std::string::npos; at = table.find(":0CB2 ", at + 1))
      ++count;
    return count;
  }
};

TEST_F(Transport, ListsTheNamespaceInterfacesExactly) {
  REQUIRE_LAB();
  // A second interface without an address must not be listed.
  ASSERT_TRUE(lab_.Link(host_, "h1", "", "02:00:00:aa:00:02", peer_, "p1", "", ""));
  int32_t count = 0;
  ASSERT_EQ(MDSP_GetNumberOfNics(&count), 0);
  ASSERT_EQ(count, 1);
  uint32_t address = 0;
  uint8_t mac[6] = {};
  char description[64] = {};
  ASSERT_EQ(MDSP_GetNicInfo(0, &address, mac, description, sizeof description), 0);
  EXPECT_EQ(address, 0x0A4D0001u);
  const uint8_t expected[6] = {0x02, 0x00, 0x00, 0xaa, 0x00, 0x01};
  EXPECT_EQ(std::memcmp(mac, expected, 6), 0);
  EXPECT_STREQ(description, "h0");
}

TEST_F(Transport, SendTextReachesThePeerWithItsNul) {
  REQUIRE_LAB();
  PeerSocket peer(lab_, peer_, "p0", host_);
  ASSERT_TRUE(peer.ok());
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  ASSERT_TRUE(SendTextNow("MODULE SCAN"));
  bool got = false;
  std::string datagram = peer.Receive(3000, &got);
  ASSERT_TRUE(got);
  EXPECT_EQ(datagram, std::string("MODULE SCAN\0", 12));
}

TEST_F(Transport, OwnBroadcastComesBackAndIsDroppedAsANotice) {
  REQUIRE_LAB();
  auto* log = mdsp_test::AttachCapture();
  static int events = 0;
  events = 0;
  MDSP_RegisterCallBack([](int32_t, uint8_t*) { ++events; });
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  ASSERT_EQ(MDSP_Start(), 1);
  ASSERT_TRUE(SendTextNow("MODULE SCAN"));
  ASSERT_TRUE(net_test::WaitFor(
      [&] { return log->CountStartingWith("Data received: 'MODULE SCAN'") == 1; }));
  MDSP_Stop();
  EXPECT_EQ(events, 0);
  EXPECT_EQ(TheClient()->responses.count(), 0u);
}

TEST_F(Transport, FullSizeDatagramIsReadWholeAndEmptyOnesDoNotStall) {
  REQUIRE_LAB();
  PeerSocket peer(lab_, peer_, "p0", host_);
  auto* log = mdsp_test::AttachCapture();
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  ASSERT_TRUE(SendTextNow("Configure: 02-00-00-00-00-00;"));  // opens the socket
  // Queued before the worker reads: an empty datagram first, then the rest.
  ASSERT_TRUE(peer.Broadcast("", 0));
  std::string full(1500, 'A');
  ASSERT_TRUE(peer.Broadcast(full));
  ASSERT_TRUE(peer.Broadcast(std::string(1600, 'B')));  // too long: dropped whole
  ASSERT_TRUE(peer.Broadcast("after the empty one"));
  ASSERT_EQ(MDSP_Start(), 1);
  ASSERT_TRUE(net_test::WaitFor([&] {
    return log->CountStartingWith("Data received: 'after the empty one'") == 1;
  }));
  EXPECT_EQ(log->CountStartingWith("Data on socket = 1500\n"), 1u);
  EXPECT_EQ(log->CountStartingWith("Data received: '" + full + "'\n"), 1u);
  EXPECT_EQ(log->CountStartingWith("Data on socket = 0"), 0u);
  EXPECT_EQ(log->CountStartingWith("Data received: 'BBB"), 0u);
}

TEST_F(Transport, BurstOfAnswersFitsTheReceiveBuffer) {
  REQUIRE_LAB();
  PeerSocket peer(lab_, peer_, "p0", host_);
  auto* log = mdsp_test::AttachCapture();
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  ASSERT_TRUE(SendTextNow("MODULE SCAN"));
  // A socket beside the library's: once it has read an answer, the host has
  // handed that answer to the library's socket as well.
  PeerSocket beside(lab_, host_, "h0", host_);
  ASSERT_TRUE(beside.ok());
  auto besideReads = [&](const std::string& wanted) {
    bool got = true;
    while (got)
      if (beside.Receive(5000, &got) == wanted) return true;
    return false;
  };
  // The worker is not running yet: every answer has to wait in the buffer.
  constexpr int kAnswers = 250;
  for (int i = 0; i < kAnswers; ++i) {
    std::string answer = "answer " + std::to_string(1000 + i) + " ";
    answer.resize(300, 'v');
    ASSERT_TRUE(peer.Broadcast(answer));
    ASSERT_TRUE(besideReads(answer)) << i;
  }
  ASSERT_EQ(MDSP_Start(), 1);
  net_test::WaitFor([&] { return log->CountStartingWith("Data on socket = 300") == kAnswers; });
  EXPECT_EQ(log->CountStartingWith("Data on socket = 300"), static_cast<size_t>(kAnswers));
}

TEST_F(Transport, SocketsAreTiedToTheirInterfaceAndShareThePort) {
  REQUIRE_LAB();
  std::string other = lab_.AddNamespace("q");
  ASSERT_TRUE(lab_.Link(host_, "h1", "10.78.0.1/24", "02:00:00:aa:00:02", other, "q0",
                        "10.78.0.9/24", ""));
  // Another program on this host holds the port already.
  PeerSocket bystander(lab_, host_, "h0", host_);
  ASSERT_TRUE(bystander.ok());
  PeerSocket peer(lab_, peer_, "p0", host_);
  PeerSocket stranger(lab_, other, "q0", host_);
  // Sees on the host what arrives at h1, where the library has no socket.
  PeerSocket otherWire(lab_, host_, "h1", host_);
  auto* log = mdsp_test::AttachCapture();

  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  ASSERT_TRUE(SendTextNow("MODULE SCAN"));  // binds beside the bystander
  ASSERT_EQ(MDSP_Start(), 1);
  ASSERT_TRUE(stranger.Broadcast("from the other wire"));
  bool got = false;
  // Once the host has it, an untied socket would have it queued too; the
  // answer from the library's own wire, sent after, is read behind it.
  ASSERT_EQ(otherWire.Receive(5000, &got), "from the other wire");
  ASSERT_TRUE(peer.Broadcast("from a foreign subnet"));
  ASSERT_TRUE(net_test::WaitFor(
      [&] { return log->CountStartingWith("Data received: 'from a foreign subnet'") == 1; }));
  EXPECT_EQ(log->CountStartingWith("Data received: 'from the other wire'"), 0u);
  EXPECT_EQ(bystander.Receive(2000, &got).substr(0, 11), "MODULE SCAN");  // own scan
  MDSP_Stop();

  // A slot with no address listens on every interface, untied; its
  // broadcasts leave by the routing table's choice, so give it a route.
  ASSERT_TRUE(lab_.Run(host_, "ip route add default dev h0"));
  ASSERT_EQ(MDSP_SetNetworkDevice(0, nullptr), 1);
  ASSERT_TRUE(SendTextNow("MODULE SCAN"));
  ASSERT_EQ(MDSP_Start(), 1);
  ASSERT_TRUE(stranger.Broadcast("second try"));
  EXPECT_TRUE(net_test::WaitFor(
      [&] { return log->CountStartingWith("Data received: 'second try'") == 1; }));
}

TEST_F(Transport, IdleSocketsCloseAfterFourSeconds) {
  REQUIRE_LAB();
  mdsp_test::ManualClock clock;
  auto* log = mdsp_test::AttachCapture();
  PeerSocket peer(lab_, peer_, "p0", host_);
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  ASSERT_EQ(MDSP_Start(), 1);
  ASSERT_TRUE(SendTextNow("MODULE SCAN"));
  EXPECT_EQ(OpenPortCount(), 1);
  // Exactly the idle time: still open. A datagram read after the clock moved
  // shows that the worker has looked at the clock since.
  clock.AdvanceMs(kIdleCloseMs);
  ASSERT_TRUE(peer.Broadcast("still open"));
  ASSERT_TRUE(net_test::WaitFor(
      [&] { return log->CountStartingWith("Data received: 'still open'") == 1; }));
  EXPECT_EQ(LibraryOpenCount(), 1u);
  clock.AdvanceMs(1);
  EXPECT_TRUE(net_test::WaitFor([&] { return OpenPortCount() == 0; }, 15000));
  EXPECT_EQ(LibraryOpenCount(), 0u);
  // An answer arriving now finds no socket to land in. Once a bystander on
  // the host has it, it has been delivered to every socket there was; the
  // answer sent after the next send reopened them is then the only one read.
  {
    PeerSocket hostSide(lab_, host_, "h0", host_);
    ASSERT_TRUE(peer.Broadcast("mac = 02-00-00-00-00-09;"));
    bool got = false;
    ASSERT_EQ(hostSide.Receive(5000, &got), "mac = 02-00-00-00-00-09;");
  }
  // The next send opens them again.
  ASSERT_TRUE(SendTextNow("MODULE SCAN"));
  EXPECT_EQ(OpenPortCount(), 1);
  ASSERT_TRUE(peer.Broadcast("after reopening"));
  ASSERT_TRUE(net_test::WaitFor(
      [&] { return log->CountStartingWith("Data received: 'after reopening'") == 1; }));
  EXPECT_EQ(log->CountStartingWith("Data received: 'mac = "), 0u);
}

TEST_F(Transport, SlotThatCannotBindStopsTheSendAndIsRetried) {
  REQUIRE_LAB();
  ASSERT_TRUE(lab_.Link(host_, "h1", "10.78.0.1/24", "", peer_, "p1", "", ""));
  ASSERT_TRUE(lab_.Link(host_, "h2", "10.79.0.1/24", "", peer_, "p2", "", ""));
  PeerSocket peer(lab_, peer_, "p0", host_);
  ASSERT_EQ(MDSP_SetNetworkDevice(0, "10.77.0.1"), 1);
  ASSERT_EQ(MDSP_SetNetworkDevice(1, "10.78.0.1"), 1);
  ASSERT_EQ(MDSP_SetNetworkDevice(2, "10.79.0.1"), 1);
  // The third interface goes away: its socket cannot be tied to it.
  ASSERT_TRUE(lab_.Run(host_, "ip link del h2"));
  EXPECT_FALSE(SendTextNow("MODULE SCAN"));
  EXPECT_EQ(LibraryOpenCount(), 2u);
  // Through an export the socket failure reads as result 2.
  EXPECT_EQ(SMDSP_SendDiscover(nullptr), MDSP_RESULT_SOCKET);

  ASSERT_TRUE(lab_.Link(host_, "h2", "10.79.0.1/24", "", peer_, "p2", "", ""));
  EXPECT_TRUE(SendTextNow("MODULE SCAN again"));
  EXPECT_EQ(LibraryOpenCount(), 3u);
  // Nothing may be sent when a slot cannot open: the retry's datagram is the
  // first the peer sees.
  bool got = false;
  EXPECT_EQ(peer.Receive(3000, &got), std::string("MODULE SCAN again", 18));
  EXPECT_TRUE(got);
}

}  // namespace
}  // namespace mdsp_test
