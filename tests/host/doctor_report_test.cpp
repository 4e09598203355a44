// The doctor's rules on canned facts: which findings it makes, with which
// fix, and the firewall reading of canned rulesets.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

#include "doctor_report.h"
#include "firewall_rules.h"

namespace {

using pelmar::DoctorFacts;
using pelmar::InterfaceFacts;
using pelmar::InterfaceKind;

InterfaceFacts Nic(const std::string& name, bool up, const std::string& address,
                   InterfaceKind kind = InterfaceKind::kWired) {
  InterfaceFacts nic;
  nic.name = name;
  nic.up = up;
  nic.address = address;
  nic.mask = address.empty() ? "" : "255.255.255.0";
  nic.kind = kind;
  return nic;
}

// A machine with nothing wrong: loopback, one cable with two modules, an
// open firewall, port 67 free, both programs with the capability.
DoctorFacts Clean() {
  DoctorFacts facts;
  InterfaceFacts lo = Nic("lo", true, "127.0.0.1", InterfaceKind::kLoopback);
  lo.ethernetAddress = true;
  facts.interfaces = {lo, Nic("eth0", true, "10.77.0.1")};
  facts.scans = {{"eth0", "10.77.0.1", true, "", 2}};
  facts.firewall.readable = true;
  facts.dhcp.programs = {{"pelmar", "/usr/local/bin/pelmar", true},
                         {"pelmar-dhcpd", "/usr/local/bin/pelmar-dhcpd", true}};
  return facts;
}

struct FindingCase {
  const char* name;
  std::function<void(DoctorFacts&)> change;
  std::vector<std::string> problems;  // parts of each finding's problem, in order
  std::vector<std::string> fixes;     // the fix of each finding, in order
};

TEST(DoctorReport, FindingsAndTheirFixes) {
  const FindingCase cases[] = {
      {"clean machine", [](DoctorFacts&) {}, {}, {}},
      {"down interface",
       [](DoctorFacts& f) { f.interfaces.push_back(Nic("eth1", false, "10.88.0.1")); },
       {"eth1 is down"},
       {"sudo ip link set eth1 up"}},
      {"interface without IPv4",
       [](DoctorFacts& f) { f.interfaces.push_back(Nic("eth1", true, "")); },
       {"eth1 has no IPv4 address"},
       {"sudo ip address add 192.168.0.10/24 dev eth1   # an unused address of the modules' network"}},
      {"loopback, bridge ports and tunnels without Ethernet address are no fault",
       [](DoctorFacts& f) {
         InterfaceFacts port = Nic("veth7", true, "", InterfaceKind::kVirtual);
         port.bridgeOf = "br0";
         InterfaceFacts tun = Nic("tun0", true, "", InterfaceKind::kTunnel);
         tun.ethernetAddress = false;
         f.interfaces.push_back(port);
         f.interfaces.push_back(tun);
         f.interfaces.push_back(Nic("lo2", false, "", InterfaceKind::kLoopback));
       },
       {},
       {}},
      {"firewall drops answers and a scan saw none",
       [](DoctorFacts& f) {
         f.scans[0].modules = 0;
         f.firewall.dropsAnswers = true;
         f.firewall.where = "inet filter input";
         f.firewall.rule = "policy drop";
         f.firewall.fixCommand = "sudo nft insert rule inet filter input udp sport 3250 accept";
       },
       {"the firewall (inet filter input, policy drop) drops"},
       {"sudo nft insert rule inet filter input udp sport 3250 accept"}},
      {"a dropping firewall is no finding while every scan sees modules",
       [](DoctorFacts& f) {
         f.firewall.dropsAnswers = true;
         f.firewall.fixCommand = "x";
       },
       {},
       {}},
      {"port 67 held by a known process",
       [](DoctorFacts& f) {
         f.dhcp.port67Busy = true;
         f.dhcp.port67Holder = "dnsmasq (pid 812)";
         f.dhcp.port67HolderPid = 812;
       },
       {"UDP port 67 is taken by dnsmasq (pid 812)"},
       {"sudo kill 812"}},
      {"port 67 held by a process this user cannot see",
       [](DoctorFacts& f) { f.dhcp.port67Busy = true; },
       {"UDP port 67 is taken by another program"},
       {"sudo fuser -k 67/udp"}},
      {"capability missing on one program",
       [](DoctorFacts& f) { f.dhcp.programs[1].capability = false; },
       {"pelmar-dhcpd may not open port 67"},
       {"sudo setcap cap_net_bind_service=+ep /usr/local/bin/pelmar-dhcpd"}},
      {"capability missing but root",
       [](DoctorFacts& f) {
         f.dhcp.programs[0].capability = f.dhcp.programs[1].capability = false;
         f.dhcp.root = true;
       },
       {},
       {}},
      {"capability missing but low ports are open to everyone",
       [](DoctorFacts& f) {
         f.dhcp.programs[0].capability = false;
         f.dhcp.unprivilegedPortStart = 0;
       },
       {},
       {}},
      {"a program not found is a note, not a finding",
       [](DoctorFacts& f) { f.dhcp.programs[0].path.clear(); },
       {},
       {}},
      {"several at once keep their order",
       [](DoctorFacts& f) {
         f.interfaces.push_back(Nic("eth1", false, ""));
         f.dhcp.port67Busy = true;
         f.dhcp.programs[0].capability = false;
       },
       {"eth1 is down", "port 67 is taken", "pelmar may not open port 67"},
       {"sudo ip link set eth1 up", "sudo fuser -k 67/udp",
        "sudo setcap cap_net_bind_service=+ep /usr/local/bin/pelmar"}},
  };
  for (const FindingCase& c : cases) {
    SCOPED_TRACE(c.name);
    DoctorFacts facts = Clean();
    c.change(facts);
    pelmar::DoctorReport report = pelmar::BuildDoctorReport(facts);
    ASSERT_EQ(report.findings.size(), c.problems.size()) << pelmar::DoctorReportText(report);
    for (size_t i = 0; i < c.problems.size(); ++i) {
      EXPECT_NE(report.findings[i].problem.find(c.problems[i]), std::string::npos)
          << report.findings[i].problem;
      EXPECT_EQ(report.findings[i].fix, c.fixes[i]);
    }
    EXPECT_EQ(report.healthy(), c.problems.empty());
    std::string text = pelmar::DoctorReportText(report);
    EXPECT_EQ(text.find("Nothing wrong found.") != std::string::npos, c.problems.empty()) << text;
    for (const std::string& fix : c.fixes)
      EXPECT_NE(text.find("fix: " + fix), std::string::npos) << text;
    nlohmann::json json = nlohmann::json::parse(pelmar::DoctorReportJson(report));
    EXPECT_EQ(json["findings"].size(), c.problems.size());
    EXPECT_EQ(json["healthy"], c.problems.empty());
    EXPECT_EQ(json["interfaces"].size(), facts.interfaces.size());
  }
}

// Interface names are bytes: one that is not UTF-8 still gives valid JSON.
TEST(DoctorReport, JsonOfANameThatIsNotUtf8) {
  DoctorFacts facts = Clean();
  facts.interfaces.push_back(Nic("e\x1b]0;x\x07\xff", false, ""));
  const pelmar::DoctorReport report = pelmar::BuildDoctorReport(facts);
  std::string text;
  ASSERT_NO_THROW(text = pelmar::DoctorReportJson(report));
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  ASSERT_FALSE(json.is_discarded()) << text;
  for (unsigned char c : text) EXPECT_LT(c, 0x80);
}

TEST(DoctorReport, RemarksWhereAKindMisleads) {
  InterfaceFacts vpn = Nic("wg0", true, "10.9.0.2", InterfaceKind::kTunnel);
  vpn.ethernetAddress = false;
  vpn.defaultRoute = true;
  InterfaceFacts lonelyBridge = Nic("br0", true, "10.77.0.1", InterfaceKind::kBridge);
  InterfaceFacts fullBridge = Nic("br1", true, "10.78.0.1", InterfaceKind::kBridge);
  fullBridge.bridgeMembers = 2;
  InterfaceFacts wifi = Nic("wlan0", true, "192.168.1.5", InterfaceKind::kWireless);
  InterfaceFacts port = Nic("eth2", true, "");
  port.bridgeOf = "br1";
  DoctorFacts facts = Clean();
  facts.interfaces = {vpn, lonelyBridge, fullBridge, wifi, port, Nic("eth0", true, "10.1.0.1")};
  pelmar::DoctorReport report = pelmar::BuildDoctorReport(facts);
  ASSERT_EQ(report.interfaceRemarks.size(), 6u);
  EXPECT_NE(report.interfaceRemarks[0].find("default route"), std::string::npos);
  EXPECT_NE(report.interfaceRemarks[1].find("bridge without members"), std::string::npos);
  EXPECT_EQ(report.interfaceRemarks[2], "");
  EXPECT_NE(report.interfaceRemarks[3].find("wireless"), std::string::npos);
  EXPECT_NE(report.interfaceRemarks[4].find("member of bridge br1"), std::string::npos);
  EXPECT_EQ(report.interfaceRemarks[5], "");
  // A tunnel without Ethernet address is not scanned: the library needs one.
  EXPECT_FALSE(pelmar::ScansUse(vpn));
  EXPECT_TRUE(pelmar::ScansUse(wifi));
  EXPECT_TRUE(report.healthy());
}

TEST(DoctorReport, UnreadableFirewallIsANoteOnlyWhenAScanSawNone) {
  DoctorFacts facts = Clean();
  facts.firewall.readable = false;
  facts.firewall.unreadableWhy = "nft: Operation not permitted; reading it needs root";
  EXPECT_TRUE(pelmar::BuildDoctorReport(facts).notes.empty());
  facts.scans[0].modules = 0;
  pelmar::DoctorReport report = pelmar::BuildDoctorReport(facts);
  ASSERT_EQ(report.notes.size(), 1u);
  EXPECT_NE(report.notes[0].find("could not be read (nft: Operation not permitted"),
            std::string::npos);
  EXPECT_TRUE(report.healthy());
}

struct RulesetCase {
  const char* name;
  const char* chainAndRules;  // items after the table
  bool drops;
  const char* rule;
};

std::string Ruleset(const std::string& items) {
  return R"({"nftables": [{"metainfo": {"version": "1.0.6"}},
    {"table": {"family": "inet", "name": "filter", "handle": 1}})" +
         (items.empty() ? "" : "," + items) + "]}";
}

#define INPUT_CHAIN(policy)                                                                  \
  R"({"chain": {"family": "inet", "table": "filter", "name": "input", "handle": 1, "type": "filter", "hook": "input", "prio": 0, "policy": ")" policy R"("}})"
#define RULE(handle, exprs) \
  R"(,{"rule": {"family": "inet", "table": "filter", "chain": "input", "handle": )" #handle R"(, "expr": [)" exprs "]}}"
#define SPORT(port) R"({"match": {"op": "==", "left": {"payload": {"protocol": "udp", "field": "sport"}}, "right": )" #port "}}"

TEST(FirewallRules, WhetherAnswersFromPort3250GetIn) {
  const RulesetCase cases[] = {
      {"no chains", "", false, ""},
      {"accepting input chain", INPUT_CHAIN("accept"), false, ""},
      {"policy drop", INPUT_CHAIN("drop"), true, "policy drop"},
      {"policy drop after an accept of port 3250",
       INPUT_CHAIN("drop") RULE(4, SPORT(3250) R"(,{"accept": null})"), false, ""},
      {"policy drop after an accept of another port",
       INPUT_CHAIN("drop") RULE(4, SPORT(53) R"(,{"accept": null})"), true, "policy drop"},
      {"explicit drop of port 3250",
       INPUT_CHAIN("accept") RULE(7, SPORT(3250) R"(,{"counter": {"packets": 0, "bytes": 0}},{"drop": null})"),
       true, "rule handle 7, drop"},
      {"port 3250 in a dropped set",
       INPUT_CHAIN("accept") RULE(8, R"({"match": {"op": "==", "left": {"payload": {"protocol": "udp", "field": "sport"}}, "right": {"set": [53, 3250]}}},{"reject": null})"),
       true, "rule handle 8, reject"},
      {"drop of tcp only",
       INPUT_CHAIN("accept") RULE(9, R"({"match": {"op": "==", "left": {"payload": {"protocol": "tcp", "field": "dport"}}, "right": 22}},{"drop": null})"),
       false, ""},
      {"established-only accept does not let broadcast answers in",
       INPUT_CHAIN("drop") RULE(2, R"({"match": {"op": "in", "left": {"ct": {"key": "state"}}, "right": ["established", "related"]}},{"accept": null})"),
       true, "policy drop"},
      {"loopback accept does not count",
       INPUT_CHAIN("drop") RULE(3, R"({"match": {"op": "==", "left": {"meta": {"key": "iifname"}}, "right": "lo"}},{"accept": null})"),
       true, "policy drop"},
      {"drop of everything",
       INPUT_CHAIN("accept") RULE(5, R"({"drop": null})"), true, "rule handle 5, drop"},
      {"a chain of another hook is not read",
       R"({"chain": {"family": "inet", "table": "filter", "name": "output", "handle": 2, "type": "filter", "hook": "output", "prio": 0, "policy": "drop"}})",
       false, ""},
  };
  for (const RulesetCase& c : cases) {
    SCOPED_TRACE(c.name);
    pelmar::FirewallFacts facts = pelmar::AnalyseNftRuleset(Ruleset(c.chainAndRules));
    EXPECT_TRUE(facts.readable) << facts.unreadableWhy;
    EXPECT_EQ(facts.dropsAnswers, c.drops);
    EXPECT_EQ(facts.rule, c.rule);
    if (c.drops) {
      EXPECT_EQ(facts.where, "inet filter input");
      EXPECT_EQ(facts.fixCommand, "sudo nft insert rule inet filter input udp sport 3250 accept");
    }
  }
  pelmar::FirewallFacts broken = pelmar::AnalyseNftRuleset("Error: Operation not permitted");
  EXPECT_FALSE(broken.readable);
  EXPECT_FALSE(broken.dropsAnswers);
}

}  // namespace
