// What the marks, Move, the bulk check and the doctor read of the host's
// interfaces, from one walk of the kernel's list, in a namespace made here:
// an interface that is up with two addresses and a default gateway, one
// that is down, and the loopback.
#include <gtest/gtest.h>

#include <algorithm>

#include "doctor_probes.h"
#include "host_networks.h"
#include "module_texts.h"
#include "netns.h"

namespace {

std::string NetworkText(const pelmar::HostNetwork& n) {
  return n.name + " " + pelmar::Ipv4Text(n.address) + "/" + pelmar::Ipv4Text(n.mask) + " via " +
         pelmar::Ipv4Text(n.gateway);
}

uint32_t Ip(const char* text) {
  uint32_t address = 0;
  EXPECT_TRUE(pelmar::ParseIpv4Text(text, address)) << text;
  return address;
}

TEST(HostInterfaces, EachReaderSeesWhatItNeedsOfOneHost) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  const std::string host = lab.AddNamespace("h");
  const std::string peer = lab.AddNamespace("p");
  ASSERT_FALSE(host.empty() || peer.empty()) << lab.error();
  ASSERT_TRUE(lab.Link(host, "m0", "10.9.0.1/24", "", peer, "p0", "10.9.0.254/24", ""));
  std::string out;
  ASSERT_TRUE(lab.Run(host,
                      "ip address add 10.9.1.1/24 dev m0 && "
                      "ip route add default via 10.9.0.254 dev m0 && "
                      "ip link add x0 type veth peer name x1 && "
                      "ip address add 10.8.0.1/16 dev x0",
                      &out))
      << out;
  ASSERT_TRUE(lab.Enter(host));

  // Marks and Move: interfaces that are up, loopback left out; the gateway
  // only for the address whose subnet holds it.
  std::vector<std::string> networks;
  for (const auto& n : pelmar::platform::ListHostNetworks()) networks.push_back(NetworkText(n));
  std::sort(networks.begin(), networks.end());
  EXPECT_EQ(networks, (std::vector<std::string>{"m0 10.9.0.1/255.255.255.0 via 10.9.0.254",
                                                "m0 10.9.1.1/255.255.255.0 via 0.0.0.0"}));

  // The bulk check: the subnets of the addresses a scan uses, down or not.
  const auto subnets =
      pelmar::platform::InterfaceSubnets({Ip("10.8.0.1"), Ip("10.9.1.1"), Ip("10.7.0.1")});
  ASSERT_EQ(subnets.size(), 2u);
  for (const auto& s : subnets)
    EXPECT_EQ(s.mask, s.address == Ip("10.8.0.1") ? Ip("255.255.0.0") : Ip("255.255.255.0"));

  // The doctor: every interface once, its first address, up or down, and
  // which one holds the default route.
  std::vector<std::string> facts;
  for (const auto& nic : pelmar::ProbeInterfaces())
    facts.push_back(nic.name + (nic.up ? " up " : " down ") + nic.address + "/" + nic.mask +
                    (nic.defaultRoute ? " default" : "") + (nic.ethernetAddress ? " ether" : ""));
  std::sort(facts.begin(), facts.end());
  EXPECT_EQ(facts, (std::vector<std::string>{"lo up 127.0.0.1/255.0.0.0 ether",
                                             "m0 up 10.9.0.1/255.255.255.0 default ether",
                                             "x0 down 10.8.0.1/255.255.0.0 ether",
                                             "x1 down / ether"}));
}

}  // namespace
