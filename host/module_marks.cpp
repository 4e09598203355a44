#include "module_marks.h"

#include <algorithm>
#include <map>

namespace pelmar {

MarkSubject MarkSubjectOf(const ModuleRecord& record) {
  MarkSubject s;
  std::copy(record.mac, record.mac + 6, s.mac.begin());
  s.ipValid = record.ipValid;
  s.ip = record.ip;
  return s;
}

bool IsNoAddress(uint32_t ip) { return ip == 0 || (ip & 0xFFFF0000u) == 0xA9FE0000u; }

ModuleMarks ComputeMarks(std::span<const MarkSubject> modules, std::span<const HostSubnet> subnets,
                         const std::optional<std::set<MacBytes>>& previous) {
  std::map<uint32_t, std::set<MacBytes>> macsByIp;
  for (const MarkSubject& m : modules)
    if (m.ipValid && m.ip != 0) macsByIp[m.ip].insert(m.mac);

  ModuleMarks out;
  out.marks.reserve(modules.size());
  for (const MarkSubject& m : modules) {
    std::vector<std::string> marks;
    if (m.ipValid && m.ip != 0 && macsByIp[m.ip].size() > 1) marks.push_back(kMarkDuplicateIp);
    if (m.ipValid && !IsNoAddress(m.ip) && !subnets.empty() &&
        std::none_of(subnets.begin(), subnets.end(), [&m](const HostSubnet& s) {
          return (m.ip & s.mask) == (s.address & s.mask);
        }))
      marks.push_back(kMarkOtherNetwork);
    if (m.ipValid && IsNoAddress(m.ip)) marks.push_back(kMarkNoAddress);
    if (previous && previous->count(m.mac) == 0) marks.push_back(kMarkNew);
    out.marks.push_back(std::move(marks));
  }
  if (previous) {
    std::set<MacBytes> now;
    for (const MarkSubject& m : modules) now.insert(m.mac);
    for (const MacBytes& mac : *previous)
      if (now.count(mac) == 0) out.gone.push_back(mac);
  }
  return out;
}

bool MarksAllowMove(const std::vector<std::string>& marks) {
  return std::any_of(marks.begin(), marks.end(), [](const std::string& m) {
    return m == kMarkOtherNetwork || m == kMarkNoAddress;
  });
}

std::string MarkExplanation(const std::string& mark) {
  if (mark == kMarkDuplicateIp)
    return "duplicate IP: another module answers with this address too; give one of them "
           "another address (Configuration).";
  if (mark == kMarkOtherNetwork)
    return "other network: the address is outside the subnet of every interface that scans; "
           "Move to this network... gives it a free one.";
  if (mark == kMarkNoAddress)
    return "no address: 0.0.0.0 or 169.254.x.x (DHCP without a server); Move to this "
           "network... gives it a free one.";
  if (mark == kMarkNew) return "new: it did not answer the previous scan.";
  return mark;
}

std::string GoneText(size_t count) {
  if (count == 0) return "";
  if (count == 1) return "1 module no longer answers";
  return std::to_string(count) + " modules no longer answer";
}

}  // namespace pelmar
