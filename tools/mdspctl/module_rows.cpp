#include "module_rows.h"

#include <algorithm>
#include <cstdio>

#include "api.h"
#include "list_export.h"
#include "mdsp.h"
#include "module_texts.h"
#include "status_cell.h"
#include "visible_text.h"

namespace mdspctl {

ModuleRow ReadModuleRow(uint32_t index, pelmar::SecureCheck check) {
  pelmar::ModuleRecord record;
  pelmar::ReadModuleRecord(Api(), index, &record);
  if (check != pelmar::SecureCheck::ReadOnly && !record.secure) {
    // A secure module with a broken description: read it again as one.
    record.secure = pelmar::IsSecureModule(Api(), index, check);
  }
  const pelmar::ModuleTexts texts = pelmar::DescribeModule(record);
  ModuleRow row;
  row.index = index;
  row.secure = record.secure;
  row.ip = texts.ip;
  row.sn = texts.subnet;
  row.gw = texts.gateway;
  row.dhcp = texts.dhcp;
  row.version = texts.version;
  row.type = texts.type;
  row.mac = texts.mac;
  row.macValid = record.macValid &&
                 std::any_of(record.mac, record.mac + 6, [](uint8_t b) { return b != 0; });
  // Present at all means seeded, even when the seed is short or empty. Read
  // with a 256-byte buffer: the answer is salted with the whole seed.
  if (!row.secure)
    row.seedKnown = pelmar::ReadTagText(Api(), SMDSP_TAG_SEED, index, &row.seed);
  // As the module sent it, not decoded: a text-protocol configure sends it back.
  row.hostNameKnown = record.hostNameValid;
  if (row.hostNameKnown) row.hostName = record.hostName;
  row.subject = pelmar::MarkSubjectOf(record);
  return row;
}

std::string FormatTable(const std::vector<ModuleRow>& rows) {
  constexpr int kColumns = 8;
  const char* headers[kColumns] = {"IP", "SN", "GW", "DHCP", "Version", "Type", "MAC", "Status"};
  auto cells = [](const ModuleRow& r) {
    std::vector<std::string> v;
    for (const Cell* c : {&r.ip, &r.sn, &r.gw, &r.dhcp, &r.version, &r.type})
      v.push_back(*c && !(*c)->empty() ? display_text::VisibleText(**c) : "N/A");
    v.push_back(r.mac.empty() ? "N/A" : r.mac);
    // The marks, then the name (a read-back is reported by configure and apply).
    v.push_back(display_text::VisibleText(
        pelmar::StatusCellText(r.marks, "", r.name.value_or(""))));
    return v;
  };
  // Columns are measured in characters: a decoded accent is two bytes wide
  // in UTF-8 but takes one place on the terminal.
  auto shownWidth = [](const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
  };
  size_t width[kColumns];
  for (int c = 0; c < kColumns; ++c) width[c] = std::char_traits<char>::length(headers[c]);
  for (const ModuleRow& r : rows) {
    auto v = cells(r);
    for (int c = 0; c < kColumns; ++c) width[c] = std::max(width[c], shownWidth(v[c]));
  }
  auto line = [&](const std::vector<std::string>& v) {
    std::string out;
    for (int c = 0; c < kColumns; ++c) {
      // The last column has no padding: a row without marks ends at its MAC.
      if (c == kColumns - 1 && v[c].empty()) break;
      if (c > 0) out += std::string(width[c - 1] - shownWidth(v[c - 1]) + 2, ' ');
      out += v[c];
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out + "\n";
  };
  std::string out = line({headers, headers + kColumns});
  for (const ModuleRow& r : rows) out += line(cells(r));
  return out;
}

std::string JsonString(const std::string& text) {
  // One writer for every JSON the host side prints: ASCII, texts decoded.
  return pelmar::JsonQuoted(text);
}

std::string FormatJson(const std::vector<ModuleRow>& rows, const std::vector<std::string>& gone) {
  auto value = [](const Cell& c) { return c ? JsonString(*c) : std::string("null"); };
  auto list = [](const std::vector<std::string>& texts) {
    std::string out = "[";
    for (size_t i = 0; i < texts.size(); ++i) out += (i ? ", " : "") + JsonString(texts[i]);
    return out + "]";
  };
  std::string out = "{\"modules\": [";
  for (size_t i = 0; i < rows.size(); ++i) {
    const ModuleRow& r = rows[i];
    out += i ? ",\n " : "\n ";
    out += "{\"ip\": " + value(r.ip) + ", \"sn\": " + value(r.sn) + ", \"gw\": " + value(r.gw) +
           ", \"dhcp\": " + value(r.dhcp) + ", \"version\": " + value(r.version) +
           ", \"type\": " + value(r.type) + ", \"mac\": " + JsonString(r.mac) +
           ", \"protocol\": " + JsonString(r.secure ? "secure" : "text") +
           ", \"marks\": " + list(r.marks) + ", \"name\": " + value(r.name) +
           ", \"note\": " + value(r.note) + "}";
  }
  out += rows.empty() ? "]" : "\n]";
  return out + ",\n\"gone\": " + list(gone) + "}\n";
}

}  // namespace mdspctl
