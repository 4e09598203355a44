// The module file and the command line: what users write must either work
// as documented or be refused with a message that names the mistake.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "addresses.h"
#include "cli_options.h"
#include "config.h"
#include "text_side.h"

namespace mdspsim_test {
using namespace mdspsim;
namespace {

std::string ReadExample(const char* name) {
  std::ifstream in(std::string(MDSP_SIM_EXAMPLES) + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Load(const std::string& json, std::vector<SimModule>& modules, std::string& error) {
  return ParseConfig(json, modules, error) && FinishModules(modules, error);
}

std::string ErrorFor(const std::string& json) {
  std::vector<SimModule> modules;
  std::string error;
  EXPECT_FALSE(Load(json, modules, error)) << json;
  return error;
}

TEST(SimConfig, ExampleFileLoadsWithItsValues) {
  std::vector<SimModule> modules;
  std::string error;
  ASSERT_TRUE(Load(ReadExample("two-modules.json"), modules, error)) << error;
  ASSERT_EQ(modules.size(), 2u);
  const SimModule& text = modules[0];
  EXPECT_TRUE(text.cfg.speaksText);
  EXPECT_FALSE(text.cfg.speaksSecure);
  EXPECT_EQ(FormatMac(text.cfg.mac), "02-00-00-00-10-01");
  EXPECT_EQ(CurrentSeedText(text), "k7Q2ZP91");
  EXPECT_EQ(text.cfg.hostname, "press-line-1");
  const SimModule& secure = modules[1];
  EXPECT_TRUE(secure.cfg.speaksSecure);
  EXPECT_FALSE(secure.cfg.speaksText);
  EXPECT_EQ(secure.cfg.password, "secret");
  EXPECT_EQ(FormatDotted(secure.cfg.ip), "192.168.0.20");
  EXPECT_EQ(secure.cfg.versionText, "4.0.2");
  EXPECT_EQ(secure.cfg.faults.restartSilenceMs, 3000u);
}

TEST(SimConfig, AnEmptySeedIsASeed) {
  std::vector<SimModule> modules;
  std::string error;
  ASSERT_TRUE(Load(R"({"modules":[{"mac":"02-00-00-00-00-01","seed":""},
      {"mac":"02-00-00-00-00-02","seed":"x"},{"mac":"02-00-00-00-00-03"}]})",
                   modules, error))
      << error;
  ASSERT_EQ(modules.size(), 3u);
  EXPECT_TRUE(modules[0].cfg.hasSeed);
  EXPECT_EQ(CurrentSeedText(modules[1]), "x");
  EXPECT_FALSE(modules[2].cfg.hasSeed);
}

TEST(SimConfig, FaultsAndVersionsAreRead) {
  std::vector<SimModule> modules;
  std::string error;
  ASSERT_TRUE(Load(R"({"modules":[{"mac":"02-00-00-00-00-09","protocol":"both",
      "reply":"unicast","module_version":"4.12.300","protocol_version":"2.1",
      "password_set":false,
      "faults":{"delay_ms":40,"repeat":2,"ignore":["ping","scan"],"configure_status":31,
                "auth_seed":"00000000","raw_discover_payload":"0a0178",
                "authentication_status":2}}]})",
                   modules, error))
      << error;
  const ModuleConfig& c = modules[0].cfg;
  EXPECT_TRUE(c.speaksText && c.speaksSecure && c.replyUnicast);
  EXPECT_EQ(c.moduleMajor, 4);
  EXPECT_EQ(c.moduleMinor, 12);
  EXPECT_EQ(c.moduleBuild, 300);
  EXPECT_EQ(c.protocolMajor, 2);
  EXPECT_EQ(c.passwordFlag, 0);
  EXPECT_EQ(c.faults.delayMs, 40u);
  EXPECT_EQ(c.faults.repeat, 2u);
  EXPECT_EQ(c.faults.ignore, (std::set<std::string>{"ping", "scan"}));
  EXPECT_EQ(c.faults.configureStatus, 31);
  EXPECT_TRUE(c.faults.hasFixedAuthSeed);
  EXPECT_EQ(c.faults.fixedAuthSeed, (Seed{0, 0, 0, 0}));
  EXPECT_EQ(c.faults.authenticationStatus, 2);
  EXPECT_EQ(c.faults.rawDiscoverPayload, (Bytes{0x0A, 0x01, 0x78}));
}

TEST(SimConfig, MistakesAreNamed) {
  EXPECT_EQ(ErrorFor("{"), "not valid JSON");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"protocol":"text"}]})"), "module 0: \"mac\" is missing");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"mac":"02-00-00-00-00"}]})"),
            "module 0: \"mac\" must look like 02-00-00-00-10-01");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"mac":"02-00-00-00-00-01","protocol":"udp"}]})"),
            "module 0: \"protocol\" must be \"text\", \"secure\" or \"both\"");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"mac":"02-00-00-00-00-01","ip":"10.0.0.300"}]})"),
            "module 0: \"ip\" must be a dotted address like 192.168.0.10");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"mac":"02-00-00-00-00-01","hostnme":"x"}]})"),
            "module 0: \"hostnme\" is not a known key");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"mac":"02-00-00-00-00-01","hostname":"a;b"}]})"),
            "module 0: \"hostname\" must not contain ';' or NUL");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"mac":"02-00-00-00-00-01","faults":{"ignore":["nap"]}}]})")
                .substr(0, 42),
            "module 0 faults: \"ignore\" holds an unknown");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"mac":"02-00-00-00-00-01","faults":{"ignore_fields":["pw"]}}]})")
                .substr(0, 49),
            "module 0 faults: \"ignore_fields\" holds an unknown");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"mac":"02-00-00-00-00-01","faults":{"ping_status":256}}]})"),
            "module 0 faults: \"ping_status\" must be a whole number from 0 to 255");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"mac":"02-00-00-00-00-01","protocol":"secure","seed":"ab12"}]})"),
            "module 02-00-00-00-00-01: a seed is for text-only modules");
  EXPECT_EQ(ErrorFor(R"({"modules":[{"mac":"02-00-00-00-00-01"},{"mac":"2-0-0-0-0-1"}]})")
                .substr(0, 42),
            "module 02-00-00-00-00-01 is listed twice (");
}

TEST(SimConfig, GeneratorMakesManyDistinctModules) {
  std::vector<SimModule> modules;
  std::string error;
  ASSERT_TRUE(Load(R"({"modules":[{"mac":"02-00-00-00-00-01"}],
      "generate":{"text":250,"secure":250,"mac_prefix":"02-00-01",
                  "template":{"password":"pw","faults":{"delay_ms":1}}}})",
                   modules, error))
      << error;
  ASSERT_EQ(modules.size(), 501u);
  std::set<Mac> macs;
  size_t text = 0;
  for (const SimModule& m : modules) {
    macs.insert(m.cfg.mac);
    text += m.cfg.speaksText ? 1 : 0;
  }
  EXPECT_EQ(macs.size(), 501u);
  EXPECT_EQ(text, 251u);
  EXPECT_EQ(FormatMac(modules[1].cfg.mac), "02-00-01-00-00-01");
  EXPECT_EQ(FormatMac(modules[500].cfg.mac), "02-00-01-00-01-F4");
  EXPECT_EQ(FormatDotted(modules[500].cfg.ip), "10.0.1.244");
  EXPECT_EQ(modules[500].cfg.password, "pw");
  EXPECT_EQ(modules[500].cfg.faults.delayMs, 1u);
  EXPECT_FALSE(GenerateModules(1, 0, "02-00", ModuleConfig{}, modules, error));
}

TEST(SimCli, OptionsAndRefusals) {
  CliOptions o;
  std::string error;
  const char* full[] = {"mdsp-sim", "--iface", "veth1", "--config", "m.json", "--log", "l.txt",
                        "--generate-text", "3", "--generate-secure", "4", "--seed-delay", "1500"};
  ASSERT_TRUE(ParseCli(13, full, o, error)) << error;
  EXPECT_EQ(o.seedDelayMs, 1500u);
  EXPECT_EQ(o.iface, "veth1");
  EXPECT_EQ(o.configPath, "m.json");
  EXPECT_EQ(o.logPath, "l.txt");
  EXPECT_EQ(o.generateText, 3u);
  EXPECT_EQ(o.generateSecure, 4u);

  auto refuses = [](std::vector<const char*> argv) {
    CliOptions options;
    std::string why;
    argv.insert(argv.begin(), "mdsp-sim");
    return !ParseCli(static_cast<int>(argv.size()), argv.data(), options, why) && !why.empty();
  };
  EXPECT_TRUE(refuses({"--config", "m.json"}));                 // no interface
  EXPECT_TRUE(refuses({"--iface", "veth1"}));                   // nothing to play
  EXPECT_TRUE(refuses({"--iface", "veth1", "--config"}));       // value missing
  EXPECT_TRUE(refuses({"--iface", "veth1", "--generate-text", "-1"}));
  EXPECT_TRUE(refuses({"--iface", "veth1", "--config", "m.json", "--colour", "x"}));
  EXPECT_TRUE(refuses({"--iface", "veth1", "--config", "m.json", "--seed-delay", "1.5"}));
  EXPECT_TRUE(refuses({"--iface", "veth1", "--config", "m.json", "--seed-delay", "70000"}));
  EXPECT_TRUE(refuses({"--iface", "veth1", "--config", "m.json", "--ignore-field", "password"}));
  const char* ignoring[] = {"mdsp-sim", "--iface", "v", "--config", "m.json", "--ignore-field",
                            "gateway", "--ignore-field", "hostname"};
  CliOptions ig;
  ASSERT_TRUE(ParseCli(9, ignoring, ig, error)) << error;
  EXPECT_EQ(ig.ignoreFields, (std::set<std::string>{"gateway", "hostname"}));
  const char* help[] = {"mdsp-sim", "--help"};
  CliOptions h;
  EXPECT_TRUE(ParseCli(2, help, h, error) && h.help);
  // --version needs no interface either, wherever it stands.
  const char* version[] = {"mdsp-sim", "--iface", "veth1", "--version"};
  CliOptions v;
  EXPECT_TRUE(ParseCli(4, version, v, error) && v.version && !v.help);
}

}  // namespace
}  // namespace mdspsim_test
