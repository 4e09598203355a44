// mdsp-sim on a real wire: a veth pair between two throwaway namespaces, the
// simulator in one, a hand-written host in the other.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "addresses.h"
#include "netns.h"
#include "udp_probe.h"

namespace mdspsim_test {
namespace {

using mdspsim::Bytes;

constexpr char kConfig[] = R"({"modules":[
  {"mac":"02-00-00-00-10-01","protocol":"text","hostname":"press-line-1","seed":"k7Q2ZP91",
   "password":"secret"},
  {"mac":"02-00-00-00-10-02","protocol":"text","reply":"unicast","hostname":"cell-2"},
  {"mac":"02-00-00-00-20-01","protocol":"secure","password":"secret","hostname":"valve-2",
   "type":"GW","version":"4.0.2","ip":"192.168.0.20"}
]})";

// Datagrams other than `skip` (our own broadcast looping back) with their
// senders, until `count` arrived or nothing came for timeoutMs.
std::vector<std::pair<std::string, Bytes>> Collect(net_test::UdpProbe& probe, size_t count,
                                                   const Bytes& skip, int timeoutMs = 5000) {
  std::vector<std::pair<std::string, Bytes>> got;
  while (got.size() < count) {
    bool arrived = false;
    std::string from;
    std::string datagram = probe.Receive(timeoutMs, &arrived, &from);
    if (!arrived) break;
    Bytes data(datagram.begin(), datagram.end());
    if (data != skip) got.emplace_back(from, data);
  }
  return got;
}

Bytes Text(const std::string& s) {
  Bytes b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

TEST(SimOnTheWire, AnswersScanDiscoverAndConfigureAcrossAVethPair) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  std::string host = lab.AddNamespace("h");
  std::string peer = lab.AddNamespace("p");
  ASSERT_FALSE(host.empty() || peer.empty()) << lab.error();
  ASSERT_TRUE(lab.Link(host, "simh0", "10.77.0.1/24", "02:00:00:aa:bb:cc", peer, "simp0",
                       "10.77.0.2/24", ""))
      << lab.error();

  std::string dir = lab.tempDir();
  ASSERT_FALSE(dir.empty());
  std::string config = dir + "/modules.json";
  std::string log = dir + "/sim.log";
  std::ofstream(config) << kConfig;
  pid_t sim = lab.Spawn(peer, {MDSP_SIM_PATH, "--iface", "simp0", "--config", config, "--log", log},
                        dir + "/sim.out");
  ASSERT_GT(sim, 0);
  ASSERT_TRUE(net_test::WaitFor(
      [&] { return net_test::ReadFile(log).find("ready simp0 3\n") != std::string::npos; }, 20000))
      << net_test::ReadFile(dir + "/sim.out");

  ASSERT_TRUE(lab.Enter(host));
  // A host socket on port 3250 of one interface, as the library would hold.
  net_test::UdpProbe socket("simh0");
  ASSERT_TRUE(socket.ok());

  // Text scan: both text modules answer, the second one to us directly.
  Bytes scan = Text("MODULE SCAN");
  ASSERT_TRUE(socket.Broadcast(scan.data(), scan.size()));
  auto answers = Collect(socket, 2, scan);
  ASSERT_EQ(answers.size(), 2u);
  std::map<std::string, std::string> byMac;
  for (auto& [from, data] : answers) {
    EXPECT_EQ(from, "10.77.0.2:3250");
    size_t at = AsString(data).find("mac = ");
    ASSERT_NE(at, std::string::npos);
    byMac[AsString(data).substr(at + 6, 17)] = AsString(data);
  }
  EXPECT_EQ(byMac["02-00-00-00-10-01"],
            AsString(Text("protocol version = 1.0;fb type = SIM-IO 16DI;module version = 3.1.7;"
                          "mac = 02-00-00-00-10-01;ip = 192.168.0.10;sn = 255.255.255.0;"
                          "gw = 192.168.0.1;dhcp = off;pswd = on;hn = press-line-1;"
                          "dns1 = 192.168.0.1;dns2 = 0.0.0.0;seed = k7Q2ZP91;"
                          "kernel version = 1.2.3;")));
  EXPECT_NE(byMac["02-00-00-00-10-02"].find(";hn = cell-2;"), std::string::npos);

  // Secure Discover from the host interface's MAC.
  Bytes discover;
  ASSERT_TRUE(mdspsim::FromHex("c1abffffffffffff020000aabbcc00000000", discover));
  ASSERT_TRUE(socket.Broadcast(discover.data(), discover.size()));
  auto replies = Collect(socket, 1, discover);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(mdspsim::ToHex(replies[0].second.data(), replies[0].second.size()),
            "c1ab020000aabbcc02000000200101003800"
            "000101" "0105342e302e32" "02024757" "04041400a8c0" "050400ffffff" "06040100a8c0"
            "07040100a8c0" "080400000000" "090100" "0a0776616c76652d32");

  // Text configure of the module without a password.
  Bytes configure = Text("Configure: 02-00-00-00-10-02;IP = 10.9.8.7;HN = renamed;");
  ASSERT_TRUE(socket.Broadcast(configure.data(), configure.size()));
  auto notice = Collect(socket, 1, configure);
  ASSERT_EQ(notice.size(), 1u);
  EXPECT_EQ(notice[0].second, Text("Reconfigured: 02-00-00-00-10-02"));

  // The log holds every datagram, byte for byte, and the simulator stops cleanly.
  ASSERT_TRUE(net_test::WaitFor([&] {
    return net_test::ReadFile(log).find("event 02-00-00-00-10-02 text-configure reconfigured") !=
           std::string::npos;
  }));
  int status = lab.Stop(sim, SIGTERM, 10000);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::string lines = net_test::ReadFile(log);
  EXPECT_NE(lines.find("rx 10.77.0.1:3250 12 4d4f44554c45205343414e00\n"), std::string::npos)
      << lines;
  EXPECT_NE(lines.find("rx 10.77.0.1:3250 18 c1abffffffffffff020000aabbcc00000000\n"),
            std::string::npos);
  EXPECT_NE(lines.find("tx 10.77.0.1:3250 "), std::string::npos);  // the unicast module
  EXPECT_NE(lines.find("tx 255.255.255.255:3250 "), std::string::npos);
  EXPECT_EQ(lines.find("rx 10.77.0.2:"), std::string::npos);  // own echoes left out
  EXPECT_NE(lines.find("\nstopped\n"), std::string::npos);
}

}  // namespace
}  // namespace mdspsim_test
