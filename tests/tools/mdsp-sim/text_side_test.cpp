// Text protocol, module side: the scan answer byte for byte, and configure
// requests as the host writes them (plain and seeded password modules).
#include <gtest/gtest.h>

#include "addresses.h"
#include "config.h"
#include "digests.h"
#include "text_side.h"

namespace mdspsim_test {
using namespace mdspsim;
namespace {

std::string asText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

const char* kNoSeed = nullptr;

SimModule TextModule(const std::string& password, const char* seed = kNoSeed) {
  SimModule m;
  m.cfg.mac = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
  m.cfg.password = password;
  m.cfg.hasSeed = seed != nullptr;
  m.cfg.seed = seed ? seed : "";
  m.cfg.hostname = "press-line-1";
  std::vector<SimModule> list{m};
  std::string error;
  EXPECT_TRUE(FinishModules(list, error)) << error;
  return list[0];
}

// What the host sends as "Password:" to a seeded module.
std::string HostAnswer(const std::string& seedText, const std::string& password) {
  std::string s01 = seedText.substr(0, 2);
  return Md5hex(s01 + Md5hex(s01 + password) + seedText);
}

// The text as the host sends it: with its NUL.
TextRequest Parse(const std::string& text, std::string* why = nullptr) {
  std::string ignored;
  return ParseTextRequest(text + std::string(1, '\0'), why ? *why : ignored);
}

ConfigureOutcome Configure(SimModule& m, const std::string& text) {
  TextRequest request = Parse(text);
  EXPECT_EQ(request.kind, TextRequestKind::Configure) << text;
  return ApplyTextConfigure(m, request.configure);
}

TEST(SimTextAnswer, ScanAnswerIsByteExact) {
  SimModule m = TextModule("secret", "k7Q2ZP91");
  m.cfg.dhcp = false;
  EXPECT_EQ(asText(BuildScanAnswer(m)),
            std::string("protocol version = 1.0;fb type = SIM-IO 16DI;module version = 3.1.7;"
                        "mac = 02-00-00-12-34-AB;ip = 192.168.0.10;sn = 255.255.255.0;"
                        "gw = 192.168.0.1;dhcp = off;pswd = on;hn = press-line-1;"
                        "dns1 = 192.168.0.1;dns2 = 0.0.0.0;seed = k7Q2ZP91;"
                        "kernel version = 1.2.3;") +
                std::string(1, '\0'));
}

TEST(SimTextAnswer, FlagsAndFaultsShapeTheAnswer) {
  SimModule open = TextModule("");
  open.cfg.dhcp = true;
  std::string text = asText(BuildScanAnswer(open));
  EXPECT_NE(text.find(";dhcp = on;pswd = off;"), std::string::npos) << text;
  EXPECT_EQ(text.find("seed = "), std::string::npos);

  open.cfg.faults.unsupported = true;
  text = asText(BuildScanAnswer(open));
  EXPECT_NE(text.find("kernel version = 1.2.3;Unsupported;"), std::string::npos) << text;

  open.cfg.faults.malformed = true;
  text = asText(BuildScanAnswer(open));
  EXPECT_NE(text.find("mac = 02-00-00-12-34-AB;"), std::string::npos);
  EXPECT_NE(text.find("ip = 192.168.0;"), std::string::npos);
  EXPECT_NE(text.find("dhcp = yes;"), std::string::npos);

  open.cfg.faults.hasRawAnswer = true;
  open.cfg.faults.rawAnswer = "mac = 1-2-3;";
  EXPECT_EQ(BuildScanAnswer(open), (Bytes{'m', 'a', 'c', ' ', '=', ' ', '1', '-', '2', '-', '3', ';', 0}));

  open.cfg.faults = Faults{};
  open.cfg.faults.repeat = 3;
  Reaction r = HandleTextRequest(open, Parse("MODULE SCAN"));
  EXPECT_EQ(r.replies.size(), 3u);
}

TEST(SimTextRequests, OnlyTheHostsExactTextsAreRequests) {
  std::string why;
  EXPECT_EQ(ParseTextRequest(std::string("MODULE SCAN", 12), why).kind, TextRequestKind::Scan);
  TextRequest wink = ParseTextRequest(std::string("To: 02-00-00-12-34-AB;WINK;", 28), why);
  EXPECT_EQ(wink.kind, TextRequestKind::Wink);
  EXPECT_EQ(FormatMac(wink.target), "02-00-00-12-34-AB");

  struct Case {
    std::string datagram;
    const char* why;
  } refused[] = {
      {"MODULE SCAN", "no NUL \"MODULE SCAN\""},
      {std::string("MODULE SCAN\0\0", 13), "1 bytes after the NUL \"MODULE SCAN\""},
      {std::string("module scan", 12), "not a request \"module scan\""},
      {std::string("MODULE SCANNER", 15), "not a request \"MODULE SCANNER\""},
      {std::string("To: 02-00-00-12-34-ab;WINK;", 28), "wink \"To: 02-00-00-12-34-ab;WINK;\""},
      {std::string("To: 2-0-0-12-34-AB;WINK;", 25), "wink \"To: 2-0-0-12-34-AB;WINK;\""},
      {std::string("To: 02-00-00-12-34-AB;wink;", 28), "wink \"To: 02-00-00-12-34-AB;wink;\""},
      {std::string("TO: 02-00-00-12-34-AB;WINK;", 28), "not a request \"TO: 02-00-00-12-34-AB;WINK;\""},
      // Answers and notices of other modules are not requests.
      {std::string("Reconfigured: 02-00-00-12-34-AB", 32),
       "not a request \"Reconfigured: 02-00-00-12-34-AB\""},
      {std::string("Configure: 02-00-00-12-34;HN =;", 32),
       "configure target \"Configure: 02-00-00-12-34;HN =;\""},
      {std::string("Configure: 02-00-00-12-34-ab;HN =;", 35),
       "configure target \"Configure: 02-00-00-12-34-ab;HN =;\""},
      {std::string("\x01\n", 3), "not a request \"??\""},
  };
  for (const Case& c : refused) {
    why.clear();
    EXPECT_EQ(ParseTextRequest(c.datagram, why).kind, TextRequestKind::None) << c.why;
    EXPECT_EQ(why, c.why);
  }
}

TEST(SimTextRequests, ConfigurePiecesAreReadInTheirFormsAndOrder) {
  TextRequest all = Parse(
      "Configure: 02-00-00-12-34-AB;Password: pw;New Password = ;IP = 10.0.0.9;"
      "SN = 255.0.0.0;GW = 0.0.0.0;DHCP = ON;HN = cell-7;DNS1 = 10.0.0.53;DNS2 = 8.8.4.4;");
  ASSERT_EQ(all.kind, TextRequestKind::Configure);
  const ConfigurePieces& p = all.configure;
  EXPECT_EQ(p.password, "pw");
  EXPECT_EQ(p.newPassword, "");  // a change to the empty password
  EXPECT_EQ(p.ip, 0x0A000009u);
  EXPECT_EQ(p.subnet, 0xFF000000u);
  EXPECT_EQ(p.gateway, 0u);
  EXPECT_EQ(p.dhcp, true);
  EXPECT_EQ(p.hostname, "cell-7");
  EXPECT_EQ(p.dns1, 0x0A000035u);
  EXPECT_EQ(p.dns2, 0x08080404u);

  TextRequest least = Parse("Configure: 02-00-00-12-34-AB;HN =;");
  ASSERT_EQ(least.kind, TextRequestKind::Configure);
  EXPECT_FALSE(least.configure.password || least.configure.ip || least.configure.dhcp);
  EXPECT_EQ(least.configure.hostname, "");

  const char* mac = "Configure: 02-00-00-12-34-AB;";
  struct Case {
    const char* pieces;
    const char* why;
  } refused[] = {
      {"", "configure no HN piece at \"\""},
      {"HN = ;", "configure no HN piece at \"HN = ;\""},
      {"HN=;", "configure no HN piece at \"HN=;\""},
      {"HN = ok;IP = 10.0.0.9;", "configure unexpected \"IP = 10.0.0.9;\""},
      {"DHCP = OFF;IP = 10.0.0.9;HN =;", "configure no HN piece at \"IP = 10.0.0.9;HN =;\""},
      {"Password: ;HN =;", "configure empty Password piece"},
      {"password: pw;HN =;", "configure no HN piece at \"password: pw;HN =;\""},
      {"IP = 10.1.300.4;HN =;", "configure value IP = \"10.1.300.4\""},
      {"SN = 255.255.255;HN =;", "configure value SN = \"255.255.255\""},
      {"GW = 010.0.0.1;HN =;", "configure value GW = \"010.0.0.1\""},
      {"DHCP = On;HN =;", "configure value DHCP = \"On\""},
      {"HN =;DNS2 = 1.2.3.4;DNS1 = 1.2.3.4;", "configure unexpected \"DNS1 = 1.2.3.4;\""},
      {"HN =;COLOUR = red;", "configure unexpected \"COLOUR = red;\""},
      {"HN = ok", "configure no HN piece at \"HN = ok\""},
  };
  for (const Case& c : refused) {
    std::string why;
    EXPECT_EQ(Parse(mac + std::string(c.pieces), &why).kind, TextRequestKind::None) << c.pieces;
    EXPECT_EQ(why, c.why);
  }
}

TEST(SimTextConfigure, HostExampleIsAppliedAndAnswered) {
  SimModule m = TextModule("");
  m.cfg.dns1 = 0x01020304;
  ASSERT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;IP = 192.168.0.10;SN = 255.255.255.0;"
                         "GW = 0.0.0.0;DHCP = OFF;HN =;"),
            ConfigureOutcome::Reconfigured);
  EXPECT_EQ(m.cfg.ip, 0xC0A8000Au);
  EXPECT_EQ(m.cfg.subnet, 0xFFFFFF00u);
  EXPECT_EQ(m.cfg.gateway, 0u);
  EXPECT_FALSE(m.cfg.dhcp);
  EXPECT_EQ(m.cfg.hostname, "");
  EXPECT_EQ(m.cfg.dns1, 0x01020304u);  // no DNS1 piece: unchanged

  Reaction r = HandleTextRequest(
      m, Parse("Configure: 02-00-00-12-34-AB;DHCP = ON;HN = cell-7;DNS1 = 10.0.0.53;"));
  ASSERT_EQ(r.replies.size(), 1u);
  EXPECT_EQ(asText(r.replies[0]), std::string("Reconfigured: 02-00-00-12-34-AB", 32));
  EXPECT_TRUE(m.cfg.dhcp);
  EXPECT_EQ(m.cfg.hostname, "cell-7");
  EXPECT_EQ(m.cfg.dns1, 0x0A000035u);
}

TEST(SimTextConfigure, PlainPasswordIsChecked) {
  SimModule m = TextModule("secret");
  Reaction r = HandleTextRequest(
      m, Parse("Configure: 02-00-00-12-34-AB;Password: wrong;IP = 10.0.0.9;HN =;"));
  ASSERT_EQ(r.replies.size(), 1u);
  EXPECT_EQ(asText(r.replies[0]), std::string("Invalid Password: 02-00-00-12-34-AB", 36));
  EXPECT_EQ(m.cfg.ip, 0xC0A8000Au);
  EXPECT_EQ(m.cfg.hostname, "press-line-1");

  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;HN =;"), ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: secret;New Password = n3w;HN = a;"),
            ConfigureOutcome::Reconfigured);
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: secret;HN = b;"),
            ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: n3w;HN = b;"),
            ConfigureOutcome::Reconfigured);
}

TEST(SimTextConfigure, ValuesBeyondTheModulesLimitsChangeNothing) {
  SimModule m = TextModule("");
  m.cfg.maxPassword = 3;
  const char* bad[] = {
      "Configure: 02-00-00-12-34-AB;IP = 10.0.0.9;HN = "
      "a234567890123456789012345678901234567890123456789012345678901234;",
      "Configure: 02-00-00-12-34-AB;New Password = 1234;IP = 10.0.0.9;HN = ok;",
  };
  for (const char* text : bad) {
    Reaction r = HandleTextRequest(m, Parse(text));
    ASSERT_EQ(r.replies.size(), 1u) << text;
    EXPECT_EQ(asText(r.replies[0]), std::string("Invalid Configuration: 02-00-00-12-34-AB", 41))
        << text;
    EXPECT_EQ(m.cfg.hostname, "press-line-1") << text;
    EXPECT_EQ(m.cfg.ip, 0xC0A8000Au) << text;
  }
}

// A module told to ignore fields still answers "Reconfigured" but keeps
// exactly those fields: what a read-back after a configure must catch.
TEST(SimTextConfigure, IgnoredFieldsAreAcceptedButKept) {
  const char* kRequest =
      "Configure: 02-00-00-12-34-AB;IP = 10.0.0.9;SN = 255.0.0.0;GW = 10.0.0.1;DHCP = ON;"
      "HN = cell-9;DNS1 = 1.1.1.1;DNS2 = 2.2.2.2;";
  struct Case {
    const char* field;
    std::string (*read)(const ModuleConfig&);
    const char* kept;
  } cases[] = {
      {"ip", [](const ModuleConfig& c) { return FormatDotted(c.ip); }, "192.168.0.10"},
      {"mask", [](const ModuleConfig& c) { return FormatDotted(c.subnet); }, "255.255.255.0"},
      {"gateway", [](const ModuleConfig& c) { return FormatDotted(c.gateway); }, "192.168.0.1"},
      {"dns1", [](const ModuleConfig& c) { return FormatDotted(c.dns1); }, "192.168.0.1"},
      {"dns2", [](const ModuleConfig& c) { return FormatDotted(c.dns2); }, "0.0.0.0"},
      {"dhcp", [](const ModuleConfig& c) { return std::string(c.dhcp ? "on" : "off"); }, "off"},
      {"hostname", [](const ModuleConfig& c) { return c.hostname; }, "press-line-1"},
  };
  for (const Case& c : cases) {
    SimModule m = TextModule("");
    m.cfg.faults.ignoreFields = {c.field};
    EXPECT_EQ(Configure(m, kRequest), ConfigureOutcome::Reconfigured) << c.field;
    EXPECT_EQ(c.read(m.cfg), c.kept) << c.field;
    // Every other field took its new value.
    int changed = (FormatDotted(m.cfg.ip) == "10.0.0.9") + (FormatDotted(m.cfg.subnet) == "255.0.0.0") +
                  (FormatDotted(m.cfg.gateway) == "10.0.0.1") + (FormatDotted(m.cfg.dns1) == "1.1.1.1") +
                  (FormatDotted(m.cfg.dns2) == "2.2.2.2") + m.cfg.dhcp + (m.cfg.hostname == "cell-9");
    EXPECT_EQ(changed, 6) << c.field;
  }
}

TEST(SimTextConfigure, SeededModuleWantsTheChallengeAnswer) {
  SimModule m = TextModule("secret", "k7Q2ZP91");
  EXPECT_EQ(m.cfg.password, "");  // only the salted hash is kept
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: secret;HN = x;"),
            ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             HostAnswer("k7Q2ZP91", "wrong") + ";HN = x;"),
            ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             HostAnswer("k7Q2ZP91", "secret") + ";HN = x;"),
            ConfigureOutcome::Reconfigured);
  EXPECT_EQ(m.cfg.hostname, "x");
}

TEST(SimTextConfigure, SeededPasswordChangeMovesTheSalt) {
  SimModule m = TextModule("secret", "k7Q2ZP91");
  std::string newValue = "@3" + Md5hex("@3" + std::string("n3w"));
  ASSERT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             HostAnswer("k7Q2ZP91", "secret") + ";New Password = " + newValue +
                             ";HN = x;"),
            ConfigureOutcome::Reconfigured);
  // The seed now starts with the new salt, so the host salts its answer right.
  ASSERT_EQ(CurrentSeedText(m), "@3Q2ZP91");
  EXPECT_NE(asText(BuildScanAnswer(m)).find(";pswd = on;hn = x;"), std::string::npos);
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             HostAnswer("@3Q2ZP91", "secret") + ";HN = y;"),
            ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             HostAnswer("@3Q2ZP91", "n3w") + ";HN = y;"),
            ConfigureOutcome::Reconfigured);

  // A new password must be in the salted form; a plain one is refused.
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             HostAnswer("@3Q2ZP91", "n3w") + ";New Password = plain;HN = z;"),
            ConfigureOutcome::InvalidConfiguration);
  EXPECT_EQ(m.cfg.hostname, "y");
}

TEST(SimTextConfigure, SeededModuleWithEmptyPassword) {
  SimModule m = TextModule("", "zz000001");
  EXPECT_NE(asText(BuildScanAnswer(m)).find(";pswd = off;"), std::string::npos);
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;HN = a;"), ConfigureOutcome::Reconfigured);
  EXPECT_EQ(Configure(m, "Configure: 02-00-00-12-34-AB;Password: " + HostAnswer("zz000001", "") +
                             ";HN = b;"),
            ConfigureOutcome::Reconfigured);
}

TEST(SimTextConfigure, SeedsShorterThanTheSaltAreCheckedAsFormatted) {
  // Seed "k": the answer is Md5hex("k") whatever the password, since the
  // hashed text ends at the seed's NUL right after its one character.
  SimModule one = TextModule("secret", "k");
  EXPECT_NE(asText(BuildScanAnswer(one)).find(";pswd = on;hn = press-line-1;"), std::string::npos);
  EXPECT_NE(asText(BuildScanAnswer(one)).find(";seed = k;"), std::string::npos);
  EXPECT_EQ(Configure(one, "Configure: 02-00-00-12-34-AB;HN = a;"),
            ConfigureOutcome::InvalidPassword);
  // Hashing past the NUL, as if the text went on, is not what the module does.
  std::string pastNul = Md5hex(std::string("k\0", 2) + Md5hex(std::string("k\0secret", 8)) + "k");
  EXPECT_EQ(Configure(one, "Configure: 02-00-00-12-34-AB;Password: " + pastNul + ";HN = a;"),
            ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(Configure(one, "Configure: 02-00-00-12-34-AB;Password: "
                           "8ce4b16b22b58894aa86c421e8759df3;HN = a;"),
            ConfigureOutcome::Reconfigured);
  // A new password is stored in its salted form; the short seed stays.
  std::string newValue = "@3" + Md5hex("@3n3w");
  EXPECT_EQ(Configure(one, "Configure: 02-00-00-12-34-AB;Password: "
                           "8ce4b16b22b58894aa86c421e8759df3;New Password = " + newValue + ";HN = b;"),
            ConfigureOutcome::Reconfigured);
  EXPECT_EQ(CurrentSeedText(one), "k");
  EXPECT_EQ(one.saltedHash, newValue);

  SimModule none = TextModule("secret", "");
  EXPECT_NE(asText(BuildScanAnswer(none)).find(";dns2 = 0.0.0.0;seed = ;kernel version"),
            std::string::npos);
  EXPECT_EQ(Configure(none, "Configure: 02-00-00-12-34-AB;Password: "
                            "d41d8cd98f00b204e9800998ecf8427e;HN = c;"),
            ConfigureOutcome::Reconfigured);
  EXPECT_EQ(none.cfg.hostname, "c");
}

}  // namespace
}  // namespace mdspsim_test
