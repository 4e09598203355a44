#include "bulk_plan.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <optional>

#include "mdsp.h"
#include "module_texts.h"

namespace pelmar {
namespace {

std::string Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(text[e - 1]))) --e;
  return std::string(text.substr(b, e - b));
}

std::vector<std::string> SplitCells(std::string_view line) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    size_t comma = line.find(',', start);
    cells.push_back(Trim(line.substr(start, comma == std::string_view::npos ? line.npos
                                                                             : comma - start)));
    if (comma == std::string_view::npos) return cells;
    start = comma + 1;
  }
}

std::optional<uint32_t> ParseAddress(const std::string& text) {
  uint32_t value = 0;
  if (!ParseIpv4Text(text, value)) return std::nullopt;
  return value;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool ContiguousMask(uint32_t mask) { return mask != 0 && (~mask & (~mask + 1)) == 0; }

bool SameSubnet(uint32_t a, uint32_t b, uint32_t mask) { return (a & mask) == (b & mask); }

std::string SubnetText(const HostSubnet& s) {
  int bits = 0;
  for (uint32_t m = s.mask; m; m <<= 1) ++bits;
  return Ipv4Text(s.address & s.mask) + "/" + std::to_string(bits);
}

bool SameMac(const std::array<uint8_t, 6>& a, const uint8_t* b) {
  return std::memcmp(a.data(), b, 6) == 0;
}

}  // namespace

std::vector<BulkEntry> ReadBulkCsv(std::string_view text) {
  std::vector<BulkEntry> entries;
  int lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view raw = text.substr(start, end == text.npos ? text.npos : end - start);
    start = end == text.npos ? text.size() : end + 1;
    ++lineNumber;
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells = SplitCells(line);
    if (Lower(cells[0]) == "mac") continue;  // the header
    BulkEntry entry;
    entry.line = lineNumber;
    auto bad = [&](const std::string& what) { entry.problems.push_back("bad value: " + what); };
    if (cells.size() != 8) {
      bad(std::to_string(cells.size()) + " columns, not the 8 of " + kBulkCsvColumns);
      cells.resize(8);
    }
    if (!ParseMacText(cells[0], entry.mac.data())) bad("mac '" + cells[0] + "'");
    const char* names[] = {"ip", "mask", "gateway", "dns1", "dns2"};
    std::optional<uint32_t>* fields[] = {&entry.plan.ip, &entry.plan.mask, &entry.plan.gateway,
                                         &entry.plan.dns1, &entry.plan.dns2};
    for (int i = 0; i < 5; ++i) {
      const std::string& cell = cells[static_cast<size_t>(i) + 1];
      if (cell.empty()) continue;
      if (auto value = ParseAddress(cell))
        *fields[i] = *value;
      else
        bad(std::string(names[i]) + " '" + cell + "'");
    }
    const std::string dhcp = Lower(cells[6]);
    if (dhcp == "on" || dhcp == "off")
      entry.plan.dhcp = dhcp == "on";
    else if (!dhcp.empty())
      bad("dhcp '" + cells[6] + "' (on or off)");
    if (!cells[7].empty()) {
      if (IsLegalHostName(cells[7]))
        entry.plan.hostName = cells[7];
      else
        bad("hostname '" + cells[7] + "' (only a-z, A-Z, 0-9, _ and -)");
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<BulkEntry> HandOutAddresses(const std::vector<ModuleRecord>& modules, uint32_t first,
                                        uint32_t mask, uint32_t gateway, uint32_t dns1) {
  std::vector<BulkEntry> entries;
  uint32_t next = first;
  for (const ModuleRecord& m : modules) {
    BulkEntry entry;
    std::copy(m.mac, m.mac + 6, entry.mac.begin());
    entry.plan.ip = next++;
    entry.plan.mask = mask;
    entry.plan.gateway = gateway;
    if (dns1) entry.plan.dns1 = dns1;
    entry.plan.dhcp = false;
    entries.push_back(std::move(entry));
  }
  return entries;
}

void CheckBulkPlan(std::vector<BulkEntry>& entries, const std::vector<ModuleRecord>& listed,
                   const std::vector<HostSubnet>& interfaces) {
  // Match entries to modules; a module of both protocols is configured
  // through its secure entry, which confirms requests.
  std::map<std::array<uint8_t, 6>, size_t> firstEntry;
  for (size_t i = 0; i < entries.size(); ++i) {
    BulkEntry& e = entries[i];
    e.module = -1;
    for (size_t m = 0; m < listed.size(); ++m) {
      if (!listed[m].macValid || !SameMac(e.mac, listed[m].mac)) continue;
      if (e.module < 0 || (listed[m].secure && !listed[static_cast<size_t>(e.module)].secure))
        e.module = static_cast<int>(m);
    }
    if (e.module < 0) e.problems.push_back("not listed: no module with this MAC answered");
    else e.secure = listed[static_cast<size_t>(e.module)].secure;
    auto [at, fresh] = firstEntry.emplace(e.mac, i);
    if (!fresh) e.problems.push_back("planned twice (also line " +
                                     std::to_string(entries[at->second].line) + ")");
    if (e.plan.empty()) e.problems.push_back("nothing to change");
  }

  // Where each listed module will be, and from which entry on.
  std::vector<int> entryOf(listed.size(), -1);
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].module >= 0 && entryOf[static_cast<size_t>(entries[i].module)] < 0)
      entryOf[static_cast<size_t>(entries[i].module)] = static_cast<int>(i);

  std::map<uint32_t, size_t> planned;  // new address -> first entry
  for (size_t i = 0; i < entries.size(); ++i) {
    BulkEntry& e = entries[i];
    const ConfigurePlan& p = e.plan;
    const ModuleRecord* module = e.module >= 0 ? &listed[static_cast<size_t>(e.module)] : nullptr;
    const bool dhcpOn = p.dhcp && *p.dhcp;
    if (module && !module->secure) {
      const std::optional<uint32_t>* all[] = {&p.ip, &p.mask, &p.gateway, &p.dns1, &p.dns2};
      for (const auto* a : all)
        if (*a && **a == MDSP_ADDRESS_UNCHANGED) {
          e.problems.push_back("bad value: 255.255.255.255 means \"unchanged\" to a "
                               "text-protocol module");
          break;
        }
      if (!p.hostName && !module->hostNameValid)
        e.problems.push_back("bad value: the module did not report its host name; give one");
    }
    if (p.mask && !ContiguousMask(*p.mask))
      e.problems.push_back("bad value: mask " + Ipv4Text(*p.mask));
    if (!p.ip || dhcpOn) continue;
    const uint32_t ip = *p.ip;
    const uint32_t mask = p.mask ? *p.mask : (module && module->subnetValid ? module->subnet : 0);
    if (ip == 0 || (mask && ContiguousMask(mask) && ((ip & ~mask) == 0 || (ip | mask) == ~0u)))
      e.problems.push_back("bad value: " + Ipv4Text(ip) + " is a network or broadcast address");
    // Only a gateway the plan sets: one the module keeps is its own business.
    const uint32_t gateway = p.gateway ? *p.gateway : 0;
    if (gateway && mask && ContiguousMask(mask) && !SameSubnet(ip, gateway, mask))
      e.problems.push_back("gateway " + Ipv4Text(gateway) + " outside the module's subnet");
    auto [at, fresh] = planned.emplace(ip, i);
    if (!fresh)
      e.problems.push_back("address twice: " + Ipv4Text(ip) + " also planned for " +
                           MacText(entries[at->second].mac.data()));
    // Another listed module that keeps this address, or still holds it when
    // this one gets it.
    for (size_t m = 0; m < listed.size(); ++m) {
      const ModuleRecord& other = listed[m];
      if (static_cast<int>(m) == e.module || !other.ipValid || other.ip != ip) continue;
      if (module && SameMac(e.mac, other.mac)) continue;  // its own other protocol
      const int moved = entryOf[m];
      const bool movedAway = moved >= 0 && moved < static_cast<int>(i) &&
                             entries[static_cast<size_t>(moved)].plan.ip &&
                             *entries[static_cast<size_t>(moved)].plan.ip != ip;
      if (!movedAway) {
        e.problems.push_back("address of another listed module: " + Ipv4Text(ip) + " is " +
                             MacText(other.mac) + "'s");
        break;
      }
    }
    if (!interfaces.empty() &&
        std::none_of(interfaces.begin(), interfaces.end(),
                     [&](const HostSubnet& s) { return SameSubnet(ip, s.address, s.mask); })) {
      std::string nets;
      for (const HostSubnet& s : interfaces) nets += (nets.empty() ? "" : ", ") + SubnetText(s);
      e.problems.push_back("outside the interface's subnet: " + Ipv4Text(ip) + " not in " + nets);
    }
  }
}

bool ReadPasswordLines(std::string_view text,
                       std::vector<std::pair<std::array<uint8_t, 6>, std::string>>& out,
                       std::string& error) {
  int lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line(text.substr(start, end == text.npos ? text.npos : end - start));
    start = end == text.npos ? text.size() : end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trim(line).empty() || Trim(line)[0] == '#') continue;
    const size_t blank = line.find(' ');
    std::array<uint8_t, 6> mac{};
    if (!ParseMacText(line.substr(0, blank), mac.data())) {
      error = "line " + std::to_string(lineNumber) + ": expected \"MAC password\"";
      return false;
    }
    out.emplace_back(mac, blank == std::string::npos ? "" : line.substr(blank + 1));
  }
  return true;
}

bool PlanHasProblems(const std::vector<BulkEntry>& entries) {
  return std::any_of(entries.begin(), entries.end(),
                     [](const BulkEntry& e) { return !e.problems.empty(); });
}

std::string PlanText(const ConfigurePlan& p) {
  std::string text;
  auto add = [&](const std::string& piece) { text += (text.empty() ? "" : ", ") + piece; };
  if (p.ip) add("ip " + Ipv4Text(*p.ip));
  if (p.mask) add("mask " + Ipv4Text(*p.mask));
  if (p.gateway) add("gateway " + Ipv4Text(*p.gateway));
  if (p.dns1) add("dns1 " + Ipv4Text(*p.dns1));
  if (p.dns2) add("dns2 " + Ipv4Text(*p.dns2));
  if (p.dhcp) add(std::string("dhcp ") + (*p.dhcp ? "on" : "off"));
  if (p.hostName) add("hostname " + *p.hostName);
  return text.empty() ? "no change" : text;
}

}  // namespace pelmar
