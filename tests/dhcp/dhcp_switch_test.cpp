// The DHCP switch that the Settings command drives, on a real wire inside
// throwaway namespaces only: it binds port 67 and answers by broadcast.
#include <gtest/gtest.h>

#include <dirent.h>

#include <atomic>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "dhcp_packets.h"
#include "dhcp_switch.h"
#include "dhcp_wire_lab.h"
#include "netns.h"
#include "wire_client.h"

namespace pelmar_test {
using namespace pelmar;
namespace {

constexpr int kWaitMs = 10000;

// Threads of this process; a joined thread is gone from the list.
int ThreadCount() {
  DIR* dir = opendir("/proc/self/task");
  if (!dir) return -1;
  int count = 0;
  while (dirent* entry = readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  closedir(dir);
  return count;
}

// Whether port 67 can be bound again: the switch's socket is closed.
bool PortIsFree() {
  CDhcpServer probe;
  return probe.Start() == DhcpStartError::kNone;
}

TEST(DhcpSwitch, ServesBusyboxClientTheRecoveryAddress) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  REQUIRE_BUSYBOX();
  std::string s, m;
  ASSERT_TRUE(MakeServerAndClient(lab, &s, &m, "", "02:a7:5e:0a:0b:2c")) << lab.error();
  std::string script = WriteLeaseScript(lab);
  ASSERT_FALSE(script.empty());

  ASSERT_TRUE(lab.Enter(s));
  AnswerLog log;
  DhcpSwitch dhcp(AnswerLog::Sink, &log);
  std::string failure;
  ASSERT_TRUE(dhcp.SwitchOn(&failure)) << failure;
  EXPECT_TRUE(dhcp.IsOn());

  std::string output;
  EXPECT_TRUE(RunUdhcpc(lab, m, "c0", script, &output)) << output;
  std::string addresses;
  ASSERT_TRUE(Ipv4Addresses(lab, m, "c0", &addresses));
  EXPECT_NE(addresses.find("inet 10.200.1.44/24"), std::string::npos) << addresses << output;

  dhcp.SwitchOff();
  EXPECT_FALSE(dhcp.IsOn());
  EXPECT_TRUE(log.Has(kDhcpOffer));
  EXPECT_TRUE(log.Has(kDhcpAck));
}

TEST(DhcpSwitch, TakenPortGivesTheMessageAndStaysOff) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  std::string s, m;
  ASSERT_TRUE(MakeServerAndClient(lab, &s, &m, "", "02:a7:5e:0a:0b:2c")) << lab.error();
  ASSERT_TRUE(lab.Enter(s));

  CDhcpServer other;
  ASSERT_EQ(other.Start(), DhcpStartError::kNone);
  int threads = ThreadCount();

  // What the Settings command shows the user when switching on fails.
  DhcpSwitch dhcp;
  std::string failure;
  EXPECT_FALSE(dhcp.SwitchOn(&failure));
  EXPECT_EQ(failure.rfind("DHCP server init failed\n", 0), 0u) << failure;
  EXPECT_NE(failure.find(DhcpStartErrorText(DhcpStartError::kPortInUse)), std::string::npos)
      << failure;
  EXPECT_FALSE(dhcp.IsOn());
  EXPECT_EQ(ThreadCount(), threads) << "a poll thread runs for a server that never started";

  // Once the port is free, switching on again works.
  other.Stop();
  failure.clear();
  EXPECT_TRUE(dhcp.SwitchOn(&failure)) << failure;
  EXPECT_TRUE(failure.empty());
  EXPECT_TRUE(dhcp.IsOn());
}

bool IsOfferTo(const Bytes& reply, const uint8_t mac[6]) {
  return reply.size() == 300 && std::memcmp(&reply[28], mac, 6) == 0 && reply[242] == kDhcpOffer;
}

// Narrowed as for the recovery of one module: only that module, only on its
// cable. One client socket per cable poses as every client there.
TEST(DhcpSwitch, ScopedServesOneModuleOnOneCable) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  std::string s, m;
  ASSERT_TRUE(MakeServerAndClient(lab, &s, &m, "10.200.1.2/24", "")) << lab.error();
  std::string o = lab.AddNamespace("o");
  ASSERT_FALSE(o.empty());
  ASSERT_TRUE(lab.Link(s, "s1", "10.99.0.1/24", "", o, "o0", "10.99.0.2/24", "")) << lab.error();
  ASSERT_TRUE(lab.Run(o, "ip route add default dev o0"));

  ASSERT_TRUE(lab.Enter(s));
  AnswerLog log;
  DhcpSwitch dhcp(AnswerLog::Sink, &log);
  DhcpScope scope;
  scope.interfaceName = "s0";
  scope.allowedClients.push_back({0x02, 0xA7, 0x5E, 0x0A, 0x0B, 0x2C});
  std::string failure;
  ASSERT_TRUE(dhcp.SwitchOn(scope, &failure)) << failure;
  ASSERT_TRUE(lab.Enter(m));
  WireClient cable;
  ASSERT_TRUE(cable.Open());
  ASSERT_TRUE(lab.Enter(o));
  WireClient otherCable;
  ASSERT_TRUE(otherCable.Open());

  // A sibling of the family on the same cable and the module on another
  // cable ask before it: an answer to either would come first.
  const uint8_t sibling[6] = {0x02, 0xA7, 0x5E, 0x0A, 0x0B, 0x2D};
  ASSERT_TRUE(cable.Broadcast(pelmar_test::Discover(sibling)));
  ASSERT_TRUE(otherCable.Broadcast(pelmar_test::Discover(kRecoveryMac)));
  ASSERT_TRUE(cable.Broadcast(pelmar_test::Discover(kRecoveryMac)));
  EXPECT_TRUE(IsOfferTo(cable.Receive(kWaitMs), kRecoveryMac));
  // Asked again once all of the above had arrived: its answer closes the round.
  ASSERT_TRUE(cable.Broadcast(pelmar_test::Discover(kRecoveryMac)));
  EXPECT_TRUE(IsOfferTo(cable.Receive(kWaitMs), kRecoveryMac));
  EXPECT_TRUE(otherCable.Receive(0).empty()) << "answered on a cable outside the scope";

  dhcp.SwitchOff();
  ASSERT_EQ(log.answers.size(), 2u);
  for (const DhcpAnswer& a : log.answers) {
    EXPECT_EQ(0, std::memcmp(a.hardwareAddress, kRecoveryMac, 6));
    EXPECT_STREQ(a.interfaceName, "s0");
  }
}

// Marks the end of the poll thread: thread-local destructors run before a
// join of the thread returns, so after a join the mark is always set. It also
// notes whether port 67 was still taken at that moment, that is whether the
// socket was closed only after the thread had ended.
struct ThreadEndMark {
  std::atomic<bool>* ended = nullptr;
  std::atomic<bool>* portTakenAtEnd = nullptr;
  ~ThreadEndMark() {
    // The poll thread runs in the server's namespace, so the probe does too.
    if (portTakenAtEnd) portTakenAtEnd->store(!PortIsFree());
    if (ended) ended->store(true);
  }
};
thread_local ThreadEndMark endMark;

struct PollThreadProbe {
  std::atomic<bool> answered{false};
  std::atomic<bool> ended{false};
  std::atomic<bool> portTakenAtEnd{false};

  static void Sink(const DhcpAnswer&, void* context) {
    auto* probe = static_cast<PollThreadProbe*>(context);
    endMark.ended = &probe->ended;
    endMark.portTakenAtEnd = &probe->portTakenAtEnd;
    probe->answered.store(true);
  }
  // A discover from the module side; must be called inside that namespace.
  bool Provoke() {
    pelmar_test::WireClient client;
    if (!client.Open() || !client.Broadcast(pelmar_test::Discover(pelmar_test::kRecoveryMac)))
      return false;
    // The sink runs just after the reply left, possibly after it arrived.
    return !client.Receive(kWaitMs).empty() &&
           net_test::WaitFor([this] { return answered.load(); }, kWaitMs);
  }
};

TEST(DhcpSwitch, SwitchingOffJoinsTheThreadThenClosesTheSocket) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  std::string s, m;
  ASSERT_TRUE(MakeServerAndClient(lab, &s, &m, "10.200.1.2/24", "")) << lab.error();

  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(lab.Enter(s));
    PollThreadProbe probe;
    DhcpSwitch dhcp(PollThreadProbe::Sink, &probe);
    std::string failure;
    ASSERT_TRUE(dhcp.SwitchOn(&failure)) << failure;
    EXPECT_TRUE(dhcp.SwitchOn(&failure)) << "switching on twice starts nothing new";
    EXPECT_FALSE(PortIsFree());
    ASSERT_TRUE(lab.Enter(m));
    ASSERT_TRUE(probe.Provoke());
    EXPECT_FALSE(probe.ended.load());

    dhcp.SwitchOff();
    EXPECT_FALSE(dhcp.IsOn());
    EXPECT_TRUE(probe.ended.load()) << "switched off before the thread was joined";
    EXPECT_TRUE(probe.portTakenAtEnd.load()) << "the socket was closed while the thread ran";
    ASSERT_TRUE(lab.Enter(s));
    EXPECT_TRUE(PortIsFree());
  }
}

TEST(DhcpSwitch, DestroyedWhileOnEndsCleanly) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  std::string s, m;
  ASSERT_TRUE(MakeServerAndClient(lab, &s, &m, "10.200.1.2/24", "")) << lab.error();

  PollThreadProbe probe;
  {
    ASSERT_TRUE(lab.Enter(s));
    DhcpSwitch dhcp(PollThreadProbe::Sink, &probe);
    std::string failure;
    ASSERT_TRUE(dhcp.SwitchOn(&failure)) << failure;
    ASSERT_TRUE(lab.Enter(m));
    ASSERT_TRUE(probe.Provoke());
    // More traffic for the poll thread while its owner goes away.
    pelmar_test::WireClient client;
    ASSERT_TRUE(client.Open());
    for (int i = 0; i < 5; ++i)
      ASSERT_TRUE(client.Broadcast(pelmar_test::Discover(pelmar_test::kRecoveryMac)));
  }
  EXPECT_TRUE(probe.ended.load()) << "the poll thread outlived its switch";
  EXPECT_TRUE(probe.portTakenAtEnd.load()) << "the socket was closed while the thread ran";
  ASSERT_TRUE(lab.Enter(s));
  EXPECT_TRUE(PortIsFree());
}

}  // namespace
}  // namespace pelmar_test
