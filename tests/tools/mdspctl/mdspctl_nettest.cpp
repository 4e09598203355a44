// mdspctl end to end: the program in a host namespace, the simulator in a
// module namespace, joined by a veth pair that only these tests use.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host_and_peer.h"
#include "netns.h"

namespace mdspctl_test {
namespace {

const char kModules[] = R"({"modules": [
  {"mac": "02-00-00-00-10-01", "protocol": "text", "password": "secret", "seed": "k7Q2ZP91",
   "ip": "10.77.0.10", "subnet": "255.255.255.0", "gateway": "10.77.0.1",
   "type": "SIM-IO 16DI", "module_version": "3.1.7", "hostname": "press-1"},
  {"mac": "02-00-00-00-10-02", "protocol": "text", "password": "plain", "ip": "10.77.0.11"},
  {"mac": "02-00-00-00-20-01", "protocol": "secure", "password": "secret", "ip": "10.77.0.20",
   "dhcp": true, "type": "SIM-GW secure", "version": "4.0.2",
   "faults": {"restart_silence_ms": 1500}},
  {"mac": "02-00-00-00-20-02", "protocol": "secure", "faults": {"configure_status": 31}},
  {"mac": "02-00-00-00-20-03", "protocol": "secure", "faults": {"ignore": ["authentication"]}},
  {"mac": "02-00-00-00-20-04", "protocol": "secure", "password": "secret",
   "faults": {"malformed": true}},
  {"mac": "02-00-00-00-30-01", "protocol": "both", "password": "secret", "ip": "10.77.0.30"},
  {"mac": "02-00-00-00-10-03", "protocol": "text", "password": "pw", "faults": {"raw_answer":
   "protocol version = 1.0;fb type = RAW;module version = 1.2.3;mac = 02-00-00-00-10-03;ip = 10.77.0.13;"}},
  {"mac": "02-00-00-00-10-04", "protocol": "text", "password": "8ce4b16b22b58894aa86c421e8759df3",
   "faults": {"raw_answer": "mac = 02-00-00-00-10-04;ip = 10.77.0.14;hn = one;seed = k;"}},
  {"mac": "02-00-00-00-10-05", "protocol": "text", "password": "d41d8cd98f00b204e9800998ecf8427e",
   "faults": {"raw_answer": "mac = 02-00-00-00-10-05;ip = 10.77.0.15;hn = none;seed = ;"}},
  {"mac": "02-00-00-00-10-06", "protocol": "text", "max_hostname": 4},
  {"mac": "02-00-00-00-10-07", "protocol": "text", "faults": {"ignore": ["text_configure"]}}
]})";

std::vector<std::string> TextReceived(const std::string& simLog) {
  return net_test::SimTextReceived(simLog);
}

// Payloads of the authenticated secure requests of one type received.
std::vector<std::string> SecurePayloads(const std::string& simLog, uint8_t type) {
  std::vector<std::string> out;
  for (const net_test::SimSecureRequest& r : net_test::SimSecureRequests(simLog, type))
    out.push_back(r.payload);
  return out;
}

bool Contains(const std::vector<std::string>& texts, const std::string& part) {
  for (const std::string& t : texts)
    if (t.find(part) != std::string::npos) return true;
  return false;
}

// The table row of the module with that MAC (first one listed).
std::string RowOf(const std::string& table, const std::string& mac) {
  size_t at = table.find(mac);
  if (at == std::string::npos) return "";
  size_t start = table.rfind('\n', at);
  start = start == std::string::npos ? 0 : start + 1;
  return table.substr(start, table.find('\n', at) - start);
}

struct CtlRun {
  int code = -1;
  std::string output;  // standard output and error together
};

// Standard output and standard error of one run, apart.
struct SplitRun {
  int code = -1;
  std::string out, err;
};

class Mdspctl : public ::testing::Test {
 protected:
  bool Start(const char* modules = kModules) {
    if (!net_.SetUp()) return false;
    simLog_ = net_.StartSimulator(MDSP_SIM_PATH, modules);
    return !simLog_.empty();
  }

  // Runs mdspctl in the host namespace with `input` on standard input.
  CtlRun Ctl(const std::string& args, const std::string& input = "") {
    std::string inputFile = lab_.tempDir() + "/input";
    std::ofstream(inputFile) << input;
    CtlRun run;
    // A state folder of its own: no list kept by another run makes modules "new".
    lab_.Run(host_, env_ + "XDG_STATE_HOME=" + lab_.tempDir() + "/state " + MDSPCTL_PATH + " " +
                        args + " < " + inputFile +
                        "; echo \"rc=$?\"",
             &run.output);
    size_t at = run.output.rfind("rc=");
    if (at != std::string::npos) {
      run.code = std::stoi(run.output.substr(at + 3));
      run.output.erase(at);
    }
    return run;
  }

  SplitRun CtlSplit(const std::string& args) {
    std::string errFile = lab_.tempDir() + "/stderr";
    CtlRun run = Ctl(args + " 2>" + errFile);
    return {run.code, run.output, net_test::ReadFile(errFile)};
  }

  net_test::HostAndPeer net_;
  net_test::Lab& lab_ = net_.lab;
  const std::string& host_ = net_.host;
  std::string simLog_;
  std::string env_;  // variables set before each run ("NAME=value ")
};

#define START()        \
  NETNS_REQUIRE(lab_); \
  ASSERT_TRUE(Start()) << lab_.error() << net_test::ReadFile(simLog_)

// Hostile modules: escape sequences and broken UTF-8 in their texts, junk
// and a MAC-less answer for a scan, next to two sound modules.
const char kHostileModules[] = R"({"modules": [
  {"mac": "02-00-00-00-10-01", "protocol": "text", "ip": "10.77.0.10",
   "type": "EVIL\u001b[2J\u001b[H\r\n10.9.9.9  FAKE ROW"},
  {"mac": "02-00-00-00-20-01", "protocol": "secure", "ip": "10.77.0.20",
   "faults": {"raw_discover_payload": "040414004d0a0107312e301b5b386d020781c29b33316dff"}},
  {"mac": "02-00-00-00-10-02", "protocol": "text", "faults": {"raw_answer": "junk"}},
  {"mac": "02-00-00-00-10-03", "protocol": "text", "faults": {"raw_answer": "\u0001"}},
  {"mac": "02-00-00-00-10-04", "protocol": "text",
   "faults": {"raw_answer": "fb type = NOMAC;ip = 10.77.0.99;"}}
]})";

TEST_F(Mdspctl, ScanShowsTheSevenColumns) {
  START();
  CtlRun scan = Ctl("scan --timeout 1500");
  ASSERT_EQ(scan.code, 0) << scan.output;
  EXPECT_NE(scan.output.find("IP"), std::string::npos);
  for (const char* header : {"SN", "GW", "DHCP", "Version", "Type", "MAC"})
    EXPECT_NE(scan.output.find(header), std::string::npos) << header;
  // Text module: version from its three numbers, type from the field-bus text.
  std::string text = scan.output.substr(scan.output.find("10.77.0.10 "));
  text = text.substr(0, text.find('\n'));
  for (const char* cell : {"255.255.255.0", "10.77.0.1", "Off", "3.01.7", "SIM-IO 16DI",
                           "02-00-00-00-10-01"})
    EXPECT_NE(text.find(cell), std::string::npos) << cell << " in " << text;
  std::string secure = scan.output.substr(scan.output.find("10.77.0.20 "));
  secure = secure.substr(0, secure.find('\n'));
  for (const char* cell : {"On", "4.0.2", "SIM-GW secure", "02-00-00-00-20-01"})
    EXPECT_NE(secure.find(cell), std::string::npos) << cell << " in " << secure;

  CtlRun json = Ctl("scan --json --timeout 1500");
  ASSERT_EQ(json.code, 0) << json.output;
  EXPECT_NE(json.output.find(R"({"ip": "10.77.0.20", "sn": "255.255.255.0", "gw": "192.168.0.1",)"
                             R"( "dhcp": "On", "version": "4.0.2", "type": "SIM-GW secure",)"
                             R"( "mac": "02-00-00-00-20-01", "protocol": "secure", "marks": [], "name": null, "note": null})"),
            std::string::npos)
      << json.output;
}

TEST_F(Mdspctl, ConfigureRoundTripOfASecureModule) {
  START();
  CtlRun set = Ctl("configure --mac 02-00-00-00-20-01 --ip 10.77.0.50 --dhcp off", "secret\n");
  ASSERT_EQ(set.code, 0) << set.output;
  EXPECT_NE(set.output.find("configured"), std::string::npos);
  // Only the two values asked for: tag 0 with the address least significant
  // byte first, tag 5 with DHCP off.
  auto payloads = SecurePayloads(simLog_, 2);
  ASSERT_EQ(payloads.size(), 1u) << net_test::ReadFile(simLog_);
  EXPECT_EQ(payloads[0], std::string("\x00\x04\x32\x00\x4d\x0a\x05\x01\x00", 9));
  CtlRun scan = Ctl("scan --timeout 1500");
  std::string row = scan.output.substr(scan.output.find("10.77.0.50 "));
  row = row.substr(0, row.find('\n'));
  EXPECT_NE(row.find("Off"), std::string::npos) << row;
  EXPECT_NE(row.find("02-00-00-00-20-01"), std::string::npos) << row;
}

// After an accepted configure the module is scanned again: what it reports
// must be what it was sent, field by field.
TEST_F(Mdspctl, ConfigureReadsTheModuleBack) {
  NETNS_REQUIRE(lab_);
  ASSERT_TRUE(Start(R"({"modules": [
    {"mac": "02-00-00-00-10-01", "protocol": "text", "password": "pw", "seed": "k7Q2ZP91",
     "ip": "10.77.0.10", "gateway": "10.77.0.1", "hostname": "press-1"},
    {"mac": "02-00-00-00-10-02", "protocol": "text", "password": "pw", "ip": "10.77.0.11",
     "gateway": "10.77.0.1", "faults": {"ignore_fields": ["gateway"]}},
    {"mac": "02-00-00-00-20-01", "protocol": "secure", "password": "pw", "ip": "10.77.0.20",
     "hostname": "valve-1", "faults": {"ignore_fields": ["ip", "hostname"]}},
    {"mac": "02-00-00-00-20-02", "protocol": "secure", "password": "pw", "ip": "10.77.0.21"}
  ]})")) << lab_.error() << net_test::ReadFile(simLog_);
  struct Case {
    const char* args;
    int code;
    const char* line;
  } cases[] = {
      {"--mac 02-00-00-00-10-01 --ip 10.77.0.40 --gateway 10.77.0.254 --hostname cell-1", 0,
       "02-00-00-00-10-01 read back: confirmed"},
      {"--mac 02-00-00-00-20-02 --ip 10.77.0.41 --dhcp off --dns1 10.77.0.53", 0,
       "02-00-00-00-20-02 read back: confirmed"},
      {"--mac 02-00-00-00-10-02 --ip 10.77.0.42 --gateway 10.77.0.254", 7,
       "02-00-00-00-10-02 read back: differs: gateway reads 10.77.0.1"},
      {"--mac 02-00-00-00-20-01 --ip 10.77.0.43 --mask 255.255.0.0 --hostname cell-3", 7,
       "02-00-00-00-20-01 read back: differs: ip reads 10.77.0.20, hostname reads \"valve-1\""},
  };
  for (const Case& c : cases) {
    CtlRun run = Ctl(std::string("configure ") + c.args, "pw\n");
    EXPECT_EQ(run.code, c.code) << c.args << "\n" << run.output;
    EXPECT_NE(run.output.find(c.line), std::string::npos) << c.args << "\n" << run.output;
    EXPECT_NE(run.output.find("configured"), std::string::npos) << run.output;
  }
}

TEST_F(Mdspctl, ConfigureOfASeededTextModuleWithANewPassword) {
  START();
  CtlRun set = Ctl("configure --mac 02-00-00-00-10-01 --ip 10.77.0.60 --new-password --timeout 1500",
                "secret\nfresh\n");
  ASSERT_EQ(set.code, 0) << set.output << net_test::ReadFile(simLog_);
  CtlRun scan = Ctl("scan --timeout 1500");
  EXPECT_NE(scan.output.find("10.77.0.60 "), std::string::npos) << scan.output;
  // Values not given stay as they were (the library would send zeros).
  std::string row = scan.output.substr(scan.output.find("10.77.0.60 "));
  EXPECT_NE(row.substr(0, row.find('\n')).find("255.255.255.0"), std::string::npos);
  // The old password no longer works, the new one does.
  CtlRun old = Ctl("configure --mac 02-00-00-00-10-01 --ip 10.77.0.61 --timeout 1500", "secret\n");
  EXPECT_EQ(old.code, 5) << old.output;
  EXPECT_NE(old.output.find("invalid password"), std::string::npos) << old.output;
  CtlRun fresh = Ctl("configure --mac 02-00-00-00-10-01 --ip 10.77.0.61 --timeout 1500", "fresh\n");
  EXPECT_EQ(fresh.code, 0) << fresh.output;
}

TEST_F(Mdspctl, ConfigureOfAPlainTextModule) {
  START();
  CtlRun set = Ctl("configure --mac 02-00-00-00-10-02 --hostname cell-9 --timeout 1500", "plain\n");
  EXPECT_EQ(set.code, 0) << set.output << net_test::ReadFile(simLog_);
  // Addresses and DHCP not given are left out, the host name is the new one.
  EXPECT_TRUE(Contains(TextReceived(simLog_),
                       "Configure: 02-00-00-00-10-02;Password: plain;HN = cell-9;"))
      << net_test::ReadFile(simLog_);
}

TEST_F(Mdspctl, TextConfigureSendsTheReportedHostNameAndNoPlainPassword) {
  START();
  CtlRun set = Ctl("configure --mac 02-00-00-00-10-01 --gateway 10.77.0.254 --timeout 1500",
                   "secret\n");
  EXPECT_EQ(set.code, 0) << set.output << net_test::ReadFile(simLog_);
  auto texts = TextReceived(simLog_);
  EXPECT_TRUE(Contains(texts, ";GW = 10.77.0.254;HN = press-1;")) << net_test::ReadFile(simLog_);
  EXPECT_FALSE(Contains(texts, "secret"));

  // Seeds of one character or none: the answer is the MD5 of the text cut at
  // the NUL salt character ("k", then ""), never the password itself. These
  // modules answer scans with a fixed text, so they accept and then read
  // back their old address.
  CtlRun one = Ctl("configure --mac 02-00-00-00-10-04 --ip 10.77.0.64 --timeout 1500", "typed\n");
  EXPECT_EQ(one.code, 7) << one.output << net_test::ReadFile(simLog_);
  EXPECT_NE(one.output.find("read back: differs: ip reads 10.77.0.14"), std::string::npos)
      << one.output;
  CtlRun none = Ctl("configure --mac 02-00-00-00-10-05 --ip 10.77.0.65 --timeout 1500", "typed\n");
  EXPECT_EQ(none.code, 7) << none.output << net_test::ReadFile(simLog_);
  texts = TextReceived(simLog_);
  EXPECT_TRUE(Contains(texts, "Configure: 02-00-00-00-10-04;Password: "
                              "8ce4b16b22b58894aa86c421e8759df3;IP = 10.77.0.64;HN = one;"));
  EXPECT_TRUE(Contains(texts, "Configure: 02-00-00-00-10-05;Password: "
                              "d41d8cd98f00b204e9800998ecf8427e;IP = 10.77.0.65;HN = none;"));
  EXPECT_FALSE(Contains(texts, "typed"));

  // A module that did not report its host name would lose it.
  CtlRun unknown = Ctl("configure --mac 02-00-00-00-10-03 --ip 10.77.0.63", "pw\n");
  EXPECT_EQ(unknown.code, 1) << unknown.output;
  EXPECT_NE(unknown.output.find("give --hostname"), std::string::npos) << unknown.output;
  ASSERT_TRUE(net_.SimulatorCaughtUp(simLog_)) << net_test::ReadFile(simLog_);
  EXPECT_FALSE(Contains(TextReceived(simLog_), "Configure: 02-00-00-00-10-03"));
  CtlRun named = Ctl("configure --mac 02-00-00-00-10-03 --ip 10.77.0.63 --hostname raw-1", "pw\n");
  EXPECT_EQ(named.code, 7) << named.output;  // accepted; its fixed answer keeps 10.77.0.13
  EXPECT_NE(named.output.find("configured"), std::string::npos) << named.output;
}

TEST_F(Mdspctl, TextConfigureRefusalsAndSilence) {
  START();
  CtlRun invalid =
      Ctl("configure --mac 02-00-00-00-10-06 --hostname toolong --timeout 1500", "\n");
  EXPECT_EQ(invalid.code, 4) << invalid.output << net_test::ReadFile(simLog_);
  EXPECT_NE(invalid.output.find("invalid values"), std::string::npos) << invalid.output;
  CtlRun silent = Ctl("configure --mac 02-00-00-00-10-07 --hostname a --timeout 800", "\n");
  EXPECT_EQ(silent.code, 6) << silent.output;

  // 255.255.255.255 means "unchanged" to a text module: refused, not dropped.
  CtlRun unchanged = Ctl("configure --mac 02-00-00-00-10-02 --gateway 255.255.255.255", "plain\n");
  EXPECT_EQ(unchanged.code, 1) << unchanged.output;
  EXPECT_NE(unchanged.output.find("255.255.255.255"), std::string::npos) << unchanged.output;
  CtlRun semicolon = Ctl("configure --mac 02-00-00-00-10-02 --hostname n", "pl;IP = 1.2.3.4\n");
  EXPECT_EQ(semicolon.code, 1) << semicolon.output;
  // Every piece at its longest: the text does not fit 512 bytes.
  std::string longName(127, 'h'), longPassword(127, 'p');
  CtlRun tooLong = Ctl("configure --mac 02-00-00-00-10-02 --ip 100.100.100.100 --mask "
                       "255.255.255.0 --gateway 100.100.100.101 --dhcp off --dns1 "
                       "100.100.100.102 --dns2 100.100.100.103 --new-password --hostname " +
                           longName,
                       longPassword + "\n" + longPassword + "\n");
  EXPECT_EQ(tooLong.code, 1) << tooLong.output;
  EXPECT_NE(tooLong.output.find("request too long"), std::string::npos) << tooLong.output;
  ASSERT_TRUE(net_.SimulatorCaughtUp(simLog_)) << net_test::ReadFile(simLog_);
  EXPECT_FALSE(Contains(TextReceived(simLog_), "Configure: 02-00-00-00-10-02"));

  // A secure request over one datagram is refused before the authentication.
  CtlRun secureLong = Ctl("configure --mac 02-00-00-00-20-01 --new-password --hostname " +
                              std::string(255, 'h'),
                          "secret\n" + std::string(255, 'p') + "\n");
  EXPECT_EQ(secureLong.code, 1) << secureLong.output;
  EXPECT_NE(secureLong.output.find("request too long"), std::string::npos) << secureLong.output;
  ASSERT_TRUE(net_.SimulatorCaughtUp(simLog_)) << net_test::ReadFile(simLog_);
  EXPECT_TRUE(SecurePayloads(simLog_, 2).empty());
  EXPECT_EQ(net_test::ReadFile(simLog_).find("authentication"), std::string::npos);

  // Restart is a secure operation: refused before any password is read.
  CtlRun restart = Ctl("restart --mac 02-00-00-00-10-02");
  EXPECT_NE(restart.code, 0);
  EXPECT_NE(restart.output.find("restart needs a secure-protocol module"), std::string::npos)
      << restart.output;
}

TEST_F(Mdspctl, AModuleOfBothProtocolsIsUsedThroughItsSecureEntry) {
  START();
  CtlRun scan = Ctl("scan --json --timeout 1500");
  ASSERT_EQ(scan.code, 0) << scan.output;
  size_t text = scan.output.find(R"("mac": "02-00-00-00-30-01", "protocol": "text")");
  size_t secure = scan.output.find(R"("mac": "02-00-00-00-30-01", "protocol": "secure")");
  EXPECT_NE(text, std::string::npos) << scan.output;
  EXPECT_NE(secure, std::string::npos) << scan.output;

  CtlRun wink = Ctl("wink --mac 02-00-00-00-30-01", "secret\n");
  EXPECT_EQ(wink.code, 0) << wink.output;
  EXPECT_NE(wink.output.find("winked"), std::string::npos) << wink.output;  // confirmed
  CtlRun set = Ctl("configure --mac 02-00-00-00-30-01 --dhcp on", "secret\n");
  EXPECT_EQ(set.code, 0) << set.output;
  auto payloads = SecurePayloads(simLog_, 2);
  ASSERT_EQ(payloads.size(), 1u) << net_test::ReadFile(simLog_);
  EXPECT_EQ(payloads[0], std::string("\x05\x01\x01", 3));
  ASSERT_TRUE(net_.SimulatorCaughtUp(simLog_)) << net_test::ReadFile(simLog_);
  EXPECT_FALSE(Contains(TextReceived(simLog_), "Configure: 02-00-00-00-30-01"));
}

TEST_F(Mdspctl, ASecureModuleWithABrokenDiscoverReplyStaysSecure) {
  START();
  // Its reply lost the marker with the broken TLV; the module is still
  // secure, so the wink asks for the password and is confirmed.
  CtlRun wink = Ctl("wink --mac 02-00-00-00-20-04", "secret\n");
  EXPECT_EQ(wink.code, 0) << wink.output << net_test::ReadFile(simLog_);
  EXPECT_NE(wink.output.find("winked"), std::string::npos) << wink.output;
  CtlRun set = Ctl("configure --mac 02-00-00-00-20-04 --hostname fixed", "secret\n");
  EXPECT_EQ(set.code, 0) << set.output;
  auto payloads = SecurePayloads(simLog_, 2);
  ASSERT_EQ(payloads.size(), 1u) << net_test::ReadFile(simLog_);
  EXPECT_EQ(payloads[0], std::string("\x06\x05" "fixed", 7));
}

TEST_F(Mdspctl, ScanMarksValuesNotReported) {
  START();
  CtlRun scan = Ctl("scan --timeout 1500");
  ASSERT_EQ(scan.code, 0) << scan.output;
  std::string row = RowOf(scan.output, "02-00-00-00-10-03");
  ASSERT_FALSE(row.empty()) << scan.output;
  // IP, then SN, GW, DHCP not reported, version 1.02.3, type RAW.
  std::istringstream cells(row);
  std::vector<std::string> v;
  for (std::string c; cells >> c;) v.push_back(c);
  EXPECT_EQ(v, (std::vector<std::string>{"10.77.0.13", "N/A", "N/A", "N/A", "1.02.3", "RAW",
                                         "02-00-00-00-10-03"}))
      << row;
  CtlRun json = Ctl("scan --json --timeout 1500");
  EXPECT_NE(json.output.find(R"({"ip": "10.77.0.13", "sn": null, "gw": null, "dhcp": null, )"
                             R"("version": "1.02.3", "type": "RAW", "mac": "02-00-00-00-10-03")"),
            std::string::npos)
      << json.output;
}

TEST_F(Mdspctl, WinkAndRestartWithItsReport) {
  START();
  CtlRun wink = Ctl("wink --mac 02-00-00-00-20-01", "secret\n");
  EXPECT_EQ(wink.code, 0) << wink.output;
  EXPECT_NE(wink.output.find("winked"), std::string::npos);
  CtlRun restart = Ctl("restart --mac 02-00-00-00-20-01 --ping-window 4", "secret\n");
  EXPECT_EQ(restart.code, 0) << restart.output;
  EXPECT_NE(restart.output.find("answered"), std::string::npos) << restart.output;
}

TEST_F(Mdspctl, EveryFailureHasItsExitCode) {
  START();
  CtlRun none = Ctl("wink --mac 02-00-00-00-99-99 --timeout 800");
  EXPECT_EQ(none.code, 3) << none.output;
  EXPECT_NE(none.output.find("no module with MAC 02-00-00-00-99-99"), std::string::npos);
  CtlRun wrong = Ctl("wink --mac 02-00-00-00-20-01", "guess\n");
  EXPECT_EQ(wrong.code, 5) << wrong.output;
  CtlRun refused = Ctl("configure --mac 02-00-00-00-20-02 --hostname x", "\n");
  EXPECT_EQ(refused.code, 4) << refused.output;
  EXPECT_NE(refused.output.find("host name too long"), std::string::npos) << refused.output;
  CtlRun silent = Ctl("wink --mac 02-00-00-00-20-03", "\n");
  EXPECT_EQ(silent.code, 6) << silent.output;
  CtlRun noPassword = Ctl("wink --mac 02-00-00-00-20-01", "");
  EXPECT_EQ(noPassword.code, 1) << noPassword.output;
  CtlRun badValue = Ctl("configure --mac 02-00-00-00-20-01 --ip 10.77.0.500");
  EXPECT_EQ(badValue.code, 1) << badValue.output;
  CtlRun badNic = Ctl("scan --nic 10.9.9.9 --timeout 200");
  EXPECT_EQ(badNic.code, 2) << badNic.output;
  CtlRun usage = Ctl("");
  EXPECT_EQ(usage.code, 1) << usage.output;
  EXPECT_NE(usage.output.find("usage: mdspctl [--verbose] COMMAND"), std::string::npos);
  CtlRun help = Ctl("--help");
  EXPECT_EQ(help.code, 0) << help.output;
  EXPECT_NE(help.output.find("Exit codes:"), std::string::npos) << help.output;
  for (const char* command : {"nics", "scan", "wink", "configure", "restart"}) {
    CtlRun help = Ctl(std::string(command) + " --help");
    EXPECT_EQ(help.code, 0) << command;
    EXPECT_NE(help.output.find(std::string("usage: mdspctl ") + command), std::string::npos);
  }
}

TEST_F(Mdspctl, VerboseWritesTheLibraryLog) {
  START();
  CtlRun nics = Ctl("--verbose nics");
  EXPECT_EQ(nics.code, 0) << nics.output;
  EXPECT_NE(nics.output.find("10.77.0.1"), std::string::npos) << nics.output;
  CtlRun scan = Ctl("--verbose scan --timeout 500");
  EXPECT_NE(scan.output.find("Discover initiated"), std::string::npos) << scan.output;
}

// Nothing a terminal acts on may come through from the network: not in the
// table, not in the library's log.
TEST_F(Mdspctl, NetworkTextsReachTheTerminalEscaped) {
  NETNS_REQUIRE(lab_);
  ASSERT_TRUE(Start(kHostileModules)) << lab_.error() << net_test::ReadFile(simLog_);
  SplitRun scan = CtlSplit("--verbose scan --timeout 1500");
  ASSERT_EQ(scan.code, 0) << scan.out << scan.err;
  for (const std::string* text : {&scan.out, &scan.err}) {
    for (char raw : {'\x1b', '\r', '\x07', '\x01', '\x81', '\xff'})
      EXPECT_EQ(text->find(raw), std::string::npos) << static_cast<int>(raw) << " in\n" << *text;
    EXPECT_EQ(text->find("\xc2\x9b"), std::string::npos) << *text;  // C1 control sequence start
  }
  EXPECT_NE(scan.out.find("EVIL\\x1b[2J\\x1b[H\\x0d\\x0a10.9.9.9  FAKE ROW"), std::string::npos)
      << scan.out;
  EXPECT_NE(scan.out.find("1.0\\x1b[8m"), std::string::npos) << scan.out;
  // Not UTF-8, so read as Latin-1: the C1 controls stay visible escapes of
  // their UTF-8 form, the letters show as letters.
  EXPECT_NE(scan.out.find("\\xc2\\x81\xc3\x82\\xc2\\x9b31m\xc3\xbf"), std::string::npos)
      << scan.out;
  // No forged row: every line but the header starts with a listed address.
  std::istringstream lines(scan.out);
  std::string line;
  std::getline(lines, line);
  size_t rows = 0;
  for (; std::getline(lines, line); ++rows)
    EXPECT_TRUE(line.rfind("10.77.0.10 ", 0) == 0 || line.rfind("10.77.0.20 ", 0) == 0) << line;
  EXPECT_EQ(rows, 2u) << scan.out;
  // The log shows the same bytes made visible.
  EXPECT_NE(scan.err.find("fb type = EVIL\\x1b[2J\\x1b[H\\x0d\\x0a10.9.9.9  FAKE ROW;"),
            std::string::npos)
      << scan.err;
}

// Module texts carry no encoding: UTF-8 shows as UTF-8, anything else is
// read as Latin-1, in the table and in JSON alike.
TEST_F(Mdspctl, AccentedTextsShowAsWrittenInEitherEncoding) {
  NETNS_REQUIRE(lab_);
  const char modules[] = R"({"modules": [
    {"mac": "02-00-00-00-10-01", "protocol": "text", "ip": "10.77.0.10",
     "type": "Schaltschrank-S\u00fcd"},
    {"mac": "02-00-00-00-20-01", "protocol": "secure", "ip": "10.77.0.21",
     "faults": {"raw_discover_payload": "040415004d0a0103312e30020353fc64"}}
  ]})";
  ASSERT_TRUE(Start(modules)) << lab_.error() << net_test::ReadFile(simLog_);
  CtlRun scan = Ctl("scan --timeout 1500");
  ASSERT_EQ(scan.code, 0) << scan.output;
  EXPECT_NE(RowOf(scan.output, "02-00-00-00-10-01").find("Schaltschrank-S\xc3\xbc" "d"),
            std::string::npos)
      << scan.output;
  EXPECT_NE(RowOf(scan.output, "02-00-00-00-20-01").find("S\xc3\xbc" "d"), std::string::npos)
      << scan.output;
  CtlRun json = Ctl("scan --json --timeout 1500");
  EXPECT_NE(json.output.find(R"("type": "Schaltschrank-S\u00fcd")"), std::string::npos)
      << json.output;
  EXPECT_NE(json.output.find(R"("type": "S\u00fcd")"), std::string::npos) << json.output;
}

// Junk answering a scan is no module, and a module without a MAC is not
// listed; the sound modules next to them are the marker that the scan ran,
// the log that the junk arrived.
TEST_F(Mdspctl, JunkAndMacLessAnswersAreNotListed) {
  NETNS_REQUIRE(lab_);
  ASSERT_TRUE(Start(kHostileModules)) << lab_.error() << net_test::ReadFile(simLog_);
  SplitRun json = CtlSplit("--verbose scan --json --timeout 1500");
  ASSERT_EQ(json.code, 0) << json.out << json.err;
  EXPECT_NE(json.err.find("Data received: 'junk'"), std::string::npos) << json.err;
  EXPECT_NE(json.err.find("Data received: '\\x01'"), std::string::npos) << json.err;
  size_t dropped = 0;
  for (size_t at = json.err.find("Not a module answer: dropped"); at != std::string::npos;
       at = json.err.find("Not a module answer: dropped", at + 1))
    ++dropped;
  EXPECT_EQ(dropped, 2u) << json.err;
  EXPECT_NE(json.err.find("Data received: 'fb type = NOMAC;"), std::string::npos) << json.err;

  EXPECT_NE(json.out.find("\"mac\": \"02-00-00-00-10-01\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"mac\": \"02-00-00-00-20-01\""), std::string::npos) << json.out;
  size_t listed = 0;
  for (size_t at = json.out.find("\"mac\": "); at != std::string::npos;
       at = json.out.find("\"mac\": ", at + 1))
    ++listed;
  EXPECT_EQ(listed, 2u) << json.out;
  EXPECT_EQ(json.out.find("NOMAC"), std::string::npos) << json.out;
  EXPECT_EQ(json.out.find("00-00-00-00-00-00"), std::string::npos) << json.out;
}

// Several modules at once from a plan file: the plan and its conflicts,
// then one module at a time and the read-back.
const char kBulkModules[] = R"({"modules": [
  {"mac": "02-00-00-00-10-01", "protocol": "text", "password": "pw", "seed": "k7Q2ZP91",
   "ip": "10.77.0.10", "hostname": "t1"},
  {"mac": "02-00-00-00-10-02", "protocol": "text", "password": "pw", "ip": "10.77.0.11",
   "hostname": "t2"},
  {"mac": "02-00-00-00-20-01", "protocol": "secure", "password": "pw", "ip": "10.77.0.20"},
  {"mac": "02-00-00-00-20-02", "protocol": "secure", "password": "other", "ip": "10.77.0.21"},
  {"mac": "02-00-00-00-20-03", "protocol": "secure", "password": "pw", "ip": "10.77.0.22",
   "faults": {"ignore": ["configure"]}},
  {"mac": "02-00-00-00-20-04", "protocol": "secure", "password": "pw", "ip": "10.77.0.23",
   "faults": {"ignore_fields": ["gateway"]}}
]})";

class MdspctlApply : public Mdspctl {
 protected:
  std::string Plan(const std::string& csv) {
    const std::string path = lab_.tempDir() + "/plan" + std::to_string(++plans_) + ".csv";
    std::ofstream(path) << csv;
    return path;
  }
  std::string PasswordFile(const std::string& lines, int mode) {
    const std::string path = lab_.tempDir() + "/passwords" + std::to_string(++plans_);
    std::ofstream(path) << lines;
    chmod(path.c_str(), static_cast<mode_t>(mode));
    return path;
  }
  int plans_ = 0;
};

TEST_F(MdspctlApply, APlanWithConflictsIsShownAndNothingIsApplied) {
  NETNS_REQUIRE(lab_);
  ASSERT_TRUE(Start(kBulkModules)) << lab_.error() << net_test::ReadFile(simLog_);
  struct Case {
    const char* csv;
    const char* problem;
  } cases[] = {
      {"02-00-00-00-20-01,10.77.0.50,,,,,,\n02-00-00-00-10-02,10.77.0.50,,,,,,\n",
       "line 2: address twice: 10.77.0.50 also planned for 02-00-00-00-20-01"},
      {"02-00-00-00-20-01,10.77.0.21,,,,,,\n", "address of another listed module: 10.77.0.21 is "
                                             "02-00-00-00-20-02's"},
      {"02-00-00-00-20-01,10.78.0.5,255.255.255.0,10.78.0.1,,,,\n",
       "outside the interface's subnet: 10.78.0.5 not in 10.77.0.0/24"},
      {"02-00-00-00-20-01,10.77.0.300,,,,,,\n", "bad value: ip '10.77.0.300'"},
      {"02-00-00-00-99-01,10.77.0.60,,,,,,\n", "not listed"},
  };
  for (const Case& c : cases) {
    CtlRun run = Ctl("apply " + Plan(c.csv) + " --nic 10.77.0.1", "pw\n");
    EXPECT_EQ(run.code, 1) << c.csv << run.output;
    EXPECT_NE(run.output.find(c.problem), std::string::npos) << c.csv << run.output;
    EXPECT_NE(run.output.find("nothing was applied"), std::string::npos) << run.output;
  }
  ASSERT_TRUE(net_.SimulatorCaughtUp(simLog_)) << net_test::ReadFile(simLog_);
  EXPECT_EQ(net_test::ReadFile(simLog_).find("configure"), std::string::npos);
  EXPECT_TRUE(SecurePayloads(simLog_, 2).empty());

  // A sound plan with --dry-run is shown and not applied either.
  CtlRun dry = Ctl("apply " + Plan("mac,ip,mask,gateway,dns1,dns2,dhcp,hostname\n"
                                   "02-00-00-00-20-01,10.77.0.50,,,,,,\n") +
                   " --dry-run");
  EXPECT_EQ(dry.code, 0) << dry.output;
  EXPECT_NE(dry.output.find("02-00-00-00-20-01  10.77.0.20       ip 10.77.0.50"),
            std::string::npos)
      << dry.output;
  ASSERT_TRUE(net_.SimulatorCaughtUp(simLog_)) << net_test::ReadFile(simLog_);
  EXPECT_TRUE(SecurePayloads(simLog_, 2).empty());

  // The same as JSON for scripts: problems listed, nothing sent.
  SplitRun json = CtlSplit("apply " + Plan("02-00-00-00-20-01,10.77.0.21,,,,,,\n") + " --json");
  EXPECT_EQ(json.code, 1) << json.out << json.err;
  EXPECT_EQ(json.out, "[\n {\"mac\": \"02-00-00-00-20-01\", \"line\": 1, \"plan\": \"ip "
                      "10.77.0.21\", \"problems\": [\"address of another listed module: 10.77.0.21 "
                      "is 02-00-00-00-20-02's\"], \"result\": null}\n]\n");
}

TEST_F(MdspctlApply, EveryModuleGetsItsOwnResultAndIsReadBack) {
  NETNS_REQUIRE(lab_);
  ASSERT_TRUE(Start(kBulkModules)) << lab_.error() << net_test::ReadFile(simLog_);
  const std::string plan = Plan(
      "02-00-00-00-10-01,10.77.0.40,,,,,,cell-1\n"
      "02-00-00-00-20-02,10.77.0.42,,,,,,\n"   // another password: refused
      "02-00-00-00-20-03,10.77.0.43,,,,,,\n"   // never answers a configure
      "02-00-00-00-20-04,,,10.77.0.254,,,,\n"  // accepts, keeps its gateway
      "02-00-00-00-20-01,10.77.0.41,255.255.255.0,,,,off,\n"
      "02-00-00-00-10-02,,,,10.77.0.53,,,\n");
  CtlRun run = Ctl("apply " + plan + " --timeout 800", "pw\n");
  EXPECT_EQ(run.code, 5) << run.output;  // the first module not confirmed refused the password
  for (const char* line : {"02-00-00-00-10-01  accepted", "02-00-00-00-20-02  wrong password",
                           "02-00-00-00-20-03  no answer within 800 ms",
                           "02-00-00-00-10-01  read back: confirmed",
                           "02-00-00-00-20-01  read back: confirmed",
                           "02-00-00-00-10-02  read back: confirmed",
                           "02-00-00-00-20-04  read back: differs: gateway reads 192.168.0.1"})
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
  // One module at a time, in the plan's order.
  const std::string log = net_test::ReadFile(simLog_);
  size_t a = log.find("event 02-00-00-00-10-01 text-configure"),
         b = log.find("event 02-00-00-00-20-02 bad-digest"),
         c = log.find("event 02-00-00-00-20-03 ignored configure"),
         d = log.find("event 02-00-00-00-20-04 configure applied");
  ASSERT_TRUE(a != log.npos && b != log.npos && c != log.npos && d != log.npos) << log;
  EXPECT_TRUE(a < b && b < c && c < d) << log;

  // Retried with the right password, the refused one is confirmed alone.
  CtlRun retry = Ctl("apply " + Plan("02-00-00-00-20-02,10.77.0.42,,,,,,\n"), "other\n");
  EXPECT_EQ(retry.code, 0) << retry.output;
  EXPECT_NE(retry.output.find("02-00-00-00-20-02  read back: confirmed"), std::string::npos)
      << retry.output;
}

TEST_F(MdspctlApply, PasswordFileMustBePrivate) {
  NETNS_REQUIRE(lab_);
  ASSERT_TRUE(Start(kBulkModules)) << lab_.error() << net_test::ReadFile(simLog_);
  const std::string plan =
      Plan("02-00-00-00-20-01,10.77.0.41,,,,,,\n02-00-00-00-20-02,10.77.0.42,,,,,,\n");
  const std::string lines = "02-00-00-00-20-01 pw\n02-00-00-00-20-02 other\n";
  for (int loose : {0644, 0640, 0604, 0620}) {
    CtlRun run = Ctl("apply " + plan + " --password-file " + PasswordFile(lines, loose));
    EXPECT_EQ(run.code, 1) << std::oct << loose << run.output;
    EXPECT_NE(run.output.find("may be read or written by others"), std::string::npos)
        << run.output;
  }
  ASSERT_TRUE(net_.SimulatorCaughtUp(simLog_)) << net_test::ReadFile(simLog_);
  EXPECT_TRUE(SecurePayloads(simLog_, 2).empty());  // refused before anything was sent

  // A module of the plan without a line is a conflict of the plan.
  CtlRun missing = Ctl("apply " + plan + " --password-file " +
                       PasswordFile("02-00-00-00-20-01 pw\n", 0600));
  EXPECT_EQ(missing.code, 1) << missing.output;
  EXPECT_NE(missing.output.find("no password for it in the password file"), std::string::npos);

  CtlRun run = Ctl("apply " + plan + " --password-file " + PasswordFile(lines, 0600));
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_NE(run.output.find("02-00-00-00-20-02  read back: confirmed"), std::string::npos)
      << run.output;
}

// A namespace with nothing but its loopback: each command says what it looked
// for and what to run next, instead of only that it found nothing.
TEST(MdspctlWithoutInterfaces, SaysWhatWasLookedForAndWhatToRunNext) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  const std::string ns = lab.AddNamespace("bare");
  ASSERT_FALSE(ns.empty()) << lab.error();
  struct Case {
    const char* args;
    const char* next;
  };
  for (const Case& c : {Case{"scan --timeout 200", "run 'mdspctl nics'"},
                        Case{"restart --mac 02-00-00-00-10-01", "run 'mdspctl nics'"},
                        Case{"nics", "'ip -4 address'"}}) {
    std::string output;
    lab.Run(ns, std::string(MDSPCTL_PATH) + " " + c.args + " </dev/null; echo \"rc=$?\"", &output);
    EXPECT_NE(output.find("rc=2"), std::string::npos) << c.args << ": " << output;
    EXPECT_NE(output.find("looked for one that is up and has an IPv4 address"), std::string::npos)
        << c.args << ": " << output;
    EXPECT_NE(output.find(c.next), std::string::npos) << c.args << ": " << output;
  }
}

// Names set with the name command show in the table, JSON and CSV of the
// next scan, parsed back; the names file is the test's own.
TEST_F(Mdspctl, NamesShowInScanTableJsonAndCsv) {
  START();
  env_ = "XDG_CONFIG_HOME=" + lab_.tempDir() + "/config ";
  CtlRun set = Ctl("name --mac 02-00-00-00-20-01 'Press, \"1\"' --note 'left of the door'");
  ASSERT_EQ(set.code, 0) << set.output;
  EXPECT_EQ(Ctl("name --mac 02:00:00:00:10:01 '=HYPERLINK(1)'").code, 0);
  CtlRun show = Ctl("name --mac 02-00-00-00-20-01");
  EXPECT_EQ(show.output, "02-00-00-00-20-01\nname: Press, \"1\"\nnote: left of the door\n");
  EXPECT_EQ(Ctl("name --mac nonsense x").code, 1);
  EXPECT_EQ(Ctl("scan --json --csv").code, 1);

  CtlRun table = Ctl("scan --timeout 1500");
  ASSERT_EQ(table.code, 0) << table.output;
  EXPECT_NE(table.output.substr(0, table.output.find('\n')).find("Status"), std::string::npos);
  EXPECT_NE(RowOf(table.output, "02-00-00-00-20-01").find("Press, \"1\""), std::string::npos)
      << table.output;

  SplitRun json = CtlSplit("scan --json --timeout 1500");
  ASSERT_EQ(json.code, 0) << json.err;
  EXPECT_NE(json.out.find(R"("mac": "02-00-00-00-20-01", "protocol": "secure", "marks": [], "name": "Press, \"1\"",)"
                          R"( "note": "left of the door"})"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find(R"("mac": "02-00-00-00-10-02", "protocol": "text", "marks": [], "name": null, "note": null})"),
            std::string::npos)
      << json.out;

  SplitRun csv = CtlSplit("scan --csv --timeout 1500");
  ASSERT_EQ(csv.code, 0) << csv.err;
  EXPECT_EQ(csv.out.substr(0, csv.out.find('\n') + 1),
            "IP,SN,GW,DHCP,Version,Type,MAC,Status,Name,Note\r\n");
  EXPECT_NE(csv.out.find("\r\n10.77.0.20,255.255.255.0,192.168.0.1,On,4.0.2,SIM-GW secure,"
                         "02-00-00-00-20-01,\"Press, \"\"1\"\"\",\"Press, \"\"1\"\"\",left of the door\r\n"),
            std::string::npos)
      << csv.out;
  EXPECT_NE(csv.out.find(",02-00-00-00-10-01,'=HYPERLINK(1),'=HYPERLINK(1),\r\n"), std::string::npos)
      << csv.out;
  // The Status cell carries the marks, as the table and the tool show them.
  EXPECT_NE(csv.out.find(",02-00-00-00-10-06,\"duplicate IP, other network\",,\r\n"),
            std::string::npos)
      << csv.out;

  // A damaged names file: a warning on standard error, the scan goes on
  // without names, and the next name set keeps the damaged file aside.
  lab_.Run(host_, "printf 'junk' > '" + lab_.tempDir() + "/config/Tordal/Corvane Pelmar/names.txt'");
  SplitRun damaged = CtlSplit("scan --json --timeout 1500");
  EXPECT_EQ(damaged.code, 0);
  EXPECT_NE(damaged.err.find("is damaged and was ignored"), std::string::npos) << damaged.err;
  EXPECT_EQ(damaged.out.find("Press"), std::string::npos);
  EXPECT_EQ(Ctl("name --mac 02-00-00-00-20-01 again").code, 0);
  EXPECT_EQ(net_test::ReadFile(lab_.tempDir() + "/config/Tordal/Corvane Pelmar/names.txt.damaged"),
            "junk");
}

}  // namespace
}  // namespace mdspctl_test
