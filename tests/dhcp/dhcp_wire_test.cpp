// The server on a real wire, inside throwaway namespaces only.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dhcp_packets.h"
#include "dhcp_poll_thread.h"
#include "dhcp_server.h"
#include "dhcp_wire_lab.h"
#include "netns.h"
#include "udp_probe.h"
#include "wire_client.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

constexpr int kWaitMs = 10000;

bool PollUntilAnswered(CDhcpServer& server, DhcpAnswer* answer) {
  return net_test::WaitFor([&] { return server.Poll(answer) == 1; }, kWaitMs);
}

bool IsReplyTo(const Bytes& reply, const uint8_t mac[6], uint8_t type) {
  return reply.size() == 300 && reply[0] == 2 && std::memcmp(&reply[28], mac, 6) == 0 &&
         reply[240] == 53 && reply[242] == type;
}

class DhcpWire : public ::testing::Test {
 protected:
  // The server started in "s" and the client's socket open in "c", on a
  // cable where the client has an address; the thread is left in "c".
  void StartServerAndClient() {
    ASSERT_TRUE(MakeServerAndClient(lab, &s, &c, "10.200.1.2/24", "")) << lab.error();
    ASSERT_TRUE(lab.Enter(s));
    ASSERT_EQ(server.Start(), DhcpStartError::kNone);
    ASSERT_TRUE(lab.Enter(c));
    ASSERT_TRUE(client.Open());
  }

  net_test::Lab lab;
  std::string s, c;
  CDhcpServer server;
  WireClient client;
};

}  // namespace

TEST_F(DhcpWire, TwoQueuedMessagesAreAnsweredInTwoPolls) {
  NETNS_REQUIRE(lab);
  ASSERT_NO_FATAL_FAILURE(StartServerAndClient());

  const uint8_t first[6] = {0x02, 0xA7, 0x5E, 0x00, 0x00, 0x01};
  const uint8_t second[6] = {0x02, 0xA7, 0x5E, 0x00, 0x00, 0x02};
  ASSERT_TRUE(client.Broadcast(pelmar_test::Discover(first)));
  ASSERT_TRUE(client.Broadcast(pelmar_test::Discover(second)));

  DhcpAnswer answer;
  ASSERT_TRUE(PollUntilAnswered(server, &answer));
  EXPECT_EQ(answer.address[3], 1);
  EXPECT_TRUE(IsReplyTo(client.Receive(kWaitMs), first, kDhcpOffer));
  // A marker from the server's side, sent once the poll returned: had the
  // poll answered the second message too, that offer would come before it.
  net_test::UdpProbe marker(lab, s, "s0", c, 6767);
  ASSERT_TRUE(marker.ok());
  ASSERT_TRUE(marker.SendTo("10.200.1.2", 68, "marker"));
  EXPECT_EQ(client.Receive(kWaitMs), (Bytes{'m', 'a', 'r', 'k', 'e', 'r'}))
      << "one poll answered more than one message";

  ASSERT_TRUE(PollUntilAnswered(server, &answer));
  EXPECT_EQ(answer.address[3], 2);
  EXPECT_TRUE(IsReplyTo(client.Receive(kWaitMs), second, kDhcpOffer));
  EXPECT_EQ(server.Poll(), 0);
}

// Three requests waiting at once: a cycle takes no more than its limit (the
// tool's 1), and a limit as large as the queue (pelmar-dhcpd's) answers them
// all in one cycle.
TEST_F(DhcpWire, ACycleTakesAtMostItsLimit) {
  NETNS_REQUIRE(lab);
  ASSERT_NO_FATAL_FAILURE(StartServerAndClient());
  // Reaches the server's namespace only after what the client sent before it.
  net_test::UdpProbe marker(lab, s, "s0", c, 6767);
  ASSERT_TRUE(marker.ok());

  struct Case {
    int limit;
    std::vector<int> takenPerCycle;
  } cases[] = {{1, {1, 1, 1, 0}}, {2, {2, 1, 0}}, {64, {3, 0}}};
  for (const Case& k : cases) {
    for (uint8_t last = 1; last <= 3; ++last) {
      const uint8_t mac[6] = {0x02, 0xA7, 0x5E, 0x00, 0x00, last};
      ASSERT_TRUE(client.Broadcast(pelmar_test::Discover(mac)));
    }
    ASSERT_TRUE(client.Broadcast(Bytes{'m'}, 6767));
    bool queued = false;
    marker.Receive(kWaitMs, &queued);
    ASSERT_TRUE(queued);

    std::vector<int> taken, answered;
    for (size_t cycle = 0; cycle < k.takenPerCycle.size(); ++cycle) {
      int count = 0;
      taken.push_back(server.ServeCycle(
          k.limit, [](const DhcpAnswer&, void* c) { ++*static_cast<int*>(c); }, &count));
      answered.push_back(count);
    }
    EXPECT_EQ(taken, k.takenPerCycle) << "limit " << k.limit;
    EXPECT_EQ(answered, k.takenPerCycle) << "limit " << k.limit;
    for (uint8_t last = 1; last <= 3; ++last) {
      const uint8_t mac[6] = {0x02, 0xA7, 0x5E, 0x00, 0x00, last};
      EXPECT_TRUE(IsReplyTo(client.Receive(kWaitMs), mac, kDhcpOffer)) << "limit " << k.limit;
    }
  }
}

TEST_F(DhcpWire, AnEmptyDatagramDoesNotBlockTheQueue) {
  NETNS_REQUIRE(lab);
  ASSERT_NO_FATAL_FAILURE(StartServerAndClient());

  // A waiting-byte query reports 0 for an empty datagram at the head of the
  // queue; a server relying on it would never see the discover behind it.
  ASSERT_TRUE(client.Broadcast(Bytes{}));
  ASSERT_TRUE(client.Broadcast(pelmar_test::Discover(kRecoveryMac)));
  ASSERT_TRUE(PollUntilAnswered(server, nullptr));
  EXPECT_TRUE(IsReplyTo(client.Receive(kWaitMs), kRecoveryMac, kDhcpOffer));
}

// The calls a program uses to keep up with any traffic: wait on the socket,
// then take datagrams until none is left.
TEST_F(DhcpWire, ServeOneTellsNothingWaitingFromNotAnswered) {
  NETNS_REQUIRE(lab);
  ASSERT_NO_FATAL_FAILURE(StartServerAndClient());
  EXPECT_EQ(server.ServeOne(), DhcpServeResult::kIdle);
  EXPECT_EQ(server.Wait(-1, 0), DhcpWaitResult::kTimeout);

  const uint8_t foreign[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  const uint8_t asked[4] = {10, 200, 1, 44};
  ASSERT_TRUE(client.Broadcast(Bytes{'j', 'u', 'n', 'k'}));
  ASSERT_TRUE(client.Broadcast(pelmar_test::Discover(foreign)));
  ASSERT_TRUE(client.Broadcast(pelmar_test::Discover(kRecoveryMac)));
  ASSERT_TRUE(client.Broadcast(pelmar_test::RequestFor(kRecoveryMac, asked)));

  // The four may reach the socket one by one: wait again whenever it is empty.
  std::vector<DhcpServeResult> results;
  std::vector<uint8_t> types;
  while (results.size() < 4 && server.Wait(-1, kWaitMs) == DhcpWaitResult::kDatagram) {
    DhcpAnswer answer;
    DhcpServeResult r;
    while (results.size() < 4 && (r = server.ServeOne(&answer)) != DhcpServeResult::kIdle) {
      results.push_back(r);
      if (r == DhcpServeResult::kAnswered) types.push_back(answer.messageType);
    }
  }
  EXPECT_EQ(results, (std::vector<DhcpServeResult>{
                         DhcpServeResult::kIgnored, DhcpServeResult::kIgnored,
                         DhcpServeResult::kAnswered, DhcpServeResult::kAnswered}));
  EXPECT_EQ(types, (std::vector<uint8_t>{kDhcpOffer, kDhcpAck}));
  EXPECT_TRUE(IsReplyTo(client.Receive(kWaitMs), kRecoveryMac, kDhcpOffer));
  EXPECT_TRUE(IsReplyTo(client.Receive(kWaitMs), kRecoveryMac, kDhcpAck));
  EXPECT_EQ(server.ServeOne(), DhcpServeResult::kIdle);

  server.Stop();
  EXPECT_EQ(server.ServeOne(), DhcpServeResult::kIdle);
  EXPECT_EQ(server.Wait(-1, 0), DhcpWaitResult::kError);
}

TEST_F(DhcpWire, WaitEndsOnTheWakeHandleBeforeTraffic) {
  NETNS_REQUIRE(lab);
  ASSERT_NO_FATAL_FAILURE(StartServerAndClient());
  int wake[2];
  ASSERT_EQ(pipe(wake), 0);
  EXPECT_EQ(server.Wait(wake[0], 0), DhcpWaitResult::kTimeout);

  ASSERT_TRUE(client.Broadcast(pelmar_test::Discover(kRecoveryMac)));
  ASSERT_EQ(server.Wait(wake[0], kWaitMs), DhcpWaitResult::kDatagram);

  // A stop request is seen even with a datagram waiting.
  ASSERT_EQ(write(wake[1], "x", 1), 1);
  EXPECT_EQ(server.Wait(wake[0], kWaitMs), DhcpWaitResult::kWake);
  EXPECT_EQ(server.ServeOne(), DhcpServeResult::kAnswered);
  EXPECT_EQ(server.Wait(wake[0], -1), DhcpWaitResult::kWake);
  close(wake[0]);
  close(wake[1]);
}

TEST_F(DhcpWire, ReplyLeavesByTheInterfaceTheRequestCameIn) {
  NETNS_REQUIRE(lab);
  ASSERT_TRUE(MakeServerAndClient(lab, &s, &c, "10.200.1.2/24", "")) << lab.error();
  // A second cable from the server namespace, holding its default route.
  std::string o = lab.AddNamespace("o");
  ASSERT_FALSE(o.empty());
  ASSERT_TRUE(lab.Link(s, "s1", "10.99.0.1/24", "", o, "o0", "10.99.0.2/24", "")) << lab.error();
  ASSERT_TRUE(lab.Run(s, "ip route add default via 10.99.0.2 dev s1"));

  ASSERT_TRUE(lab.Enter(s));
  ASSERT_EQ(server.Start(), DhcpStartError::kNone);
  pelmar_test::WireClient plainSender;
  ASSERT_TRUE(plainSender.Open(0));
  ASSERT_TRUE(lab.Enter(c));
  ASSERT_TRUE(client.Open());
  ASSERT_TRUE(lab.Enter(o));
  pelmar_test::WireClient otherSide;
  ASSERT_TRUE(otherSide.Open());

  // The set-up is meaningful only if a plain broadcast takes the other cable.
  ASSERT_TRUE(plainSender.Broadcast(Bytes{1, 2, 3}, 68));
  ASSERT_EQ(otherSide.Receive(kWaitMs), (Bytes{1, 2, 3}));

  ASSERT_TRUE(client.Broadcast(pelmar_test::Discover(kRecoveryMac)));
  ASSERT_TRUE(PollUntilAnswered(server, nullptr));
  EXPECT_TRUE(IsReplyTo(client.Receive(kWaitMs), kRecoveryMac, kDhcpOffer));
  // A plain broadcast sent after the reply takes the other cable: had the
  // reply gone that way too, it would come before.
  ASSERT_TRUE(plainSender.Broadcast(Bytes{4, 5, 6}, 68));
  EXPECT_EQ(otherSide.Receive(kWaitMs), (Bytes{4, 5, 6})) << "reply went out by the default route";
}

TEST_F(DhcpWire, StartFailuresAreNamed) {
  NETNS_REQUIRE(lab);
  ASSERT_TRUE(MakeServerAndClient(lab, &s, &c, "", "")) << lab.error();
  ASSERT_TRUE(lab.Enter(s));

  CDhcpServer first;
  ASSERT_EQ(first.Start(), DhcpStartError::kNone);
  CDhcpServer second;
  int systemError = 0;
  EXPECT_EQ(second.Start({}, &systemError), DhcpStartError::kPortInUse);
  EXPECT_NE(systemError, 0);
  EXPECT_FALSE(second.IsStarted());
  EXPECT_EQ(second.Poll(), 0);
  EXPECT_EQ(second.Start({"nosuch0", {}}), DhcpStartError::kNoSuchInterface);

  // Once the port is free the start works, also tied to one interface.
  first.Stop();
  EXPECT_EQ(second.Start({"s0", {}}), DhcpStartError::kNone);
  EXPECT_TRUE(second.IsStarted());
}

TEST_F(DhcpWire, BusyboxClientObtainsTheRecoveryAddress) {
  NETNS_REQUIRE(lab);
  REQUIRE_BUSYBOX();
  ASSERT_TRUE(MakeServerAndClient(lab, &s, &c, "", "02:a7:5e:0a:0b:2c")) << lab.error();
  std::string script = WriteLeaseScript(lab);
  ASSERT_FALSE(script.empty());

  ASSERT_TRUE(lab.Enter(s));
  ASSERT_EQ(server.Start(), DhcpStartError::kNone);
  AnswerLog log;
  CDhcpPollThread poller;
  ASSERT_TRUE(poller.Start(&server, AnswerLog::Sink, &log));

  std::string output;
  EXPECT_TRUE(RunUdhcpc(lab, c, "c0", script, &output)) << output;

  std::string addresses;
  ASSERT_TRUE(Ipv4Addresses(lab, c, "c0", &addresses));
  EXPECT_NE(addresses.find("inet 10.200.1.44/24"), std::string::npos) << addresses << output;

  poller.Stop();
  EXPECT_FALSE(poller.IsRunning());
  EXPECT_TRUE(log.Has(kDhcpOffer));
  EXPECT_TRUE(log.Has(kDhcpAck));
}

}  // namespace pelmar_test
