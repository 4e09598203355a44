// The list written out: CSV and JSON read back by independent parsers with
// hostile module texts, the clipboard's tab-separated lines, and the filter.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "csv_read.h"
#include "list_export.h"

namespace pelmar_test {
namespace {

using pelmar::ListRow;

ListRow Row(const std::string& type, const std::string& name = "", const std::string& note = "") {
  pelmar::CellTexts cells = {"10.0.0.7", "255.255.255.0", "10.0.0.1", "On",
                             "4.0.2",    type,            "02-00-00-00-20-01"};
  pelmar::ModuleNote entry{name, note};
  return pelmar::MakeListRow(cells, name.empty() && note.empty() ? nullptr : &entry);
}

// Texts a module or a user could hand us, and what a reader gets back.
struct HostileCase {
  const char* what;
  std::string text;
  std::string csvBack;   // what the CSV field reads back as
  std::string jsonBack;  // what the JSON string reads back as
};

const HostileCase kHostile[] = {
    {"plain", "SIM-IO 16DI", "SIM-IO 16DI", "SIM-IO 16DI"},
    {"comma", "a,b", "a,b", "a,b"},
    {"quotes", "say \"hi\"", "say \"hi\"", "say \"hi\""},
    {"line breaks", "one\r\ntwo\nthree", "one\r\ntwo\nthree", "one\r\ntwo\nthree"},
    {"formula", "=HYPERLINK(\"http://x\")", "'=HYPERLINK(\"http://x\")", "=HYPERLINK(\"http://x\")"},
    {"plus and at", "+1", "'+1", "+1"},
    {"at", "@SUM(A1)", "'@SUM(A1)", "@SUM(A1)"},
    {"escape sequence", "EVIL\x1b[2J", "EVIL\x1b[2J", "EVIL\x1b[2J"},
    {"backslash", "C:\\x\\", "C:\\x\\", "C:\\x\\"},
    {"latin-1 byte", "Gr\xfc\xdf", "Gr\xc3\xbc\xc3\x9f", "Gr\xc3\xbc\xc3\x9f"},
    {"emoji", "\xf0\x9f\x94\xa5", "\xf0\x9f\x94\xa5", "\xf0\x9f\x94\xa5"},
    {"empty", "", "", ""},
};

TEST(ListExport, HostileTextsSurviveCsvAndJsonAndNeverBreakTheShape) {
  for (const HostileCase& c : kHostile) {
    SCOPED_TRACE(c.what);
    const std::vector<ListRow> rows = {Row(c.text, "press 1", "by \"door\"\nleft"), Row("B")};

    std::vector<std::vector<std::string>> csv;
    ASSERT_TRUE(test_csv::ReadCsv(pelmar::ListCsv(rows), csv));
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_EQ(csv[0], pelmar::ListHeaders());
    for (const auto& line : csv) EXPECT_EQ(line.size(), 10u);
    EXPECT_EQ(csv[1][5], c.csvBack);
    EXPECT_EQ(csv[1][6], "02-00-00-00-20-01");
    EXPECT_EQ(csv[1][7], "press 1");  // the Status cell holds the name
    EXPECT_EQ(csv[1][8], "press 1");
    EXPECT_EQ(csv[1][9], "by \"door\"\nleft");
    EXPECT_EQ(csv[2][5], "B");

    const std::string jsonText = pelmar::ListJson(rows);
    for (unsigned char ch : jsonText) EXPECT_LT(ch, 0x80) << "JSON output stays ASCII";
    const nlohmann::json json = nlohmann::json::parse(jsonText);
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["type"], c.jsonBack);
    EXPECT_EQ(json[0]["name"], "press 1");
    EXPECT_EQ(json[0]["note"], "by \"door\"\nleft");
    EXPECT_EQ(json[1]["status"], "");
    EXPECT_EQ(json[0].size(), pelmar::ListKeys().size());
  }
}

TEST(ListExport, EmptyListIsAHeaderOrAnEmptyArray) {
  EXPECT_EQ(pelmar::ListCsv({}), "IP,SN,GW,DHCP,Version,Type,MAC,Status,Name,Note\r\n");
  EXPECT_TRUE(nlohmann::json::parse(pelmar::ListJson({})).empty());
  EXPECT_EQ(pelmar::ListTabSeparated({}), "IP\tSN\tGW\tDHCP\tVersion\tType\tMAC\tStatus\tName\tNote\n");
}

TEST(ListExport, TabSeparatedCopyKeepsOneLinePerRowWhateverTheTexts) {
  const std::string text = pelmar::ListTabSeparated({Row("a\tb\r\nc", "n", "two\nlines")});
  const size_t header = text.find('\n');
  const std::string line = text.substr(header + 1);
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
  EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 9);
  EXPECT_NE(line.find("a b  c"), std::string::npos) << line;
  EXPECT_NE(line.find("two lines"), std::string::npos) << line;
}

TEST(ListExport, FilterKeepsRowsWithTheTextInAnyColumn) {
  const ListRow named = Row("SIM-IO 16DI", "Press Line", "hidden words");
  const struct {
    const char* filter;
    bool kept;
  } cases[] = {
      {"", true},           {"   ", true},          {"10.0.0.7", true},   {"255.255", true},
      {"sim-io", true},     {"16di", true},         {"02-00-00-00-20", true},
      {"press line", true}, {"  Press ", true},     {"On", true},         {"4.0.2", true},
      {"hidden", false},    // the note is not a column
      {"10.0.0.8", false},  {"SIM-IO 16DJ", false}, {"Press  Line", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(pelmar::RowMatchesFilter(named, c.filter), c.kept) << '"' << c.filter << '"';
  // Letters beyond ASCII match as written.
  EXPECT_TRUE(pelmar::RowMatchesFilter(Row("Gr\xc3\xbc\xc3\x9f"), "\xc3\xbc"));
}

}  // namespace
}  // namespace pelmar_test
