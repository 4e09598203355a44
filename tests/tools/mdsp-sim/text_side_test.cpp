// Text protocol, module side: the scan answer byte for byte, and configure
// requests as the host writes them (plain and seeded password modules).
#include <gtest/gtest.h>

#include "addresses.h"
#include "config.h"
#include "digests.h"
#include "text_side.h"

namespace mdspsim {
namespace {

std::string asText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

SimModule textModule(const std::string& password, const std::string& seed = "") {
  SimModule m;
  m.cfg.mac = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
  m.cfg.password = password;
  m.cfg.seed = seed;
  m.cfg.hostname = "press-line-1";
  std::vector<SimModule> list{m};
  std::string error;
  EXPECT_TRUE(finishModules(list, error)) << error;
  return list[0];
}

// What the host sends as "Password:" to a seeded module.
std::string hostAnswer(const std::string& seedText, const std::string& password) {
  std::string s01 = seedText.substr(0, 2);
  return md5hex(s01 + md5hex(s01 + password) + seedText);
}

ConfigureOutcome configure(SimModule& m, const std::string& text) {
  const std::string datagram = text + std::string(1, '\0');  // `rest` points into it
  TextRequest request = classifyText(datagram);
  EXPECT_EQ(request.kind, TextRequestKind::Configure) << text;
  return applyTextConfigure(m, request.rest);
}

TEST(SimTextAnswer, ScanAnswerIsByteExact) {
  SimModule m = textModule("secret", "k7Q2ZP91");
  m.cfg.dhcp = false;
  EXPECT_EQ(asText(buildScanAnswer(m)),
            std::string("protocol version = 1.0;fb type = SIM-IO 16DI;module version = 3.1.7;"
                        "mac = 02-00-00-12-34-AB;ip = 192.168.0.10;sn = 255.255.255.0;"
                        "gw = 192.168.0.1;dhcp = off;pswd = on;hn = press-line-1;"
                        "dns1 = 192.168.0.1;dns2 = 0.0.0.0;seed = k7Q2ZP91;"
                        "kernel version = 1.2.3;") +
                std::string(1, '\0'));
}

TEST(SimTextAnswer, FlagsAndFaultsShapeTheAnswer) {
  SimModule open = textModule("");
  open.cfg.dhcp = true;
  std::string text = asText(buildScanAnswer(open));
  EXPECT_NE(text.find(";dhcp = on;pswd = off;"), std::string::npos) << text;
  EXPECT_EQ(text.find("seed = "), std::string::npos);

  open.cfg.faults.unsupported = true;
  text = asText(buildScanAnswer(open));
  EXPECT_NE(text.find("kernel version = 1.2.3;Unsupported;"), std::string::npos) << text;

  open.cfg.faults.malformed = true;
  text = asText(buildScanAnswer(open));
  EXPECT_NE(text.find("mac = 02-00-00-12-34-AB;"), std::string::npos);
  EXPECT_NE(text.find("ip = 192.168.0;"), std::string::npos);
  EXPECT_NE(text.find("dhcp = yes;"), std::string::npos);

  open.cfg.faults.hasRawAnswer = true;
  open.cfg.faults.rawAnswer = "mac = 1-2-3;";
  EXPECT_EQ(buildScanAnswer(open), (Bytes{'m', 'a', 'c', ' ', '=', ' ', '1', '-', '2', '-', '3', ';', 0}));

  open.cfg.faults = Faults{};
  open.cfg.faults.repeat = 3;
  Reaction r = handleTextRequest(open, classifyText(std::string("MODULE SCAN", 12)));
  EXPECT_EQ(r.replies.size(), 3u);
}

TEST(SimTextRequests, ClassifiesTheHostsThreeRequests) {
  EXPECT_EQ(classifyText(std::string("MODULE SCAN", 12)).kind, TextRequestKind::Scan);
  EXPECT_EQ(classifyText("MODULE SCAN").kind, TextRequestKind::Scan);
  EXPECT_EQ(classifyText("MODULE SCANNER").kind, TextRequestKind::None);

  TextRequest wink = classifyText(std::string("To: 02-00-00-12-34-AB;WINK;", 28));
  EXPECT_EQ(wink.kind, TextRequestKind::Wink);
  EXPECT_EQ(formatMac(wink.target), "02-00-00-12-34-AB");
  EXPECT_EQ(classifyText("To: 02-00-00-12-34-AB;BLINK;").kind, TextRequestKind::None);

  // Answers and notices of other modules are not requests.
  EXPECT_EQ(classifyText("Reconfigured: 02-00-00-12-34-AB").kind, TextRequestKind::None);
  EXPECT_EQ(classifyText("protocol version = 1.0;mac = 02-00-00-12-34-AB;").kind,
            TextRequestKind::None);
  EXPECT_EQ(classifyText("Configure: 02-00-00-12-34;IP = 1.2.3.4;").kind, TextRequestKind::None);
}

TEST(SimTextConfigure, HostExampleIsAppliedAndAnswered) {
  SimModule m = textModule("");
  m.cfg.dns1 = 0x01020304;
  ASSERT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;IP = 192.168.0.10;SN = 255.255.255.0;"
                         "GW = 0.0.0.0;DHCP = OFF;HN =;"),
            ConfigureOutcome::Reconfigured);
  EXPECT_EQ(m.cfg.ip, 0xC0A8000Au);
  EXPECT_EQ(m.cfg.subnet, 0xFFFFFF00u);
  EXPECT_EQ(m.cfg.gateway, 0u);
  EXPECT_FALSE(m.cfg.dhcp);
  EXPECT_EQ(m.cfg.hostname, "");
  EXPECT_EQ(m.cfg.dns1, 0x01020304u);  // no DNS1 piece: unchanged

  Reaction r = handleTextRequest(
      m, classifyText("Configure: 02-00-00-12-34-AB;DHCP = ON;HN = cell-7;DNS1 = 10.0.0.53;"));
  ASSERT_EQ(r.replies.size(), 1u);
  EXPECT_EQ(asText(r.replies[0]), std::string("Reconfigured: 02-00-00-12-34-AB", 32));
  EXPECT_TRUE(m.cfg.dhcp);
  EXPECT_EQ(m.cfg.hostname, "cell-7");
  EXPECT_EQ(m.cfg.dns1, 0x0A000035u);
}

TEST(SimTextConfigure, PlainPasswordIsChecked) {
  SimModule m = textModule("secret");
  Reaction r = handleTextRequest(
      m, classifyText("Configure: 02-00-00-12-34-AB;Password: wrong;IP = 10.0.0.9;HN =;"));
  ASSERT_EQ(r.replies.size(), 1u);
  EXPECT_EQ(asText(r.replies[0]), std::string("Invalid Password: 02-00-00-12-34-AB", 36));
  EXPECT_EQ(m.cfg.ip, 0xC0A8000Au);
  EXPECT_EQ(m.cfg.hostname, "press-line-1");

  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;HN =;"), ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: secret;New Password = n3w;HN = a;"),
            ConfigureOutcome::Reconfigured);
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: secret;HN = b;"),
            ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: n3w;HN = b;"),
            ConfigureOutcome::Reconfigured);
}

TEST(SimTextConfigure, BadValuesChangeNothing) {
  SimModule m = textModule("");
  const char* bad[] = {
      "Configure: 02-00-00-12-34-AB;HN = ok;IP = 10.1.300.4;",
      "Configure: 02-00-00-12-34-AB;HN = ok;SN = 255.255.255;",
      "Configure: 02-00-00-12-34-AB;HN = ok;DHCP = MAYBE;",
      "Configure: 02-00-00-12-34-AB;HN = ok;COLOUR = red;",
      "Configure: 02-00-00-12-34-AB;HN = "
      "a234567890123456789012345678901234567890123456789012345678901234;",
  };
  for (const char* text : bad) {
    Reaction r = handleTextRequest(m, classifyText(text));
    ASSERT_EQ(r.replies.size(), 1u) << text;
    EXPECT_EQ(asText(r.replies[0]), std::string("Invalid Configuration: 02-00-00-12-34-AB", 41))
        << text;
    EXPECT_EQ(m.cfg.hostname, "press-line-1") << text;
  }
}

TEST(SimTextConfigure, SeededModuleWantsTheChallengeAnswer) {
  SimModule m = textModule("secret", "k7Q2ZP91");
  EXPECT_EQ(m.cfg.password, "");  // only the salted hash is kept
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: secret;HN = x;"),
            ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             hostAnswer("k7Q2ZP91", "wrong") + ";HN = x;"),
            ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             hostAnswer("k7Q2ZP91", "secret") + ";HN = x;"),
            ConfigureOutcome::Reconfigured);
  EXPECT_EQ(m.cfg.hostname, "x");
}

TEST(SimTextConfigure, SeededPasswordChangeMovesTheSalt) {
  SimModule m = textModule("secret", "k7Q2ZP91");
  std::string newValue = "@3" + md5hex("@3" + std::string("n3w"));
  ASSERT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             hostAnswer("k7Q2ZP91", "secret") + ";New Password = " + newValue +
                             ";HN = x;"),
            ConfigureOutcome::Reconfigured);
  // The seed now starts with the new salt, so the host salts its answer right.
  ASSERT_EQ(currentSeedText(m), "@3Q2ZP91");
  EXPECT_NE(asText(buildScanAnswer(m)).find(";pswd = on;hn = x;"), std::string::npos);
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             hostAnswer("@3Q2ZP91", "secret") + ";HN = y;"),
            ConfigureOutcome::InvalidPassword);
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             hostAnswer("@3Q2ZP91", "n3w") + ";HN = y;"),
            ConfigureOutcome::Reconfigured);

  // A new password must be in the salted form; a plain one is refused.
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: " +
                             hostAnswer("@3Q2ZP91", "n3w") + ";New Password = plain;HN = z;"),
            ConfigureOutcome::InvalidConfiguration);
  EXPECT_EQ(m.cfg.hostname, "y");
}

TEST(SimTextConfigure, SeededModuleWithEmptyPassword) {
  SimModule m = textModule("", "zz000001");
  EXPECT_NE(asText(buildScanAnswer(m)).find(";pswd = off;"), std::string::npos);
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;HN = a;"), ConfigureOutcome::Reconfigured);
  EXPECT_EQ(configure(m, "Configure: 02-00-00-12-34-AB;Password: " + hostAnswer("zz000001", "") +
                             ";HN = b;"),
            ConfigureOutcome::Reconfigured);
}

}  // namespace
}  // namespace mdspsim
