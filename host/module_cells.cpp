#include "module_cells.h"

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

CellTexts MakeCellTexts(const ModuleRecord& r) {
  ModuleTexts t = DescribeModule(r);
  CellTexts cells;
  cells[0] = t.ip.value_or("N/A");
  cells[1] = t.subnet.value_or("N/A");
  cells[2] = t.gateway.value_or("N/A");
  cells[3] = t.dhcp.value_or("N/A");
  // A secure module's missing texts stay empty cells; a text module's read N/A.
  cells[4] = t.version.value_or(r.secure ? "" : "N/A");
  cells[5] = t.type.value_or(r.secure ? "" : "N/A");
  // The MAC cell shows the record's bytes even when the read failed (zeros).
  cells[6] = MacText(r.mac);
  return cells;
}

const ModuleRecord* FirstRecordWithMac(std::span<const ModuleRecord> records,
                                       const uint8_t mac[6]) {
  for (const ModuleRecord& record : records)
    if (std::memcmp(record.mac, mac, 6) == 0) return &record;
  return nullptr;
}

}  // namespace pelmar
