// A text junk flood against the library, in throwaway network namespaces
// (never on the machine's own network): N text and M secure simulated
// modules are listed, then junk that holds no answer key arrives from
// --senders threads (one per core and one more unless given) for a bounded
// time and count, then one more discover. Prints the module table,
// the answer queue and the process's memory before and after, and whether
// the last discover listed every simulated module once; exits 1 when it did
// not.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mdsp.h"
#include "netns.h"
#include "scale_lab.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_found{0};

int32_t OnEvent(int32_t event, int32_t, uint8_t*, int32_t, void*) {
  if (event == SMDSP_EVENT_MODULE_FOUND) g_found.fetch_add(1);
  return 0;
}

long RssKb() {
  std::istringstream in(net_test::ReadFile("/proc/self/status"));
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

long UdpCounter(const std::string& name) { return scale::UdpCounter(scale::OwnSnmp(), name); }

uint32_t TableCount() {
  uint32_t count = 0;
  uint8_t mac[6];
  while (SMDSP_GetModuleMac(count, mac) == MDSP_RESULT_OK) ++count;
  return count;
}

// Distinct valid MACs among the table's entries.
size_t DistinctMacs(uint32_t count) {
  std::set<std::array<uint8_t, 6>> seen;
  for (uint32_t i = 0; i < count; ++i) {
    std::array<uint8_t, 6> mac{};
    if (SMDSP_GetModuleMac(i, mac.data()) == MDSP_RESULT_OK && mac != std::array<uint8_t, 6>{})
      seen.insert(mac);
  }
  return seen.size();
}

uint32_t DrainResponses() {
  uint32_t count = 0;
  MdspResponse response;
  while (MDSP_GetResponse(&response) == 1) ++count;
  return count;
}

void Discover(int expected) {
  g_found = 0;
  SMDSP_SendDiscover(nullptr);
  scale::AwaitModules(g_found, expected);
}

// Junk without any answer key: "junk", "\x01" and random bytes without '='
// (every value key ends in " = ") and without 'U'/'u' (the marker).
std::vector<std::string> JunkPool() {
  std::vector<std::string> pool = {"junk", "\x01"};
  std::mt19937 random(14);
  for (int i = 0; i < 254; ++i) {
    std::string d(1 + random() % 1400, ' ');
    for (char& c : d) {
      do c = static_cast<char>(random() & 0xFF);
      while (c == '=' || c == 'U' || c == 'u');
    }
    pool.push_back(d);
  }
  return pool;
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t textCount = scale::Arg(argc, argv, "--text", 100);
  const uint32_t secureCount = scale::Arg(argc, argv, "--secure", 100);
  const int expected = static_cast<int>(textCount + secureCount);

  net_test::Lab lab;
  scale::FloodPlan plan;
  plan.fromNamespace = scale::StartSimulatedModules(lab, textCount, secureCount);
  if (plan.fromNamespace.empty()) return 2;
  plan.senders = scale::Arg(argc, argv, "--senders", scale::DefaultFloodSenders());
  plan.seconds = scale::Arg(argc, argv, "--seconds", 10);
  plan.maxDatagrams = scale::Arg(argc, argv, "--max-datagrams", 5000000);
  plan.pool = JunkPool();
  SMDSP_RegisterCallBack(OnEvent);
  MDSP_Start();

  Discover(expected);
  uint32_t tableBefore = TableCount();
  std::printf("before: discover found %d of %d; table %u entries, %zu distinct MACs; "
              "answer queue %u; RSS %ld kB\n",
              g_found.load(), expected, tableBefore, DistinctMacs(tableBefore),
              DrainResponses(), RssKb());

  long dropBefore = UdpCounter("RcvbufErrors");
  long inBefore = UdpCounter("InDatagrams");
  g_found = 0;
  auto start = Clock::now();
  const std::atomic<bool> never{false};
  const long sent = scale::Flood(plan, never);
  double took = std::chrono::duration<double>(Clock::now() - start).count();
  // Let the worker read what the flood left.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  uint32_t tableAfter = TableCount();
  std::printf("flood: %ld junk datagrams from %u senders in %.1f s (%.0f a second); delivered "
              "to the host %ld, dropped by the kernel %ld\n",
              sent, plan.senders, took, sent / took, UdpCounter("InDatagrams") - inBefore,
              UdpCounter("RcvbufErrors") - dropBefore);
  std::printf("after:  table %u entries (%d module events during the flood); answer queue %u; "
              "RSS %ld kB\n",
              tableAfter, g_found.load(), DrainResponses(), RssKb());

  Discover(expected);
  uint32_t tableScan = TableCount();
  size_t distinct = DistinctMacs(tableScan);
  std::printf("discover after the flood: found %d of %d; table %u entries, %zu distinct valid "
              "MACs; RSS %ld kB\n",
              g_found.load(), expected, tableScan, distinct, RssKb());
  MDSP_Stop();
  return tableScan == static_cast<uint32_t>(expected) && distinct == tableScan ? 0 : 1;
}
