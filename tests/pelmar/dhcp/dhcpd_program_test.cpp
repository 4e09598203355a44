// pelmar-dhcpd as a user runs it: options, answers, stop, failed starts.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "dhcp_packets.h"
#include "netns.h"
#include "wire_client.h"

using dhcptest::Bytes;
using dhcptest::kRecoveryMac;

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

}  // namespace

TEST(DhcpdProgram, HelpExplainsTheOptions) {
  std::string out;
  ASSERT_EQ(RunLocally("--help", &out), 0);
  EXPECT_TRUE(Contains(out, "--interface NAME")) << out;
  EXPECT_TRUE(Contains(out, "CAP_NET_BIND_SERVICE")) << out;
  EXPECT_TRUE(Contains(out, "02-A7-5E")) << out;

  EXPECT_EQ(RunLocally("--bogus", &out), 2);
  EXPECT_TRUE(Contains(out, "--bogus")) << out;
  EXPECT_EQ(RunLocally("--interface", &out), 2);
}

TEST(DhcpdProgram, AnswersAndStopsOnSigterm) {
  testnet::Lab lab;
  NETNS_REQUIRE(lab);
  std::string s = lab.addNamespace("s");
  std::string c = lab.addNamespace("c");
  ASSERT_FALSE(s.empty() || c.empty());
  ASSERT_TRUE(lab.link(s, "s0", "10.200.1.1/24", "", c, "c0", "10.200.1.2/24", ""));
  ASSERT_TRUE(lab.run(c, "ip route add default dev c0"));

  std::string logFile = lab.tempDir() + "/dhcpd.log";
  pid_t pid = lab.spawn(s, {kProgram, "--interface", "s0"}, logFile);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(testnet::waitFor([&] { return Contains(testnet::readFile(logFile), "serving"); },
                               kWaitMs))
      << testnet::readFile(logFile);

  ASSERT_TRUE(lab.enter(c));
  dhcptest::WireClient client;
  ASSERT_TRUE(client.Open());
  ASSERT_TRUE(client.Broadcast(dhcptest::Discover(kRecoveryMac)));
  Bytes reply = client.Receive(kWaitMs);
  ASSERT_EQ(reply.size(), 300u);
  EXPECT_EQ(reply[242], 2);  // DHCPOFFER
  const uint8_t asked[4] = {10, 200, 1, 44};
  ASSERT_TRUE(client.Broadcast(dhcptest::RequestFor(kRecoveryMac, asked)));
  reply = client.Receive(kWaitMs);
  ASSERT_EQ(reply.size(), 300u);
  EXPECT_EQ(reply[242], 5);  // DHCPACK

  EXPECT_TRUE(testnet::waitFor(
      [&] {
        std::string log = testnet::readFile(logFile);
        return Contains(log, "02-A7-5E-0A-0B-2C 10.200.1.44 offer\n") &&
               Contains(log, "02-A7-5E-0A-0B-2C 10.200.1.44 ack\n");
      },
      kWaitMs))
      << testnet::readFile(logFile);

  // Generous bound: only a hung program gets killed, and that fails below.
  int status = lab.stop(pid, SIGTERM, kWaitMs);
  ASSERT_TRUE(WIFEXITED(status)) << "pelmar-dhcpd did not end on SIGTERM";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(Contains(testnet::readFile(logFile), "stopped (SIGTERM)"));
}

TEST(DhcpdProgram, ExplainsAFailedStart) {
  testnet::Lab lab;
  NETNS_REQUIRE(lab);
  std::string s = lab.addNamespace("s");
  ASSERT_FALSE(s.empty());
  if (system("command -v setpriv >/dev/null 2>&1") != 0) GTEST_SKIP() << "setpriv missing";

  auto runToEnd = [&](const std::vector<std::string>& argv, const std::string& logFile) {
    pid_t pid = lab.spawn(s, argv, logFile);
    int status = -1;
    bool ended = lab.reap(pid, &status, kWaitMs);
    if (!ended) lab.stop(pid, SIGKILL);
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };

  // Without privileges (nobody, no capabilities) port 67 is refused.
  std::string log1 = lab.tempDir() + "/unprivileged.log";
  EXPECT_EQ(runToEnd({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", kProgram},
                     log1),
            1);
  std::string text = testnet::readFile(log1);
  EXPECT_TRUE(Contains(text, "CAP_NET_BIND_SERVICE")) << text;
  EXPECT_TRUE(Contains(text, "root")) << text;

  std::string log2 = lab.tempDir() + "/nosuch.log";
  EXPECT_EQ(runToEnd({kProgram, "--interface", "nosuch0"}, log2), 1);
  text = testnet::readFile(log2);
  EXPECT_TRUE(Contains(text, "no network interface")) << text;
  EXPECT_TRUE(Contains(text, "nosuch0")) << text;

  // A second server in the same namespace finds the port taken.
  pid_t first = lab.spawn(s, {kProgram}, lab.tempDir() + "/first.log");
  ASSERT_TRUE(testnet::waitFor(
      [&] { return Contains(testnet::readFile(lab.tempDir() + "/first.log"), "serving"); },
      kWaitMs));
  std::string log3 = lab.tempDir() + "/second.log";
  EXPECT_EQ(runToEnd({kProgram}, log3), 1);
  EXPECT_TRUE(Contains(testnet::readFile(log3), "already in use")) << testnet::readFile(log3);
  int status = lab.stop(first, SIGINT, kWaitMs);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
