// mdspctl end to end: the program in a host namespace, the simulator in a
// module namespace, joined by a veth pair that only these tests use.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "netns.h"

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
  {"mac": "02-00-00-00-20-03", "protocol": "secure", "faults": {"ignore": ["authentication"]}}
]})";

struct CtlRun {
  int code = -1;
  std::string output;  // standard output and error together
};

class Mdspctl : public ::testing::Test {
 protected:
  bool Start() {
    host_ = lab_.addNamespace("h");
    mods_ = lab_.addNamespace("m");
    if (host_.empty() || mods_.empty() ||
        !lab_.link(host_, "h0", "10.77.0.1/24", "02:00:00:aa:00:01", mods_, "m0",
                   "10.77.0.2/24", "02:00:00:bb:00:01"))
      return false;
    simLog_ = lab_.startSimulator(MDSP_SIM_PATH, mods_, "m0", kModules);
    return !simLog_.empty();
  }

  // Runs mdspctl in the host namespace with `input` on standard input.
  CtlRun Ctl(const std::string& args, const std::string& input = "") {
    std::string inputFile = lab_.tempDir() + "/input";
    std::ofstream(inputFile) << input;
    CtlRun run;
    lab_.run(host_, std::string(MDSPCTL_PATH) + " " + args + " < " + inputFile +
                        "; echo \"rc=$?\"",
             &run.output);
    size_t at = run.output.rfind("rc=");
    if (at != std::string::npos) {
      run.code = std::stoi(run.output.substr(at + 3));
      run.output.erase(at);
    }
    return run;
  }

  testnet::Lab lab_;
  std::string host_, mods_, simLog_;
};

#define START()        \
  NETNS_REQUIRE(lab_); \
  ASSERT_TRUE(Start()) << lab_.error() << testnet::readFile(simLog_)

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
  for (const char* cell : {"255.255.255.0", "10.77.0.1", "Off", "3.1.7", "SIM-IO 16DI",
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
                             R"( "mac": "02-00-00-00-20-01", "protocol": "secure"})"),
            std::string::npos)
      << json.output;
}

TEST_F(Mdspctl, ConfigureRoundTripOfASecureModule) {
  START();
  CtlRun set = Ctl("configure --mac 02-00-00-00-20-01 --ip 10.77.0.50 --dhcp off", "secret\n");
  ASSERT_EQ(set.code, 0) << set.output;
  EXPECT_NE(set.output.find("configured"), std::string::npos);
  CtlRun scan = Ctl("scan --timeout 1500");
  std::string row = scan.output.substr(scan.output.find("10.77.0.50 "));
  row = row.substr(0, row.find('\n'));
  EXPECT_NE(row.find("Off"), std::string::npos) << row;
  EXPECT_NE(row.find("02-00-00-00-20-01"), std::string::npos) << row;
}

TEST_F(Mdspctl, ConfigureOfASeededTextModuleWithANewPassword) {
  START();
  CtlRun set = Ctl("configure --mac 02-00-00-00-10-01 --ip 10.77.0.60 --new-password --timeout 1500",
                "secret\nfresh\n");
  ASSERT_EQ(set.code, 0) << set.output << testnet::readFile(simLog_);
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
  EXPECT_EQ(set.code, 0) << set.output << testnet::readFile(simLog_);
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

}  // namespace
