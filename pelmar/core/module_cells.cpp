#include "module_cells.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pelmar {

std::vector<ColumnSpec> ParseColumnSpec(const std::string& spec) {
  std::vector<ColumnSpec> columns;
  size_t position = 0;
  while (position < spec.size()) {
    size_t comma = spec.find(',', position);
    if (comma == std::string::npos) break;
    size_t semicolon = spec.find(';', comma + 1);
    std::string width = spec.substr(comma + 1, semicolon == std::string::npos
                                                   ? std::string::npos
                                                   : semicolon - comma - 1);
    columns.push_back({spec.substr(position, comma - position), std::atoi(width.c_str())});
    if (semicolon == std::string::npos) break;
    position = semicolon + 1;
  }
  return columns;
}

std::string DottedQuad(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF,
                v & 0xFF);
  return text;
}

std::string MacText(const uint8_t m[6]) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", m[0], m[1], m[2], m[3], m[4],
                m[5]);
  return text;
}

bool ParseMacText(const std::string& text, uint8_t mac[6]) {
  unsigned v[6];
  if (std::sscanf(text.substr(0, 17).c_str(), "%x-%x-%x-%x-%x-%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) !=
      6)
    return false;
  for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(v[i] & 0xFF);
  return true;
}

CellTexts MakeCellTexts(const ModuleRecord& r) {
  CellTexts cells;
  cells[0] = r.ipValid ? DottedQuad(r.ip) : "N/A";
  cells[1] = r.subnetValid ? DottedQuad(r.subnet) : "N/A";
  cells[2] = r.gatewayValid ? DottedQuad(r.gateway) : "N/A";
  cells[3] = r.dhcpValid ? (r.dhcp ? "On" : "Off") : "N/A";
  if (r.secure) {
    cells[4] = std::string(r.firmwareText, strnlen(r.firmwareText, sizeof r.firmwareText));
    cells[5] = std::string(r.productText, strnlen(r.productText, sizeof r.productText));
  } else {
    if (r.versionValid) {
      char text[32];
      std::snprintf(text, sizeof text, "%u.%02u.%u", unsigned{r.versionMajor},
                    unsigned{r.versionMinor}, unsigned{r.versionBuild});
      cells[4] = text;
    } else {
      cells[4] = "N/A";
    }
    cells[5] = r.typeValid ? std::string(r.typeText, strnlen(r.typeText, sizeof r.typeText)) : "N/A";
  }
  cells[6] = MacText(r.mac);
  return cells;
}

const ModuleRecord* FirstRecordWithMac(std::span<const ModuleRecord> records,
                                       const uint8_t mac[6]) {
  for (const ModuleRecord& record : records)
    if (std::memcmp(record.mac, mac, 6) == 0) return &record;
  return nullptr;
}

int FindRecordByMacText(const std::vector<ModuleRecord>& records, const std::string& macText) {
  uint8_t mac[6];
  if (!ParseMacText(macText, mac)) return -1;
  const ModuleRecord* found = FirstRecordWithMac(records, mac);
  return found ? static_cast<int>(found - records.data()) : -1;
}

}  // namespace pelmar
