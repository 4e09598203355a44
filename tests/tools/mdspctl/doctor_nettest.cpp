// mdspctl doctor end to end, in a host namespace wired to the simulator: each
// fault is made in the namespace, found with its fix, and the fix is then
// run to show that it cures the fault.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host_and_peer.h"
#include "netns.h"

namespace {

const char kTwoModules[] = R"({"modules": [
  {"mac": "02-00-00-00-10-01", "protocol": "text", "ip": "10.77.0.10"},
  {"mac": "02-00-00-00-20-01", "protocol": "secure", "ip": "10.77.0.20"}
]})";

constexpr int kWaitMs = 10000;

struct DoctorRun {
  int code = -1;
  std::string out;
};

// mdspctl doctor in the host namespace; prefix runs before it (a user
// switch), programs is the PATH where pelmar and pelmar-dhcpd are looked for.
DoctorRun DoctorIn(net_test::HostAndPeer& net, const std::string& args, const std::string& prefix = "",
        const std::string& programs = PROGRAMS_PATH, const std::string& mdspctl = MDSPCTL_PATH) {
  DoctorRun run;
  net.lab.Run(net.host, "PATH=" + programs + ":/usr/sbin:/usr/bin:/sbin:/bin " + prefix + " " +
                            mdspctl + " doctor --timeout 800 " + args + " 2>&1; echo \"rc=$?\"",
              &run.out);
  size_t at = run.out.rfind("rc=");
  if (at != std::string::npos) {
    run.code = std::stoi(run.out.substr(at + 3));
    run.out.erase(at);
  }
  return run;
}

// The fix of the one finding in a JSON report, without its "sudo ".
std::string OnlyFix(const DoctorRun& run) {
  nlohmann::json report = nlohmann::json::parse(run.out, nullptr, false);
  if (report.is_discarded() || report["findings"].size() != 1) return "";
  std::string fix = report["findings"][0]["fix"];
  return fix.rfind("sudo ", 0) == 0 ? fix.substr(5) : fix;
}

bool StartWire(net_test::HostAndPeer& net) {
  return net.SetUp() && !net.StartSimulator(MDSP_SIM_PATH, kTwoModules).empty();
}

class Doctor : public ::testing::Test {
 protected:
  DoctorRun Doc(const std::string& args, const std::string& prefix = "",
          const std::string& programs = PROGRAMS_PATH, const std::string& mdspctl = MDSPCTL_PATH) {
    return DoctorIn(net_, args, prefix, programs, mdspctl);
  }

  net_test::HostAndPeer net_;
  net_test::Lab& lab_ = net_.lab;
  const std::string& host_ = net_.host;
};

#define START()        \
  NETNS_REQUIRE(lab_); \
  ASSERT_TRUE(StartWire(net_)) << lab_.error()

TEST_F(Doctor, CleanMachineCountsTheModulesAndExitsZero) {
  START();
  DoctorRun run = Doc("");
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("h0"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 modules"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("firewall: lets answers in"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("port 67: free"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Nothing wrong found."), std::string::npos) << run.out;

  DoctorRun json = Doc("--json");
  EXPECT_EQ(json.code, 0) << json.out;
  nlohmann::json report = nlohmann::json::parse(json.out, nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << json.out;
  ASSERT_EQ(report["scans"].size(), 1u) << json.out;
  EXPECT_EQ(report["scans"][0]["interface"], "h0");
  EXPECT_EQ(report["scans"][0]["modules"], 2);
  EXPECT_TRUE(report["healthy"]);

  // Limited to loopback's address: h0 is listed but not scanned.
  DoctorRun limited = Doc("--json --nic 127.0.0.1");
  report = nlohmann::json::parse(limited.out, nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << limited.out;
  EXPECT_TRUE(report["scans"].empty()) << limited.out;
}

// Each fault made in the host namespace, its finding, and its fix applied.
struct FaultCase {
  const char* name;
  const char* make;     // shell command in the host namespace; {peer}: the peer namespace
  const char* problem;  // part of the finding
  const char* fix;      // the fix, without "sudo "
};

TEST(DoctorFaults, EachFaultIsFoundAndItsFixCuresIt) {
  const FaultCase cases[] = {
      {"down interface", "ip link add d0 type veth peer name d0p netns {peer} && ip address add 10.88.0.1/24 dev d0",
       "d0 is down", "ip link set d0 up"},
      {"interface without IPv4", "ip link add d1 type veth peer name d1p netns {peer} && ip link set d1 up",
       "d1 has no IPv4 address", "ip address add 192.168.0.10/24 dev d1"},
      {"firewall drops the answers",
       "nft add table inet filter && nft add chain inet filter input "
       "'{ type filter hook input priority 0; policy accept; }' && "
       "nft add rule inet filter input udp sport 3250 drop",
       "drops the modules' answers", "nft insert rule inet filter input udp sport 3250 accept"},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (std::string(c.make).rfind("nft ", 0) == 0 && system("command -v nft >/dev/null") != 0) {
      if (net_test::CiMode()) ADD_FAILURE() << "nft missing (Debian package nftables)";
      else std::fprintf(stderr, "skipped: nft missing (Debian package nftables)\n");
      continue;
    }
    // A fresh wire per case: faults must not add up.
    net_test::HostAndPeer net;
    NETNS_REQUIRE(net.lab);
    ASSERT_TRUE(StartWire(net)) << net.lab.error();
    std::string output;
    std::string make = c.make;
    if (size_t at = make.find("{peer}"); at != std::string::npos) make.replace(at, 6, net.peer);
    ASSERT_TRUE(net.lab.Run(net.host, make, &output)) << output;
    DoctorRun found = DoctorIn(net, "--json");
    EXPECT_EQ(found.code, 8) << found.out;
    EXPECT_NE(found.out.find(c.problem), std::string::npos) << found.out;
    std::string fix = OnlyFix(found);
    EXPECT_EQ(fix.substr(0, std::string(c.fix).size()), c.fix) << found.out;
    ASSERT_TRUE(net.lab.Run(net.host, fix, &output)) << fix << ": " << output;
    DoctorRun cured = DoctorIn(net, "");
    EXPECT_EQ(cured.code, 0) << cured.out;
  }
}

TEST_F(Doctor, Port67HeldByAnotherServer) {
  START();
  pid_t holder = lab_.Spawn(host_, {PELMAR_DHCPD_PATH}, lab_.tempDir() + "/holder.log");
  ASSERT_GT(holder, 0);
  ASSERT_TRUE(net_test::WaitFor(
      [&] {
        return net_test::ReadFile(lab_.tempDir() + "/holder.log").find("serving") !=
               std::string::npos;
      },
      kWaitMs));
  DoctorRun found = Doc("--json");
  EXPECT_EQ(found.code, 8) << found.out;
  EXPECT_NE(found.out.find("UDP port 67 is taken by pelmar-dhcpd (pid"), std::string::npos)
      << found.out;
  EXPECT_EQ(OnlyFix(found), "kill " + std::to_string(holder)) << found.out;
  lab_.Stop(holder);
  EXPECT_EQ(Doc("").code, 0);
}

// As nobody a program needs the capability; root may set it.
TEST_F(Doctor, CapabilityMissingAndPresentForAnUnprivilegedUser) {
  START();
  if (system("command -v setpriv >/dev/null && command -v setcap >/dev/null") != 0) {
    if (net_test::CiMode()) FAIL() << "setpriv or setcap missing (util-linux, libcap2-bin)";
    GTEST_SKIP() << "setpriv or setcap missing (util-linux, libcap2-bin)";
  }
  std::string folder = lab_.tempDir() + "/bin";
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  chmod(lab_.tempDir().c_str(), 0755);
  std::string copy = folder + "/pelmar-dhcpd";
  ASSERT_EQ(system(("cp " + std::string(PELMAR_DHCPD_PATH) + " " + copy).c_str()), 0);
  // mdspctl and its library run from copies too: nobody may not reach a
  // build tree inside a checkout that only its owner may enter.
  std::string tool = lab_.tempDir() + "/tool";
  ASSERT_EQ(mkdir(tool.c_str(), 0755), 0);
  ASSERT_EQ(system(("cp " + std::string(MDSPCTL_PATH) + " " + tool + "/ && cp " + MDSP_LIBRARY_PATH +
                    " " + tool + "/" + MDSP_LIBRARY_SONAME)
                       .c_str()),
            0);
  const std::string asNobody =
      "setpriv --reuid=65534 --regid=65534 --clear-groups env LD_LIBRARY_PATH=" + tool;
  const std::string mdspctl = tool + "/mdspctl";

  DoctorRun missing = Doc("--json", asNobody, folder, mdspctl);
  EXPECT_EQ(missing.code, 8) << missing.out;
  EXPECT_NE(missing.out.find("pelmar-dhcpd may not open port 67"), std::string::npos)
      << missing.out;
  EXPECT_EQ(OnlyFix(missing), "setcap cap_net_bind_service=+ep " + copy) << missing.out;
  // Not root: the ruleset stays closed and the report says why.
  EXPECT_NE(missing.out.find("reading it needs root"), std::string::npos) << missing.out;

  std::string output;
  ASSERT_TRUE(lab_.Run(host_, OnlyFix(missing), &output)) << output;
  DoctorRun present = Doc("", asNobody, folder, mdspctl);
  EXPECT_EQ(present.code, 0) << present.out;
  EXPECT_NE(present.out.find("may open port 67 (capability)"), std::string::npos) << present.out;
}

}  // namespace
