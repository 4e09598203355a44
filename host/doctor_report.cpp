#include "doctor_report.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace pelmar {
namespace {

constexpr int kDhcpServerPort = 67;

bool IsBridgeMember(const InterfaceFacts& nic) { return !nic.bridgeOf.empty(); }

std::string RemarkFor(const InterfaceFacts& nic) {
  if (IsBridgeMember(nic)) return "member of bridge " + nic.bridgeOf + ": scans use the bridge";
  switch (nic.kind) {
    case InterfaceKind::kTunnel:
      if (nic.defaultRoute)
        return "VPN or tunnel holding the default route: answers meant for the cable "
               "may be routed into it";
      if (!nic.ethernetAddress) return "tunnel without Ethernet address: scans cannot use it";
      return "";
    case InterfaceKind::kBridge:
      if (nic.bridgeMembers == 0) return "bridge without members: no module can be behind it";
      return "";
    case InterfaceKind::kWireless:
      return "wireless: many access points do not pass broadcasts between clients";
    default:
      return "";
  }
}

// Interfaces a person would expect modules behind: loopback, bridge ports and
// tunnels without an Ethernet address never carry scans, so their state is no fault.
bool ExpectedToScan(const InterfaceFacts& nic) {
  return nic.kind != InterfaceKind::kLoopback && !IsBridgeMember(nic) && nic.ethernetAddress;
}

void InterfaceFindings(const InterfaceFacts& nic, std::vector<DoctorFinding>& out) {
  if (!ExpectedToScan(nic)) return;
  if (!nic.up) {
    out.push_back({nic.name + " is down: broadcasts through it reach no module",
                   "sudo ip link set " + nic.name + " up"});
    return;
  }
  if (nic.address.empty())
    out.push_back({nic.name + " has no IPv4 address: scans do not use it",
                   "sudo ip address add 192.168.0.10/24 dev " + nic.name +
                       "   # an unused address of the modules' network"});
}

bool SomeScanSawNone(const DoctorFacts& facts) {
  if (facts.scansSkipped) return true;
  for (const ScanOutcome& scan : facts.scans)
    if (scan.ran && scan.modules == 0) return true;
  return false;
}

void AnswerFindings(const DoctorFacts& facts, DoctorReport& report) {
  for (const ScanOutcome& scan : facts.scans)
    if (!scan.ran)
      report.notes.push_back("the scan through " + scan.interfaceName + " could not run: " +
                             scan.error);
  if (!SomeScanSawNone(facts)) return;
  const FirewallFacts& fw = facts.firewall;
  if (!fw.readable) {
    report.notes.push_back("the firewall could not be read (" + fw.unreadableWhy +
                           "), so it may still be what keeps answers out");
    return;
  }
  if (fw.dropsAnswers)
    report.findings.push_back({"the firewall (" + fw.where + ", " + fw.rule +
                                   ") drops the modules' answers (UDP from port 3250)",
                               fw.fixCommand});
}

void DhcpFindings(const DhcpFacts& dhcp, DoctorReport& report) {
  if (dhcp.port67Busy) {
    std::string holder = dhcp.port67Holder.empty() ? "another program" : dhcp.port67Holder;
    report.findings.push_back(
        {"UDP port 67 is taken by " + holder + ": the recovery DHCP server cannot start",
         dhcp.port67HolderPid > 0 ? "sudo kill " + std::to_string(dhcp.port67HolderPid)
                                  : "sudo fuser -k 67/udp"});
  }
  bool portIsFree = dhcp.root || dhcp.unprivilegedPortStart <= kDhcpServerPort;
  for (const ProgramBindFacts& program : dhcp.programs) {
    if (program.path.empty()) {
      report.notes.push_back(program.name + " was not found beside this program or on PATH");
      continue;
    }
    if (portIsFree || program.capability) continue;
    report.findings.push_back(
        {program.name + " may not open port 67 for this user (no capability on " +
             program.path + ")",
         "sudo setcap cap_net_bind_service=+ep " + program.path});
  }
}

std::string BindRight(const DhcpFacts& dhcp, const ProgramBindFacts& program) {
  if (program.path.empty()) return "not found";
  if (dhcp.root) return "may open port 67 (root)";
  if (program.capability) return "may open port 67 (capability)";
  if (dhcp.unprivilegedPortStart <= kDhcpServerPort) return "may open port 67 (any user may)";
  return "may NOT open port 67";
}

std::string Padded(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

const char* InterfaceKindText(InterfaceKind kind) {
  switch (kind) {
    case InterfaceKind::kWired: return "wired";
    case InterfaceKind::kWireless: return "wireless";
    case InterfaceKind::kBridge: return "bridge";
    case InterfaceKind::kVirtual: return "virtual";
    case InterfaceKind::kTunnel: return "VPN/tunnel";
    case InterfaceKind::kLoopback: return "loopback";
  }
  return "?";
}

bool ScansUse(const InterfaceFacts& nic) {
  return nic.kind != InterfaceKind::kLoopback && nic.ethernetAddress && !nic.address.empty() &&
         nic.address != "0.0.0.0";
}

DoctorReport BuildDoctorReport(const DoctorFacts& facts) {
  DoctorReport report;
  report.facts = facts;
  for (const InterfaceFacts& nic : facts.interfaces) {
    report.interfaceRemarks.push_back(RemarkFor(nic));
    InterfaceFindings(nic, report.findings);
  }
  AnswerFindings(facts, report);
  DhcpFindings(facts.dhcp, report);
  return report;
}

std::string DoctorReportText(const DoctorReport& report) {
  const DoctorFacts& f = report.facts;
  std::string out = "Network interfaces\n";
  for (size_t i = 0; i < f.interfaces.size(); ++i) {
    const InterfaceFacts& nic = f.interfaces[i];
    std::string address = nic.address.empty() ? "no IPv4" : nic.address + "/" + nic.mask;
    out += "  " + Padded(nic.name, 12) + Padded(nic.up ? "up" : "down", 6) + Padded(address, 32) +
           Padded(InterfaceKindText(nic.kind), 12) + (ScansUse(nic) ? "scanned" : "not scanned") +
           "\n";
    if (!report.interfaceRemarks[i].empty()) out += "      " + report.interfaceRemarks[i] + "\n";
  }
  out += "\nAnswers\n";
  if (f.scansSkipped) out += "  not scanned (--no-scan)\n";
  else if (f.scans.empty()) out += "  no interface to scan through\n";
  for (const ScanOutcome& scan : f.scans) {
    out += "  " + Padded(scan.interfaceName, 12) + Padded(scan.address, 17);
    if (!scan.ran) out += "scan failed: " + scan.error + "\n";
    else out += std::to_string(scan.modules) + (scan.modules == 1 ? " module\n" : " modules\n");
  }
  out += "  firewall: ";
  if (!f.firewall.readable) out += "could not be read (" + f.firewall.unreadableWhy + ")\n";
  else if (f.firewall.dropsAnswers) out += "drops answers (" + f.firewall.where + ")\n";
  else out += "lets answers in\n";
  out += "\nDHCP recovery\n";
  out += "  port 67: " + std::string(f.dhcp.port67Busy ? "taken" : "free") +
         (f.dhcp.port67Busy && !f.dhcp.port67Holder.empty() ? " by " + f.dhcp.port67Holder : "") +
         "\n";
  for (const ProgramBindFacts& program : f.dhcp.programs)
    out += "  " + Padded(program.name, 14) + BindRight(f.dhcp, program) +
           (program.path.empty() ? "" : "  " + program.path) + "\n";
  if (!report.notes.empty()) {
    out += "\nNotes\n";
    for (const std::string& note : report.notes) out += "  - " + note + "\n";
  }
  if (report.healthy()) return out + "\nNothing wrong found.\n";
  out += "\nFindings\n";
  for (size_t i = 0; i < report.findings.size(); ++i)
    out += "  " + std::to_string(i + 1) + ". " + report.findings[i].problem + "\n     fix: " +
           report.findings[i].fix + "\n";
  return out;
}

std::string DoctorReportJson(const DoctorReport& report) {
  using nlohmann::json;
  const DoctorFacts& f = report.facts;
  json interfaces = json::array();
  for (size_t i = 0; i < f.interfaces.size(); ++i) {
    const InterfaceFacts& nic = f.interfaces[i];
    interfaces.push_back({{"name", nic.name},
                          {"up", nic.up},
                          {"address", nic.address.empty() ? json(nullptr) : json(nic.address)},
                          {"mask", nic.mask.empty() ? json(nullptr) : json(nic.mask)},
                          {"kind", InterfaceKindText(nic.kind)},
                          {"scanned", ScansUse(nic)},
                          {"remark", report.interfaceRemarks[i]}});
  }
  json scans = json::array();
  for (const ScanOutcome& scan : f.scans) {
    json one = {{"interface", scan.interfaceName}, {"address", scan.address}, {"ran", scan.ran}};
    if (scan.ran) one["modules"] = scan.modules;
    else one["error"] = scan.error;
    scans.push_back(one);
  }
  json firewall = {{"readable", f.firewall.readable}};
  if (!f.firewall.readable) firewall["reason"] = f.firewall.unreadableWhy;
  else firewall["drops_answers"] = f.firewall.dropsAnswers;
  json programs = json::array();
  for (const ProgramBindFacts& program : f.dhcp.programs)
    programs.push_back({{"name", program.name},
                        {"path", program.path.empty() ? json(nullptr) : json(program.path)},
                        {"capability", program.capability},
                        {"may_bind", BindRight(f.dhcp, program).rfind("may open", 0) == 0}});
  json findings = json::array();
  for (const DoctorFinding& finding : report.findings)
    findings.push_back({{"problem", finding.problem}, {"fix", finding.fix}});
  json out = {{"interfaces", interfaces},
              {"scans", scans},
              {"scans_skipped", f.scansSkipped},
              {"firewall", firewall},
              {"dhcp",
               {{"root", f.dhcp.root},
                {"port67_taken", f.dhcp.port67Busy},
                {"port67_holder", f.dhcp.port67Holder},
                {"programs", programs}}},
              {"notes", report.notes},
              {"findings", findings},
              {"healthy", report.healthy()}};
  // ASCII out; a name that is not UTF-8 (interface names are bytes) is
  // replaced, never thrown over.
  return out.dump(2, ' ', true, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace pelmar
