// pelmar-dhcpd as a user runs it: options, answers, stop, failed starts.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "dhcp_packets.h"
#include "dhcp_wire_lab.h"
#include "junk_flood.h"
#include "netns.h"
#include "wire_client.h"

namespace pelmar_test {
namespace {

constexpr int kWaitMs = 10000;
const std::string kProgram = PELMAR_DHCPD_PATH;

// Runs the program without network access (it opens no socket for these).
int RunLocally(const std::string& args, std::string* output) {
  std::string command = kProgram + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  output->clear();
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output->append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

}  // namespace

TEST(DhcpdProgram, HelpExplainsTheOptions) {
  std::string out;
  ASSERT_EQ(RunLocally("--help", &out), 0);
  EXPECT_TRUE(Contains(out, "--interface NAME")) << out;
  EXPECT_TRUE(Contains(out, "--allow MAC")) << out;
  EXPECT_TRUE(Contains(out, "CAP_NET_BIND_SERVICE")) << out;
  EXPECT_TRUE(Contains(out, "02-A7-5E")) << out;
}

// Refused before any socket is opened.
TEST(DhcpdProgram, WrongArgumentsEndWithStatus2) {
  struct Case {
    const char* args;
    const char* says;
  } cases[] = {
      {"--bogus", "--bogus"},
      {"--interface", "needs an interface name"},
      {"--allow", "needs a hardware address"},
      {"--allow 02-A7-5E-0A-0B", "not '02-A7-5E-0A-0B'"},
      {"--allow=02-A7-5E-0A-0B-2C-", "not '02-A7-5E-0A-0B-2C-'"},
      {"--allow 02-A7-5E-0A-0B-2C --allow 00-11-22-33-44-55", "only modules"},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(RunLocally(c.args, &out), 2) << c.args;
    EXPECT_TRUE(Contains(out, c.says)) << c.args << ": " << out;
  }
}

TEST(DhcpdProgram, AnswersAndStopsOnSigterm) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  std::string s, c;
  ASSERT_TRUE(MakeServerAndClient(lab, &s, &c, "10.200.1.2/24", "")) << lab.error();

  std::string logFile = lab.tempDir() + "/dhcpd.log";
  pid_t pid = lab.Spawn(s, {kProgram, "--interface", "s0"}, logFile);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(net_test::WaitFor([&] { return Contains(net_test::ReadFile(logFile), "serving"); },
                               kWaitMs))
      << net_test::ReadFile(logFile);

  ASSERT_TRUE(lab.Enter(c));
  pelmar_test::WireClient client;
  ASSERT_TRUE(client.Open());
  ASSERT_TRUE(client.Broadcast(pelmar_test::Discover(kRecoveryMac)));
  Bytes reply = client.Receive(kWaitMs);
  ASSERT_EQ(reply.size(), 300u);
  EXPECT_EQ(reply[242], 2);  // DHCPOFFER
  const uint8_t asked[4] = {10, 200, 1, 44};
  ASSERT_TRUE(client.Broadcast(pelmar_test::RequestFor(kRecoveryMac, asked)));
  reply = client.Receive(kWaitMs);
  ASSERT_EQ(reply.size(), 300u);
  EXPECT_EQ(reply[242], 5);  // DHCPACK

  EXPECT_TRUE(net_test::WaitFor(
      [&] {
        std::string log = net_test::ReadFile(logFile);
        return Contains(log, "offer 02-A7-5E-0A-0B-2C 10.200.1.44 on s0\n") &&
               Contains(log, "ack 02-A7-5E-0A-0B-2C 10.200.1.44 on s0\n");
      },
      kWaitMs))
      << net_test::ReadFile(logFile);

  // Generous bound: only a hung program gets killed, and that fails below.
  int status = lab.Stop(pid, SIGTERM, kWaitMs);
  ASSERT_TRUE(WIFEXITED(status)) << "pelmar-dhcpd did not end on SIGTERM";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(Contains(net_test::ReadFile(logFile), "stopped (SIGTERM)"));
}

TEST(DhcpdProgram, ExplainsAFailedStart) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  std::string s = lab.AddNamespace("s");
  ASSERT_FALSE(s.empty());

  auto runToEnd = [&](const std::vector<std::string>& argv, const std::string& logFile) {
    pid_t pid = lab.Spawn(s, argv, logFile);
    int status = -1;
    bool ended = lab.Reap(pid, &status, kWaitMs);
    if (!ended) lab.Stop(pid, SIGKILL);
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };

  std::string log2 = lab.tempDir() + "/nosuch.log";
  EXPECT_EQ(runToEnd({kProgram, "--interface", "nosuch0"}, log2), 1);
  std::string text = net_test::ReadFile(log2);
  EXPECT_TRUE(Contains(text, "no network interface")) << text;
  EXPECT_TRUE(Contains(text, "nosuch0")) << text;

  // A second server in the same namespace finds the port taken.
  pid_t first = lab.Spawn(s, {kProgram}, lab.tempDir() + "/first.log");
  ASSERT_TRUE(net_test::WaitFor(
      [&] { return Contains(net_test::ReadFile(lab.tempDir() + "/first.log"), "serving"); },
      kWaitMs));
  std::string log3 = lab.tempDir() + "/second.log";
  EXPECT_EQ(runToEnd({kProgram}, log3), 1);
  EXPECT_TRUE(Contains(net_test::ReadFile(log3), "already in use")) << net_test::ReadFile(log3);
  int status = lab.Stop(first, SIGINT, kWaitMs);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // Without privileges (nobody, no capabilities) port 67 is refused. Last,
  // so that a machine without setpriv still runs the checks above.
  if (system("command -v setpriv >/dev/null 2>&1") != 0) {
    if (net_test::CiMode()) FAIL() << "setpriv missing (Debian package util-linux)";
    GTEST_SKIP() << "setpriv missing (Debian package util-linux)";
  }
  std::string log1 = lab.tempDir() + "/unprivileged.log";
  EXPECT_EQ(runToEnd({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", kProgram},
                     log1),
            1);
  text = net_test::ReadFile(log1);
  EXPECT_TRUE(Contains(text, "CAP_NET_BIND_SERVICE")) << text;
  EXPECT_TRUE(Contains(text, "root")) << text;
}

// Every module of the plant asks at once; only the ones the options allow, on
// the cable they name, get an address, and the log has a line per answer.
TEST(DhcpdProgram, ServesOnlyTheModulesAndCableItIsLimitedTo) {
  REQUIRE_BUSYBOX();
  struct Case {
    const char* what;
    std::vector<std::string> options;
    bool leased[3];
    const char* via[3];  // interface of the answers to each leased module
  } cases[] = {
      {"one module of two on a switch", {"--allow", "02-A7-5E-00-00-05"},
       {true, false, false}, {"s0", "", ""}},
      {"one cable", {"--interface", "s1"}, {false, false, true}, {"", "", "s1"}},
      {"allowed on another cable",
       {"--interface", "s0", "--allow=02-a7-5e-00-00-06", "--allow", "02-A7-5E-00-00-07"},
       {false, true, false}, {"", "s0", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    net_test::Lab lab;
    NETNS_REQUIRE(lab);
    Plant plant;
    ASSERT_TRUE(MakePlant(lab, &plant)) << lab.error();
    std::string script = WriteLeaseScript(lab);
    ASSERT_FALSE(script.empty());

    std::vector<std::string> argv = {kProgram};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    std::string logFile = lab.tempDir() + "/dhcpd.log";
    pid_t server = lab.Spawn(plant.server, argv, logFile);
    ASSERT_GT(server, 0);
    ASSERT_TRUE(net_test::WaitFor(
        [&] { return Contains(net_test::ReadFile(logFile), "serving"); }, kWaitMs))
        << net_test::ReadFile(logFile);

    // A module left unanswered gives up after three seconds of asking.
    pid_t clients[3];
    for (int i = 0; i < 3; ++i) {
      clients[i] = SpawnUdhcpc(lab, plant.modules[i], "c0", script, c.leased[i] ? 10 : 3,
                               lab.tempDir() + "/udhcpc" + std::to_string(i) + ".log");
      ASSERT_GT(clients[i], 0);
    }
    for (int i = 0; i < 3; ++i) {
      int status = -1;
      ASSERT_TRUE(lab.Reap(clients[i], &status, 30000)) << "udhcpc " << i << " hung";
      std::string output =
          net_test::ReadFile(lab.tempDir() + "/udhcpc" + std::to_string(i) + ".log");
      EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 0, c.leased[i])
          << "module " << i << ": " << output;
      std::string addresses;
      ASSERT_TRUE(Ipv4Addresses(lab, plant.modules[i], "c0", &addresses));
      std::string given = "10.200.1." + std::to_string(5 + i);
      EXPECT_EQ(Contains(addresses, "inet " + given + "/24"), c.leased[i])
          << "module " << i << ": " << addresses;
    }

    int status = lab.Stop(server, SIGTERM, kWaitMs);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string log = net_test::ReadFile(logFile);
    for (int i = 0; i < 3; ++i) {
      std::string mac = "02-A7-5E-00-00-0" + std::to_string(5 + i);
      std::string given = " 10.200.1." + std::to_string(5 + i);
      if (c.leased[i]) {
        std::string on = std::string(" on ") + c.via[i] + "\n";
        EXPECT_TRUE(Contains(log, "offer " + mac + given + on)) << log;
        EXPECT_TRUE(Contains(log, "ack " + mac + given + on)) << log;
      } else {
        for (const char* type : {"offer ", "ack ", "nak "})
          EXPECT_FALSE(Contains(log, type + mac)) << log;
      }
    }
  }
}

// A storm of junk on port 67 must not crowd out a real client. The junk comes
// from a third namespace on a second cable into the same socket. The rate
// (default 1,000 a second, 0 for as fast as possible) can be raised through
// PELMAR_FLOOD_RATE to measure; the flood is capped at 30 seconds' worth and
// ends with the client, or runs its full PELMAR_FLOOD_SECONDS when given.
TEST(DhcpdProgram, ServesAClientDuringAJunkFlood) {
  net_test::Lab lab;
  NETNS_REQUIRE(lab);
  REQUIRE_BUSYBOX();
  const int rate = EnvInt("PELMAR_FLOOD_RATE", 1000);
  const int seconds = EnvInt("PELMAR_FLOOD_SECONDS", 0);
  const long perSecondCap = rate > 0 ? rate : 100000L;
  const long cap = perSecondCap * (seconds > 0 ? seconds : 30);

  std::string s, c;
  ASSERT_TRUE(MakeServerAndClient(lab, &s, &c, "", "02:a7:5e:0a:0b:2c")) << lab.error();
  std::string f = lab.AddNamespace("f");
  ASSERT_FALSE(f.empty());
  ASSERT_TRUE(lab.Link(s, "s1", "10.200.2.1/24", "", f, "f0", "10.200.2.2/24", ""));
  ASSERT_TRUE(lab.Run(f, "ip route add default dev f0"));
  std::string script = WriteLeaseScript(lab);
  ASSERT_FALSE(script.empty());

  std::string logFile = lab.tempDir() + "/dhcpd.log";
  pid_t pid = lab.Spawn(s, {kProgram}, logFile);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(net_test::WaitFor([&] { return Contains(net_test::ReadFile(logFile), "serving"); },
                               kWaitMs))
      << net_test::ReadFile(logFile);

  // The flood is under way (about a second of it sent) before the client asks.
  ASSERT_TRUE(lab.Enter(f));
  pelmar_test::JunkFlood flood;
  auto floodStarted = std::chrono::steady_clock::now();
  ASSERT_TRUE(flood.Start(rate, cap));
  const long warmUp = rate > 0 ? rate : 10000;
  ASSERT_TRUE(net_test::WaitFor([&] { return flood.Sent() >= warmUp; }, kWaitMs));

  const long before = flood.Sent();
  auto started = std::chrono::steady_clock::now();
  std::string output;
  bool leased = RunUdhcpc(lab, c, "c0", script, &output);
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  const long during = flood.Sent() - before;
  const bool floodStillRunning = !flood.Finished();
  if (seconds > 0) net_test::WaitFor([&] { return flood.Finished(); }, (seconds + 10) * 1000);
  flood.Stop();
  auto ms = [](auto span) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
  };
  auto floodTook = std::chrono::steady_clock::now() - floodStarted;

  // What reached the server's namespace, and what the kernel had to drop
  // because the socket's queue was full.
  std::string snmp;
  lab.Run(s, "awk '/^Udp:/{n++} n==2{print \"in=\"$2\" rcvbuf-drops=\"$6; exit}' /proc/net/snmp",
          &snmp);
  while (!snmp.empty() && snmp.back() == '\n') snmp.pop_back();
  std::cout << "[ figures  ] flood " << (rate > 0 ? std::to_string(rate) + "/s" : "unpaced")
            << ": lease " << (leased ? "obtained" : "NOT obtained") << " after " << took.count()
            << " ms; " << during << " junk datagrams sent meanwhile, " << flood.Sent()
            << " in all; the client asked " << ms(started - floodStarted) << " ms into a "
            << ms(floodTook) << " ms flood; server namespace UDP " << snmp << std::endl;

  EXPECT_TRUE(leased) << output;
  std::string addresses;
  ASSERT_TRUE(Ipv4Addresses(lab, c, "c0", &addresses));
  EXPECT_TRUE(Contains(addresses, "inet 10.200.1.44/24")) << addresses << output;
  // The lease was got under fire, not after the storm had passed.
  EXPECT_GT(during, 0);
  EXPECT_TRUE(floodStillRunning);

  std::string log = net_test::ReadFile(logFile);
  EXPECT_TRUE(Contains(log, "offer 02-A7-5E-0A-0B-2C 10.200.1.44 on s0\n")) << log;
  EXPECT_TRUE(Contains(log, "ack 02-A7-5E-0A-0B-2C 10.200.1.44 on s0\n")) << log;
  // Nothing of the junk was answered.
  EXPECT_FALSE(Contains(log, "nak")) << log;
  EXPECT_FALSE(Contains(log, "00-11-22-33-44-55")) << log;

  int status = lab.Stop(pid, SIGTERM, kWaitMs);
  ASSERT_TRUE(WIFEXITED(status)) << "pelmar-dhcpd did not end on SIGTERM";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace pelmar_test
