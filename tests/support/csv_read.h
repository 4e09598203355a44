// Reads CSV back as a spreadsheet would (quoted fields, doubled quotes, CR LF
// or LF line ends), so export tests check what a user's program sees.
#pragma once

#include <string>
#include <vector>

namespace test_csv {

// False for a quote left open or text after a closing quote.
inline bool ReadCsv(const std::string& text, std::vector<std::vector<std::string>>& rows) {
  rows.clear();
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, wasQuoted = false;
  for (size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (at + 1 < text.size() && text[at + 1] == '"') {
        field += '"';
        ++at;
      } else {
        quoted = false;
      }
      continue;
    }
    if (c == '"') {
      if (!field.empty() || wasQuoted) return false;
      quoted = wasQuoted = true;
    } else if (c == ',') {
      row.push_back(field);
      field.clear();
      wasQuoted = false;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
      row.push_back(field);
      rows.push_back(row);
      row.clear();
      field.clear();
      wasQuoted = false;
    } else {
      if (wasQuoted) return false;
      field += c;
    }
  }
  if (quoted) return false;
  if (!field.empty() || !row.empty()) {
    row.push_back(field);
    rows.push_back(row);
  }
  return true;
}

}  // namespace test_csv
