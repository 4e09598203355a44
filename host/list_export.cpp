#include "list_export.h"

#include <algorithm>
#include <cstdio>

#include "status_cell.h"
#include "visible_text.h"

namespace pelmar {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsFolded(std::string_view text, std::string_view part) {
  auto it = std::search(text.begin(), text.end(), part.begin(), part.end(),
                        [](char a, char b) { return Lower(a) == Lower(b); });
  return it != text.end();
}

std::string_view TrimView(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

ListRow MakeListRow(const CellTexts& cells, const ModuleNote* note,
                    const std::vector<std::string>& marks, const std::string& readBack) {
  ListRow row;
  row.cells = cells;
  row.status = StatusCellText(marks, readBack, NameStatusPiece(note));
  if (note) {
    row.name = note->name;
    row.note = note->note;
  }
  return row;
}

const std::vector<std::string>& ListHeaders() {
  static const std::vector<std::string> headers = {"IP",  "SN",  "GW",     "DHCP", "Version",
                                                   "Type", "MAC", "Status", "Name", "Note"};
  return headers;
}

const std::vector<std::string>& ListKeys() {
  static const std::vector<std::string> keys = {"ip",   "sn",  "gw",     "dhcp", "version",
                                                "type", "mac", "status", "name", "note"};
  return keys;
}

std::vector<std::string> ListFields(const ListRow& row) {
  std::vector<std::string> fields(row.cells.begin(), row.cells.end());
  fields.push_back(row.status);
  fields.push_back(row.name);
  fields.push_back(row.note);
  return fields;
}

std::string CsvField(const std::string& text) {
  std::string value = display_text::ModuleTextAsUtf8(text);
  if (!value.empty() && std::string_view("=+-@\t\r").find(value[0]) != std::string_view::npos)
    value.insert(0, 1, '\'');
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string ListCsv(const std::vector<ListRow>& rows) {
  auto line = [](const std::vector<std::string>& fields) {
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + CsvField(fields[i]);
    return out + "\r\n";
  };
  std::string out = line(ListHeaders());
  for (const ListRow& row : rows) out += line(ListFields(row));
  return out;
}

std::string JsonQuoted(const std::string& text) {
  const std::string utf8 = display_text::ModuleTextAsUtf8(text);
  std::string out = "\"";
  auto escape = [&out](uint32_t unit) {
    char escaped[16];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(unit));
    out += escaped;
  };
  for (size_t at = 0; at < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[at]);
    if (c >= 0x80) {
      const size_t length = display_text::Utf8SequenceLength(utf8, at);
      uint32_t code = c & (0x7F >> length);
      for (size_t i = 1; i < length; ++i)
        code = code << 6 | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
      if (code > 0xFFFF) {
        code -= 0x10000;
        escape(0xD800 | code >> 10);
        escape(0xDC00 | (code & 0x3FF));
      } else {
        escape(code);
      }
      at += length;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      escape(c);
    } else {
      out += static_cast<char>(c);
    }
    ++at;
  }
  return out + "\"";
}

std::string ListJson(const std::vector<ListRow>& rows) {
  const std::vector<std::string>& keys = ListKeys();
  std::string out = "[";
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::vector<std::string> fields = ListFields(rows[r]);
    out += r ? ",\n {" : "\n {";
    for (size_t i = 0; i < keys.size(); ++i)
      out += (i ? ", " : "") + JsonQuoted(keys[i]) + ": " + JsonQuoted(fields[i]);
    out += "}";
  }
  return out + (rows.empty() ? "]\n" : "\n]\n");
}

std::string ListTabSeparated(const std::vector<ListRow>& rows) {
  auto line = [](const std::vector<std::string>& fields) {
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
      std::string field = display_text::ModuleTextAsUtf8(fields[i]);
      std::replace_if(field.begin(), field.end(),
                      [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
      out += (i ? "\t" : "") + field;
    }
    return out + "\n";
  };
  std::string out = line(ListHeaders());
  for (const ListRow& row : rows) out += line(ListFields(row));
  return out;
}

bool RowMatchesFilter(const ListRow& row, std::string_view filter) {
  filter = TrimView(filter);
  if (filter.empty()) return true;
  for (const std::string& cell : row.cells)
    if (ContainsFolded(cell, filter)) return true;
  return ContainsFolded(row.status, filter) || ContainsFolded(row.name, filter);
}

}  // namespace pelmar
