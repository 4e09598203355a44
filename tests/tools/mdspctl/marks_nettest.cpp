// The Status marks of `mdspctl scan` and `configure --ip auto`, end to end:
// mdspctl in a host namespace, the simulator in a module namespace, and for
// the move a third namespace on the same link that holds an address.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "host_and_peer.h"
#include "netns.h"

namespace mdspctl_test {
namespace {

// Two modules with one address, one on 192.168.77.0/24 while the host is on
// 10.77.0.0/24, one without an address, one link-local, one at home.
const char kMarked[] = R"({"modules": [
  {"mac": "02-00-00-00-40-01", "ip": "10.77.0.10", "subnet": "255.255.255.0"},
  {"mac": "02-00-00-00-40-02", "protocol": "secure", "ip": "10.77.0.10"},
  {"mac": "02-00-00-00-40-03", "password": "pw", "ip": "192.168.77.5", "hostname": "far-1",
   "dns1": "192.168.77.1"},
  {"mac": "02-00-00-00-40-04", "ip": "0.0.0.0", "dhcp": true},
  {"mac": "02-00-00-00-40-05", "protocol": "secure", "ip": "169.254.3.7"},
  {"mac": "02-00-00-00-40-06", "ip": "10.77.0.3"}
]})";

// The same place later: 40-02 and 40-06 gone, 40-07 new.
const char kLater[] = R"({"modules": [
  {"mac": "02-00-00-00-40-01", "ip": "10.77.0.10"},
  {"mac": "02-00-00-00-40-03", "ip": "192.168.77.5"},
  {"mac": "02-00-00-00-40-04", "ip": "0.0.0.0", "dhcp": true},
  {"mac": "02-00-00-00-40-05", "protocol": "secure", "ip": "169.254.3.7"},
  {"mac": "02-00-00-00-40-07", "ip": "10.77.0.11"}
]})";

struct CtlResult {
  int code = -1;
  std::string out;
};

// The JSON object of the module with that MAC.
std::string ObjectOf(const std::string& json, const std::string& mac) {
  size_t at = json.find("\"mac\": \"" + mac + "\"");
  if (at == std::string::npos) return "";
  size_t start = json.rfind('{', at);
  return json.substr(start, json.find('}', at) - start + 1);
}

class MdspctlMarks : public ::testing::Test {
 protected:
  // Host h0 10.77.0.1/24 in a bridge with the module namespace's p0 and,
  // when `third`, a namespace holding 10.77.0.2.
  bool Build(bool third) {
    if (!lab_.ok()) return false;
    host_ = lab_.AddNamespace("h");
    peer_ = lab_.AddNamespace("p");
    if (host_.empty() || peer_.empty()) return false;
    if (!lab_.Link(host_, "h0", "", "02:00:00:aa:00:01", peer_, "p0", "10.77.0.250/24",
                   "02:00:00:bb:00:01"))
      return false;
    std::string bridge = "ip link add br0 address 02:00:00:aa:00:09 type bridge && "
                         "ip link set h0 master br0 && ";
    if (third) {
      const std::string other = lab_.AddNamespace("t");
      if (other.empty() || !lab_.Link(host_, "h1", "", "02:00:00:aa:00:02", other, "t0",
                                      "10.77.0.2/24", "02:00:00:cc:00:01"))
        return false;
      bridge += "ip link set h1 master br0 && ";
    }
    bridge += "ip addr add 10.77.0.1/24 dev br0 && ip link set br0 up";
    return lab_.Run(host_, bridge);
  }

  bool StartSim(const char* modules) {
    const std::string config = lab_.tempDir() + "/modules-" + std::to_string(++sims_) + ".json";
    simLog_ = lab_.tempDir() + "/sim-" + std::to_string(sims_) + ".log";
    std::ofstream(config) << modules;
    sim_ = lab_.Spawn(peer_, {MDSP_SIM_PATH, "--iface", "p0", "--config", config}, simLog_);
    return sim_ > 0 && net_test::WaitFor([&] {
             return net_test::ReadFile(simLog_).find("ready ") != std::string::npos;
           }, 10000);
  }

  // mdspctl in the host namespace, its state folder a throwaway one.
  CtlResult Ctl(const std::string& args, const std::string& input = "") {
    const std::string inputFile = lab_.tempDir() + "/input";
    std::ofstream(inputFile) << input;
    CtlResult run;
    lab_.Run(host_, "XDG_STATE_HOME=" + lab_.tempDir() + "/state " + MDSPCTL_PATH + " " + args +
                        " < " + inputFile + " 2>&1; echo \"rc=$?\"",
             &run.out);
    const size_t at = run.out.rfind("rc=");
    if (at != std::string::npos) {
      run.code = std::stoi(run.out.substr(at + 3));
      run.out.erase(at);
    }
    return run;
  }

  net_test::Lab lab_;
  std::string host_, peer_, simLog_;
  pid_t sim_ = -1;
  int sims_ = 0;
};

TEST_F(MdspctlMarks, EachMarkThenNewAndGoneAcrossTwoScans) {
  NETNS_REQUIRE(lab_);
  ASSERT_TRUE(Build(false)) << lab_.error();
  ASSERT_TRUE(StartSim(kMarked)) << net_test::ReadFile(simLog_);

  // Nothing kept yet: nothing is new, nothing gone.
  const CtlResult first = Ctl("scan --json --remember --nic 10.77.0.1 --timeout 1500");
  ASSERT_EQ(first.code, 0) << first.out;
  const struct {
    const char* mac;
    const char* marks;
  } expected[] = {
      {"02-00-00-00-40-01", R"("marks": ["duplicate IP"])"},
      {"02-00-00-00-40-02", R"("marks": ["duplicate IP"])"},
      {"02-00-00-00-40-03", R"("marks": ["other network"])"},
      {"02-00-00-00-40-04", R"("marks": ["no address"])"},
      {"02-00-00-00-40-05", R"("marks": ["no address"])"},
      {"02-00-00-00-40-06", R"("marks": [])"},
  };
  for (const auto& e : expected)
    EXPECT_NE(ObjectOf(first.out, e.mac).find(e.marks), std::string::npos)
        << e.mac << " in " << first.out;
  EXPECT_NE(first.out.find(R"("gone": []})"), std::string::npos) << first.out;

  // The same modules again: the kept list knows them all.
  const CtlResult same = Ctl("scan --nic 10.77.0.1 --timeout 1500");
  ASSERT_EQ(same.code, 0) << same.out;
  EXPECT_EQ(same.out.find("new"), std::string::npos) << same.out;
  EXPECT_EQ(same.out.find("no longer answer"), std::string::npos) << same.out;
  EXPECT_NE(same.out.find("02-00-00-00-40-03  other network\n"), std::string::npos) << same.out;

  // Later two have left and one has come.
  ASSERT_GE(lab_.Stop(sim_), 0);
  ASSERT_TRUE(StartSim(kLater)) << net_test::ReadFile(simLog_);
  const CtlResult table = Ctl("scan --nic 10.77.0.1 --timeout 1500");
  ASSERT_EQ(table.code, 0) << table.out;
  EXPECT_NE(table.out.find("02-00-00-00-40-07  new\n"), std::string::npos) << table.out;
  // 40-01 has its address to itself now.
  EXPECT_NE(table.out.find("02-00-00-00-40-01\n"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("2 modules no longer answer: 02-00-00-00-40-02, 02-00-00-00-40-06\n"),
            std::string::npos)
      << table.out;
  const CtlResult json = Ctl("scan --json --nic 10.77.0.1 --timeout 1500");
  EXPECT_NE(ObjectOf(json.out, "02-00-00-00-40-07").find(R"("marks": ["new"])"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find(R"("gone": ["02-00-00-00-40-02", "02-00-00-00-40-06"]})"),
            std::string::npos)
      << json.out;
}

// 10.77.0.1 is the host, .2 answers on the link (third namespace), .3 is a
// listed module's: the module on 192.168.77.0/24 gets .4, the bridge's mask,
// no gateway (the host has none), DHCP off, its own DNS and host name.
TEST_F(MdspctlMarks, MoveToThisNetworkTakesTheFirstFreeAddress) {
  NETNS_REQUIRE(lab_);
  ASSERT_TRUE(Build(true)) << lab_.error();
  ASSERT_TRUE(StartSim(kMarked)) << net_test::ReadFile(simLog_);

  const CtlResult move = Ctl("configure --mac 02-00-00-00-40-03 --ip auto --nic 10.77.0.1", "pw\n");
  ASSERT_EQ(move.code, 0) << move.out << net_test::ReadFile(simLog_);
  const size_t chosen = move.out.find(
      "02-00-00-00-40-03: free address 10.77.0.4 on br0 (10.77.0.1/24), mask 255.255.255.0, "
      "gateway 0.0.0.0\n");
  ASSERT_NE(chosen, std::string::npos) << move.out;
  // Printed before the password was asked for.
  EXPECT_LT(chosen, move.out.find("Password"));
  std::vector<std::string> texts = net_test::SimTextReceived(simLog_);
  bool sent = false;
  for (const std::string& t : texts)
    if (t.rfind("Configure: 02-00-00-00-40-03;", 0) == 0) {
      sent = true;
      EXPECT_NE(t.find("IP = 10.77.0.4;SN = 255.255.255.0;GW = 0.0.0.0;DHCP = OFF;HN = far-1;"),
                std::string::npos)
          << t;
      EXPECT_EQ(t.find("DNS1"), std::string::npos) << t;  // unchanged
    }
  EXPECT_TRUE(sent) << net_test::ReadFile(simLog_);

  // A module at home is not moved; one without an address is, past the
  // address the first one has now.
  const CtlResult home = Ctl("configure --mac 02-00-00-00-40-06 --ip auto --nic 10.77.0.1", "\n");
  EXPECT_EQ(home.code, 1) << home.out;
  EXPECT_NE(home.out.find("is on br0 (10.77.0.1/24) already"), std::string::npos) << home.out;
  const CtlResult none = Ctl("configure --mac 02-00-00-00-40-04 --ip auto", "\n");
  EXPECT_EQ(none.code, 0) << none.out;
  EXPECT_NE(none.out.find("free address 10.77.0.5"), std::string::npos) << none.out;
}

}  // namespace
}  // namespace mdspctl_test
