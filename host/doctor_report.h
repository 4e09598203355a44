// The doctor's report: what this computer looks like to a scan and to the
// recovery DHCP server, and what to do about each problem. Built from facts
// that platform/doctor_probes gathers, so every rule is tested without a
// network.
#pragma once

#include <string>
#include <vector>

namespace pelmar {

enum class InterfaceKind { kWired, kWireless, kBridge, kVirtual, kTunnel, kLoopback };

const char* InterfaceKindText(InterfaceKind kind);

struct InterfaceFacts {
  std::string name;
  bool up = false;
  std::string address;  // first IPv4 address, "" when it has none
  std::string mask;
  InterfaceKind kind = InterfaceKind::kWired;
  bool ethernetAddress = true;  // a 6-byte hardware address (the library needs one)
  bool defaultRoute = false;    // the IPv4 default route leaves through it
  int bridgeMembers = 0;        // for a bridge; -1 when it could not be told
  std::string bridgeOf;         // the bridge this interface is a member of, or ""
};

// Whether the library's scans go out through it: the same rule as the
// library's own interface list.
bool ScansUse(const InterfaceFacts& nic);

struct ScanOutcome {
  std::string interfaceName;
  std::string address;
  bool ran = false;
  std::string error;  // why it did not run
  int modules = 0;    // distinct MACs that answered
};

// What the firewall does to answers from modules (UDP from port 3250).
struct FirewallFacts {
  bool readable = false;
  std::string unreadableWhy;   // e.g. "nft: Operation not permitted (run as root)"
  bool dropsAnswers = false;
  std::string where;           // "inet filter input"
  std::string rule;            // the dropping rule or "policy drop"
  std::string fixCommand;      // the rule that lets answers in
};

struct ProgramBindFacts {
  std::string name;   // "pelmar", "pelmar-dhcpd"
  std::string path;   // "" when not found
  bool capability = false;  // cap_net_bind_service in the file's permitted and effective sets
};

struct DhcpFacts {
  bool root = false;
  int unprivilegedPortStart = 1024;  // net.ipv4.ip_unprivileged_port_start
  std::vector<ProgramBindFacts> programs;
  bool port67Busy = false;
  std::string port67Holder;  // "dnsmasq (pid 812)", or "" when unknown
  int port67HolderPid = 0;
};

struct DoctorFacts {
  std::vector<InterfaceFacts> interfaces;
  std::vector<ScanOutcome> scans;  // one per interface that scans use
  bool scansSkipped = false;       // --no-scan
  FirewallFacts firewall;
  DhcpFacts dhcp;
};

struct DoctorFinding {
  std::string problem;  // what is wrong, one sentence
  std::string fix;      // the one command that fixes it
};

struct DoctorReport {
  DoctorFacts facts;
  // Parallel to facts.interfaces: why its kind may mislead, or "".
  std::vector<std::string> interfaceRemarks;
  // Things worth knowing that no command fixes (a firewall that could not be read).
  std::vector<std::string> notes;
  std::vector<DoctorFinding> findings;
  bool healthy() const { return findings.empty(); }
};

// Exit code of 'mdspctl doctor' when a finding was made.
inline constexpr int kDoctorExitFindings = 8;

DoctorReport BuildDoctorReport(const DoctorFacts& facts);
// The terminal and window form.
std::string DoctorReportText(const DoctorReport& report);
std::string DoctorReportJson(const DoctorReport& report);

}  // namespace pelmar
