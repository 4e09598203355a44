// The scan-answer parser, rule by rule.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "base/errors.h"
#include "text/text_protocol.h"

namespace mdsp_test {
namespace {

struct Parsed {
  MdspResponse r{};
  bool unsupported = false;
};

Parsed Parse(const std::string& text) {
  Parsed p;
  mdsp::ParseAnswerHead(text.c_str(), p.r);
  mdsp::ParseAnswerTail(text.c_str(), p.r, &p.unsupported);
  return p;
}

const char kFullAnswer[] =
    "protocol version = 2.1;fb type = Corvane IO-Link;module version = 3.4.1025;"
    "mac = 02-00-00-12-34-AB;ip = 192.168.0.10;sn = 255.255.255.0;gw = 192.168.0.1;"
    "dhcp = off;pswd = on;hn = line-7;dns1 = 8.8.8.8;dns2 = 1.1.1.1;seed = 5A3C;"
    "kernel version = 4.19.300;";

TEST(TextParser, ReadsEveryKeyOfACompleteAnswer) {
  Parsed p = Parse(kFullAnswer);
  const MdspResponse& r = p.r;
  EXPECT_EQ(r.protocolVersionValid, 1);
  EXPECT_EQ(r.protocolVersionMajor, 2);
  EXPECT_EQ(r.protocolVersionMinor, 1);
  EXPECT_EQ(r.fieldBusTypeValid, 1);
  EXPECT_STREQ(r.fieldBusType, "Corvane IO-Link");
  EXPECT_EQ(r.moduleVersionValid, 1);
  EXPECT_EQ(r.moduleVersionMajor, 3);
  EXPECT_EQ(r.moduleVersionMinor, 4);
  EXPECT_EQ(r.moduleVersionBuild, 1025);
  EXPECT_EQ(r.macValid, 1);
  const uint8_t mac[6] = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
  EXPECT_EQ(0, memcmp(r.mac, mac, 6));
  EXPECT_EQ(r.ipValid, 1);
  EXPECT_EQ(r.ip, 0xC0A8000Au);
  EXPECT_EQ(r.subnetMask, 0xFFFFFF00u);
  EXPECT_EQ(r.gateway, 0xC0A80001u);
  EXPECT_EQ(r.dhcpValid, 1);
  EXPECT_EQ(r.dhcpOn, 0);
  EXPECT_EQ(r.passwordValid, 1);
  EXPECT_EQ(r.passwordSet, 1);
  EXPECT_STREQ(r.hostName, "line-7");
  EXPECT_EQ(r.dns1, 0x08080808u);
  EXPECT_EQ(r.dns2Valid, 1);
  EXPECT_EQ(r.dns2, 0x01010101u);
  EXPECT_STREQ(r.seed, "5A3C");
  EXPECT_EQ(r.kernelVersionValid, 1);
  EXPECT_EQ(r.kernelVersionMajor, 4);
  EXPECT_EQ(r.kernelVersionMinor, 19);
  EXPECT_EQ(r.kernelVersionBuild, 300);
  EXPECT_FALSE(p.unsupported);
}

TEST(TextParser, KeysAreFoundAnywhereAndInAnyCase) {
  Parsed p = Parse("junk before MAC = 0a-0b-0c-0d-0e-0f;IP = 10.0.0.1;");
  EXPECT_EQ(p.r.macValid, 1);
  EXPECT_EQ(p.r.mac[0], 0x0A);
  EXPECT_EQ(p.r.mac[5], 0x0F);
  EXPECT_EQ(p.r.ipValid, 1);
  EXPECT_EQ(p.r.ip, 0x0A000001u);
}

TEST(TextParser, MissingKeyRecordsNotFoundWithoutSettingTheFlag) {
  mdsp::RecordError(mdsp::ERR_NONE);
  Parsed p = Parse("ip = 10.0.0.1;");
  EXPECT_EQ(p.r.macValid, 0);
  EXPECT_EQ(p.r.hostNameValid, 0);
  EXPECT_EQ(p.r.ipValid, 1);
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_NOT_FOUND);
}

TEST(TextParser, OnOffValues) {
  EXPECT_EQ(Parse("dhcp = ON;").r.dhcpOn, 1);
  EXPECT_EQ(Parse("dhcp = ON;").r.dhcpValid, 1);
  Parsed off = Parse("dhcp = Off;");
  EXPECT_EQ(off.r.dhcpOn, 0);
  EXPECT_EQ(off.r.dhcpValid, 1);

  // Every later key is present and valid, so the last error is the bad value.
  std::string answer = kFullAnswer;
  answer.replace(answer.find("dhcp = off"), 10, "dhcp = yes");
  mdsp::RecordError(mdsp::ERR_NONE);
  Parsed yes = Parse(answer);
  EXPECT_EQ(yes.r.dhcpValid, 0);
  EXPECT_EQ(yes.r.dhcpOn, 0);
  EXPECT_EQ(yes.r.passwordValid, 1);
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_BAD_VALUE);
}

TEST(TextParser, MalformedValueReportsBadValue) {
  MdspResponse r{};
  mdsp::RecordError(mdsp::ERR_NONE);
  mdsp::ParseAnswerHead("protocol version = 1.2;fb type = x;module version = 1.2.3;mac = zz",
                        r);
  EXPECT_EQ(mdsp::LastErrorCode(), mdsp::ERR_BAD_VALUE);
  EXPECT_EQ(r.macValid, 0);
  EXPECT_EQ(r.moduleVersionValid, 1);
}

TEST(TextParser, DottedAddresses) {
  // Each part keeps its low 8 bits.
  Parsed big = Parse("ip = 10.1.300.4;");
  EXPECT_EQ(big.r.ipValid, 1);
  EXPECT_EQ(big.r.ip, 0x0A012C04u);

  // Three parts are malformed, also when later items carry dots of their own.
  EXPECT_EQ(Parse("ip = 192.168.0").r.ipValid, 0);
  Parsed three = Parse("ip = 192.168.0;sn = 255.255.255.0;hn = a.b;");
  EXPECT_EQ(three.r.ipValid, 0);
  EXPECT_EQ(three.r.subnetMaskValid, 1);
  EXPECT_EQ(three.r.subnetMask, 0xFFFFFF00u);

  Parsed blanks = Parse("gw =  7. 8. 9. 10");
  EXPECT_EQ(blanks.r.gatewayValid, 1);
  EXPECT_EQ(blanks.r.gateway, 0x0708090Au);
}

TEST(TextParser, VersionNumbers) {
  Parsed twoMissing = Parse("protocol version = 7;fb type = v1.2;");
  EXPECT_EQ(twoMissing.r.protocolVersionValid, 0);
  EXPECT_EQ(twoMissing.r.protocolVersionMajor, 7);  // kept, though not valid

  Parsed threeMissing = Parse("module version = 1.2;");
  EXPECT_EQ(threeMissing.r.moduleVersionValid, 0);

  // Stored in the field's width by the low bits.
  Parsed wide = Parse("kernel version = 257.-1.65537");
  EXPECT_EQ(wide.r.kernelVersionValid, 1);
  EXPECT_EQ(wide.r.kernelVersionMajor, 1);
  EXPECT_EQ(wide.r.kernelVersionMinor, 255);
  EXPECT_EQ(wide.r.kernelVersionBuild, 1);

  Parsed noDigits = Parse("protocol version = x.y");
  EXPECT_EQ(noDigits.r.protocolVersionValid, 1);
  EXPECT_EQ(noDigits.r.protocolVersionMajor, 0);
}

TEST(TextParser, StringsEndAtSemicolonAndAreCutTo127) {
  std::string longType(200, 'T');
  Parsed p = Parse("fb type = " + longType + ";hn = ;seed = abc");
  EXPECT_EQ(p.r.fieldBusTypeValid, 1);
  EXPECT_EQ(std::string(p.r.fieldBusType), std::string(127, 'T'));
  EXPECT_EQ(p.r.hostNameValid, 1);
  EXPECT_STREQ(p.r.hostName, "");
  EXPECT_STREQ(p.r.seed, "abc");
}

TEST(TextParser, MacNeedsSixValuesAndKeepsLowBytes) {
  EXPECT_EQ(Parse("mac = 02-00-00-12-34").r.macValid, 0);
  Parsed wide = Parse("mac = 102-0-0-0-0-1ff");
  EXPECT_EQ(wide.r.macValid, 1);
  EXPECT_EQ(wide.r.mac[0], 0x02);
  EXPECT_EQ(wide.r.mac[5], 0xFF);

  Parsed inside = Parse("x;mac = 02-00-00-12-34-ab;");
  EXPECT_EQ(inside.r.macValid, 1);
  EXPECT_EQ(inside.r.mac[5], 0xAB);
  EXPECT_EQ(Parse("no mac here").r.macValid, 0);
}

TEST(TextParser, UnsupportedAnywhereInAnyCase) {
  EXPECT_TRUE(Parse("mac = 02-00-00-00-00-01;UNSUPPORTED").unsupported);
  EXPECT_TRUE(Parse("request unsupported here").unsupported);
  EXPECT_FALSE(Parse(kFullAnswer).unsupported);
}

TEST(TextParser, WinkRequestForm) {
  EXPECT_TRUE(mdsp::IsWinkRequest("To: 02-00-00-12-34-AB;WINK;"));
  EXPECT_TRUE(mdsp::IsWinkRequest("to: 2-0-0-12-34-ab;wink;"));
  EXPECT_FALSE(mdsp::IsWinkRequest("To: 02-00-00-12-34;WINK;"));
  EXPECT_FALSE(mdsp::IsWinkRequest("To: 02-00-00-12-34-AB;BLINK;"));
  EXPECT_FALSE(mdsp::IsWinkRequest("To: 02-00-00-12-34-ABC;WINK;"));
  EXPECT_FALSE(mdsp::IsWinkRequest("mac = 02-00-00-12-34-AB;"));
}

// The plain MAC form is read without the scanner; every other form still
// reads as the scanner reads it, and a failed read leaves the bytes alone.
TEST(TextParser, MacFormsReadAsTheScannerReadsThem) {
  struct Case {
    const char* text;
    bool valid;
    std::array<uint8_t, 6> mac;
  };
  const Case cases[] = {
      {"mac = 02-00-00-12-34-ab;", true, {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB}},
      {"mac = 2-0-0-1-3-A", true, {0x02, 0x00, 0x00, 0x01, 0x03, 0x0A}},
      {"mac = 02-00-00-12-34-ABC;", true, {0x02, 0x00, 0x00, 0x12, 0x34, 0xBC}},
      {"mac = 0x02-00-00-00-00-01;", true, {0x02, 0x00, 0x00, 0x00, 0x00, 0x01}},
      {"mac = 02-00-00-00-00-0x5;", true, {0x02, 0x00, 0x00, 0x00, 0x00, 0x05}},
      {"mac =  02-00-00-00-00-07", true, {0x02, 0x00, 0x00, 0x00, 0x00, 0x07}},
      {"mac = 02-00-00- 00-00-08", true, {0x02, 0x00, 0x00, 0x00, 0x00, 0x08}},
      {"mac = 02-00-00-00-00-09x", true, {0x02, 0x00, 0x00, 0x00, 0x00, 0x09}},
      {"mac = 02-00-00-00-00-;", false, {}},
      {"mac = 02:00:00:00:00:01;", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Parsed p = Parse(c.text);
    EXPECT_EQ(p.r.macValid, c.valid ? 1 : 0);
    std::array<uint8_t, 6> mac;
    std::memcpy(mac.data(), p.r.mac, 6);
    EXPECT_EQ(mac, c.mac);
  }
}

// Answers up to a datagram's size are searched in a lowered copy, longer
// texts the slow way: both must find the same first occurrence of each key.
TEST(TextParser, LongAndShortAnswersFindTheSameFirstOccurrence) {
  const std::string answer =
      "HN = MAC = 02-00-00-00-00-01;Mac = 02-00-00-12-34-ab;IP = 10.0.0.7;ip = 10.0.0.8;"
      "Protocol Version = 2.1;kernel version = 4.19.300;dhcp = ON;uNsUpPoRtEd";
  const std::string atLimit = answer + std::string(1500 - answer.size(), ';');
  const std::string beyond = answer + std::string(1600 - answer.size(), ';');
  for (const std::string& text : {answer, atLimit, beyond}) {
    SCOPED_TRACE(text.size());
    Parsed p = Parse(text);
    // "mac = " first occurs inside the host name's value.
    EXPECT_EQ(p.r.mac[5], 0x01);
    EXPECT_STREQ(p.r.hostName, "MAC = 02-00-00-00-00-01");
    EXPECT_EQ(p.r.ip, 0x0A000007u);
    EXPECT_EQ(p.r.protocolVersionMinor, 1);
    EXPECT_EQ(p.r.kernelVersionBuild, 300);
    EXPECT_EQ(p.r.dhcpOn, 1);
    EXPECT_TRUE(p.unsupported);
    EXPECT_EQ(p.r.dns1Valid, 0);
  }
  // A key cut by the end of the text is no key.
  Parsed cut = Parse(std::string(1495, ';') + "ip = ");
  EXPECT_EQ(cut.r.ipValid, 0);
  EXPECT_EQ(Parse(std::string(1496, ';') + "ip =").r.ipValid, 0);
}

}  // namespace
}  // namespace mdsp_test
