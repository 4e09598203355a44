// The module list as text: CSV and JSON files, the tab-separated copy of a
// row, and the filter that keeps the rows with a text in any column. The
// tool and mdspctl only show these.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "module_cells.h"
#include "module_names.h"

namespace pelmar {

// One listed module: the seven cells, the Status cell, its name and note.
// Never a password: nothing else of a record reaches a file.
struct ListRow {
  CellTexts cells;
  std::string status;
  std::string name;
  std::string note;
};

// A row of those cells with the name and note of `note` (may be null); its
// Status cell as the list shows it: the marks, the read-back state, the name.
ListRow MakeListRow(const CellTexts& cells, const ModuleNote* note,
                    const std::vector<std::string>& marks = {}, const std::string& readBack = {});

// Headers, in order: IP, SN, GW, DHCP, Version, Type, MAC, Status, Name, Note.
const std::vector<std::string>& ListHeaders();
// JSON keys in the same order: "ip", "sn", ..., "status", "name", "note".
const std::vector<std::string>& ListKeys();
// A row's texts in that order.
std::vector<std::string> ListFields(const ListRow& row);

// RFC 4180 with CRLF line ends and a header line. A field is quoted when it
// holds a comma, quote, CR or LF; one that a spreadsheet would run as a
// formula (starts with =, +, -, @, tab or CR) gets a leading apostrophe, so
// a module's type text cannot become a formula on the user's machine.
std::string ListCsv(const std::vector<ListRow>& rows);
std::string CsvField(const std::string& text);

// An array of objects keyed by ListKeys; ASCII only (\u escapes).
std::string ListJson(const std::vector<ListRow>& rows);
// A JSON string of the text: decoded as module texts are, ASCII only, with
// \n, \r and \t for line breaks and tabs.
std::string JsonQuoted(const std::string& text);

// A header line and the rows, tab-separated, LF line ends: for the
// clipboard. Tabs and line breaks inside a field become spaces.
std::string ListTabSeparated(const std::vector<ListRow>& rows);

// Whether the filter text occurs in any column (the seven cells, Status and
// Name); ASCII letters match without regard to case, surrounding white
// space of the filter is ignored, and an empty filter keeps every row.
bool RowMatchesFilter(const ListRow& row, std::string_view filter);

}  // namespace pelmar
