// The seven cell texts of a module row, the column specification, and the
// MAC text of a row read back.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "module_record.h"
#include "module_texts.h"  // MacText, ParseMacText

namespace pelmar {

inline constexpr int kColumnCount = 7;
inline constexpr int kColumnIp = 0;
inline constexpr int kColumnMac = 6;
inline constexpr char kColumnSpec[] = "IP,90;SN,90;GW,90;DHCP,50;Version,50;Type,114;MAC,115";

struct ColumnSpec {
  std::string header;
  int width = 0;
};

// "IP,90;SN,90;..." into header texts and widths (width as by atoi).
std::vector<ColumnSpec> ParseColumnSpec(const std::string& spec);

using CellTexts = std::array<std::string, kColumnCount>;

// IP, SN, GW, DHCP, Version, Type and MAC cells of a record, UTF-8.
CellTexts MakeCellTexts(const ModuleRecord& record);

// The first record with that MAC, or null.
const ModuleRecord* FirstRecordWithMac(std::span<const ModuleRecord> records,
                                       const uint8_t mac[6]);

}  // namespace pelmar
