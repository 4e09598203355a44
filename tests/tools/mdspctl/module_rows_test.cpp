// The scan's table and JSON output.
#include "module_rows.h"

#include <gtest/gtest.h>

namespace mdspctl_test {
namespace {

mdspctl::ModuleRow Row() {
  mdspctl::ModuleRow r;
  r.ip = "10.0.0.7";
  r.sn = "255.255.255.0";
  r.gw = "10.0.0.1";
  r.dhcp = "Off";
  r.version = "3.1.7";
  r.type = "SIM \"IO\"";
  r.mac = "02-00-01-00-00-01";
  return r;
}

TEST(ModuleRows, TableHasTheColumnsAligned) {
  std::string table = mdspctl::FormatTable({Row()});
  EXPECT_EQ(table,
            "IP        SN             GW        DHCP  Version  Type      MAC                Status\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    SIM \"IO\"  02-00-01-00-00-01\n");
  EXPECT_EQ(mdspctl::FormatTable({}), "IP  SN  GW  DHCP  Version  Type  MAC  Status\n");
}

// The name ends the Status cell, after the marks; its text escaped.
TEST(ModuleRows, TableShowsNamesInTheStatusColumn) {
  mdspctl::ModuleRow named = Row();
  named.name = "Press\x1b[2J 1";
  named.note = "never in the table";
  mdspctl::ModuleRow markedAndNamed = named;
  markedAndNamed.marks = {"new"};
  EXPECT_EQ(mdspctl::FormatTable({named, markedAndNamed, Row()}),
            "IP        SN             GW        DHCP  Version  Type      MAC                Status\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    SIM \"IO\"  02-00-01-00-00-01  "
            "Press\\x1b[2J 1\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    SIM \"IO\"  02-00-01-00-00-01  "
            "new, Press\\x1b[2J 1\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    SIM \"IO\"  02-00-01-00-00-01\n");
  mdspctl::ModuleRow noteOnly = Row();
  noteOnly.note = "n";
  EXPECT_EQ(mdspctl::FormatTable({noteOnly}), mdspctl::FormatTable({Row()}));
  EXPECT_NE(mdspctl::FormatJson({named}).find(
                R"("name": "Press\u001b[2J 1", "note": "never in the table"})"),
            std::string::npos);
}

TEST(ModuleRows, JsonEscapesModuleTexts) {
  mdspctl::ModuleRow r = Row();
  r.secure = true;
  r.type = std::string("a\"b\\c\x01\xff", 7);
  std::string json = mdspctl::FormatJson({r});
  EXPECT_NE(json.find(R"("type": "a\"b\\c\u0001\u00ff")"), std::string::npos) << json;
  // Decoded texts escape characters, not bytes, beyond the basic plane too.
  const struct {
    std::string in, out;
  } texts[] = {
      {"S\xc3\xbc" "d", R"("S\u00fcd")"},                // UTF-8
      {"S\xfc" "d", R"("S\u00fcd")"},                     // Latin-1
      {"\xe2\x82\xac\x7f", R"("\u20ac\u007f")"},
      {"\xf0\x9f\x94\xa7", R"("\ud83d\udd27")"},        // a surrogate pair
  };
  for (const auto& t : texts) EXPECT_EQ(mdspctl::JsonString(t.in), t.out) << t.out;
  EXPECT_NE(json.find(R"("protocol": "secure")"), std::string::npos);
  EXPECT_EQ(mdspctl::FormatJson({}), "{\"modules\": [],\n\"gone\": []}\n");
}

// Escapes are measured as shown, so the columns stay aligned.
TEST(ModuleRows, TableShowsNetworkTextsEscapedAndAligned) {
  mdspctl::ModuleRow r = Row();
  r.type = "\x1b[2J\r\nX";
  r.version = "1.0\xff";
  EXPECT_EQ(mdspctl::FormatTable({r, Row()}),
            "IP        SN             GW        DHCP  Version  Type              MAC                Status\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   1.0\\xff  \\x1b[2J\\x0d\\x0aX  02-00-01-00-00-01\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    SIM \"IO\"          02-00-01-00-00-01\n");
}

// Decoded accents take one place each, so the columns stay aligned.
TEST(ModuleRows, TableAlignsAccentedTextsByCharacter) {
  mdspctl::ModuleRow r = Row();
  r.type = "S\xc3\xbc" "d-\xe2\x82\xac";
  EXPECT_EQ(mdspctl::FormatTable({r, Row()}),
            "IP        SN             GW        DHCP  Version  Type      MAC                Status\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    S\xc3\xbc" "d-\xe2\x82\xac     02-00-01-00-00-01\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    SIM \"IO\"  02-00-01-00-00-01\n");
}

TEST(ModuleRows, ValuesNotReportedKeepTheColumns) {
  mdspctl::ModuleRow r = Row();
  r.sn.reset();
  r.dhcp.reset();
  r.type = "";  // reported, but empty
  EXPECT_EQ(mdspctl::FormatTable({r}),
            "IP        SN   GW        DHCP  Version  Type  MAC                Status\n"
            "10.0.0.7  N/A  10.0.0.1  N/A   3.1.7    N/A   02-00-01-00-00-01\n");
  std::string json = mdspctl::FormatJson({r});
  EXPECT_NE(json.find(R"("sn": null, "gw": "10.0.0.1", "dhcp": null, "version": "3.1.7", )"
                      R"("type": "",)"),
            std::string::npos)
      << json;
}

// Marks fill the Status column (the rest of the row stays aligned as
// before), the "marks" list of each JSON object, and the gone line and list.
TEST(ModuleRows, MarksInTheStatusColumnAndJson) {
  mdspctl::ModuleRow marked = Row();
  marked.marks = {"duplicate IP", "other network"};
  mdspctl::ModuleRow plain = Row();
  plain.mac = "02-00-01-00-00-02";
  EXPECT_EQ(mdspctl::FormatTable({marked, plain}),
            "IP        SN             GW        DHCP  Version  Type      MAC                Status\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    SIM \"IO\"  02-00-01-00-00-01  "
            "duplicate IP, other network\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    SIM \"IO\"  02-00-01-00-00-02\n");
  const std::string json = mdspctl::FormatJson({marked, plain}, {"02-00-00-00-99-01"});
  EXPECT_NE(json.find(R"("mac": "02-00-01-00-00-01", "protocol": "text", )"
                      R"("marks": ["duplicate IP", "other network"], "name": null, "note": null})"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("mac": "02-00-01-00-00-02", "protocol": "text", "marks": [], "name": null,)"
                      R"( "note": null})"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("gone": ["02-00-00-00-99-01"]})"), std::string::npos) << json;
}

}  // namespace
}  // namespace mdspctl_test
