// The scan's table and JSON output.
#include "module_rows.h"

#include "cli_args.h"

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

TEST(ModuleRows, AddressBytesAreLeastSignificantFirst) {
  // The record holds the TLV's four bytes as they came, read as one number.
  const uint8_t bytes[4] = {0x0A, 0x00, 0xA8, 0xC0};
  EXPECT_EQ(mdspctl::FormatIpv4(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                                uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24),
            "192.168.0.10");
}

TEST(ModuleRows, TableHasTheSevenColumnsAligned) {
  std::string table = mdspctl::FormatTable({Row()});
  EXPECT_EQ(table,
            "IP        SN             GW        DHCP  Version  Type      MAC\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    SIM \"IO\"  02-00-01-00-00-01\n");
  EXPECT_EQ(mdspctl::FormatTable({}), "IP  SN  GW  DHCP  Version  Type  MAC\n");
}

TEST(ModuleRows, JsonEscapesModuleTexts) {
  mdspctl::ModuleRow r = Row();
  r.secure = true;
  r.type = std::string("a\"b\\c\x01\xff", 7);
  std::string json = mdspctl::FormatJson({r});
  EXPECT_NE(json.find(R"("type": "a\"b\\c\u0001\u00ff")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("protocol": "secure")"), std::string::npos);
  EXPECT_EQ(mdspctl::FormatJson({}), "[]\n");
}

// Escapes are measured as shown, so the columns stay aligned.
TEST(ModuleRows, TableShowsNetworkTextsEscapedAndAligned) {
  mdspctl::ModuleRow r = Row();
  r.type = "\x1b[2J\r\nX";
  r.version = "1.0\xff";
  EXPECT_EQ(mdspctl::FormatTable({r, Row()}),
            "IP        SN             GW        DHCP  Version  Type              MAC\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   1.0\\xff  \\x1b[2J\\x0d\\x0aX  02-00-01-00-00-01\n"
            "10.0.0.7  255.255.255.0  10.0.0.1  Off   3.1.7    SIM \"IO\"          02-00-01-00-00-01\n");
}

TEST(ModuleRows, ValuesNotReportedKeepTheColumns) {
  mdspctl::ModuleRow r = Row();
  r.sn.reset();
  r.dhcp.reset();
  r.type = "";  // reported, but empty
  EXPECT_EQ(mdspctl::FormatTable({r}),
            "IP        SN   GW        DHCP  Version  Type  MAC\n"
            "10.0.0.7  N/A  10.0.0.1  N/A   3.1.7    N/A   02-00-01-00-00-01\n");
  std::string json = mdspctl::FormatJson({r});
  EXPECT_NE(json.find(R"("sn": null, "gw": "10.0.0.1", "dhcp": null, "version": "3.1.7", )"
                      R"("type": "",)"),
            std::string::npos)
      << json;
}

TEST(ModuleRows, TextVersionHasATwoDigitMinor) {
  EXPECT_EQ(mdspctl::FormatTextVersion(3, 1, 7), "3.01.7");
  EXPECT_EQ(mdspctl::FormatTextVersion(2, 15, 1024), "2.15.1024");
  EXPECT_EQ(mdspctl::FormatTextVersion(255, 255, 65535), "255.255.65535");
}

}  // namespace
}  // namespace mdspctl_test
