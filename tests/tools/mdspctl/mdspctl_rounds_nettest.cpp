// mdspctl scan --rounds against a lossy simulator in throwaway namespaces:
// the drops are seeded, so the same answers are lost on every run.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "host_and_peer.h"
#include "netns.h"

namespace mdspctl_test {
namespace {

constexpr int kModules = 40;

// 30 text and 10 secure modules, MACs 02-00-00-00-40-00 and up.
std::string LossyModules() {
  std::string json = "{\"modules\": [";
  for (int i = 0; i < kModules; ++i) {
    char mac[32];
    std::snprintf(mac, sizeof mac, "02-00-00-00-40-%02X", i);
    json += std::string(i ? "," : "") + "{\"mac\": \"" + mac + "\", \"protocol\": \"" +
            (i < 30 ? "text" : "secure") + "\", \"ip\": \"10.77.0." + std::to_string(100 + i) +
            "\"}";
  }
  return json + "]}";
}

struct Listing {
  int code = -1;
  int lines = 0;               // rows of modules listed
  std::set<std::string> macs;  // distinct MACs among them
  std::string output;
};

Listing Scan(net_test::HostAndPeer& net, const std::string& options) {
  Listing l;
  net.lab.Run(net.host, std::string(MDSPCTL_PATH) + " scan " + options + " </dev/null; echo \"rc=$?\"",
              &l.output);
  const size_t rc = l.output.rfind("rc=");
  if (rc != std::string::npos) l.code = std::stoi(l.output.substr(rc + 3));
  std::istringstream lines(l.output);
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find("02-00-00-00-40-");
    if (at == std::string::npos) continue;
    ++l.lines;
    l.macs.insert(line.substr(at, 17));
  }
  return l;
}

TEST(MdspctlRounds, ThreeRoundsFindWhatOneRoundMisses) {
  net_test::HostAndPeer net;
  NETNS_REQUIRE(net.lab);
  ASSERT_TRUE(net.SetUp()) << net.lab.error();
  const std::string log = net.StartSimulator(MDSP_SIM_PATH, LossyModules(),
                                             {"--loss", "0.1", "--loss-seed", "3"});
  ASSERT_FALSE(log.empty()) << net.lab.error();

  const Listing one = Scan(net, "--timeout 600");
  EXPECT_EQ(one.code, 0) << one.output;
  EXPECT_LT(static_cast<int>(one.macs.size()), kModules) << "the seeded loss drops some answers";
  EXPECT_GT(static_cast<int>(one.macs.size()), kModules / 2) << one.output;

  const Listing three = Scan(net, "--rounds 3 --interval 150 --timeout 600");
  EXPECT_EQ(three.code, 0) << three.output;
  EXPECT_EQ(static_cast<int>(three.macs.size()), kModules) << three.output;
  EXPECT_EQ(three.lines, kModules) << "each module listed once: " << three.output;

  // Three rounds are three discovers in each protocol: the text scan and the
  // secure Discover, each three times.
  ASSERT_TRUE(net.SimulatorCaughtUp(log));
  int textScans = 0;
  for (const std::string& text : net_test::SimTextReceived(log)) textScans += text == "MODULE SCAN";
  EXPECT_EQ(textScans, 1 + 3);

  const Listing json = Scan(net, "--rounds 2 --json --timeout 600");
  EXPECT_EQ(json.code, 0);
  EXPECT_EQ(json.lines, static_cast<int>(json.macs.size())) << json.output;

  const Listing refused = Scan(net, "--rounds 9");
  EXPECT_EQ(refused.code, 1) << refused.output;
  EXPECT_NE(refused.output.find("--rounds needs 1 to 5"), std::string::npos) << refused.output;
}

}  // namespace
}  // namespace mdspctl_test
