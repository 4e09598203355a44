// A text junk flood against the library, in throwaway network namespaces
// (never on the machine's own network): N text and M secure simulated
// modules are listed, then junk that holds no answer key arrives for a
// bounded time and count, then one more discover. Prints the module table,
// the answer queue and the process's memory before and after, and whether
// the last discover listed every simulated module once. Judges nothing.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

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

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_found{0};

int32_t OnEvent(int32_t event, int32_t, uint8_t*, int32_t, void*) {
  if (event == SMDSP_EVENT_MODULE_FOUND) g_found.fetch_add(1);
  return 0;
}

uint32_t Arg(int argc, char** argv, const char* name, uint32_t fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return static_cast<uint32_t>(std::atoi(argv[i + 1]));
  return fallback;
}

long RssKb() {
  std::istringstream in(testnet::readFile("/proc/self/status"));
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

long UdpCounter(const std::string& name) {
  std::istringstream in(testnet::readFile("/proc/thread-self/net/snmp"));
  std::string header, values;
  while (std::getline(in, header)) {
    if (header.rfind("Udp:", 0) != 0 || !std::getline(in, values)) continue;
    std::istringstream names(header), numbers(values);
    std::string key, number;
    while (names >> key && numbers >> number)
      if (key == name) return std::atol(number.c_str());
  }
  return -1;
}

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
  int seen = -1;
  auto lastChange = Clock::now();
  while (g_found.load() < expected && Clock::now() - lastChange < std::chrono::seconds(2)) {
    if (g_found.load() != seen) {
      seen = g_found.load();
      lastChange = Clock::now();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
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

// Broadcast from inside the modules' namespace, bounded in count and time.
void Flood(const std::string& nsName, uint32_t seconds, long maxDatagrams, std::atomic<long>& sent) {
  int nsFd = open(("/var/run/netns/" + nsName).c_str(), O_RDONLY | O_CLOEXEC);
  if (nsFd < 0 || setns(nsFd, CLONE_NEWNET) != 0) {
    if (nsFd >= 0) close(nsFd);
    return;  // never floods from the machine's own namespace
  }
  close(nsFd);
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  const char device[] = "m0";
  setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device, sizeof device);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(3250);
  // To the host's address: the simulator would log every broadcast it drops.
  inet_pton(AF_INET, "10.77.0.1", &to.sin_addr);
  std::vector<std::string> pool = JunkPool();
  auto end = Clock::now() + std::chrono::seconds(seconds);
  long count = 0;
  while (count < maxDatagrams && Clock::now() < end) {
    for (int i = 0; i < 64; ++i) {
      const std::string& d = pool[static_cast<size_t>(count) % pool.size()];
      if (sendto(fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) > 0)
        ++count;
    }
  }
  sent = count;
  close(fd);
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t textCount = Arg(argc, argv, "--text", 100);
  const uint32_t secureCount = Arg(argc, argv, "--secure", 100);
  const uint32_t seconds = Arg(argc, argv, "--seconds", 10);
  const long maxDatagrams = Arg(argc, argv, "--max-datagrams", 5000000);
  const int expected = static_cast<int>(textCount + secureCount);

  testnet::Lab lab;
  if (!lab.ok()) {
    std::fprintf(stderr, "network namespaces unavailable: %s\n", lab.error().c_str());
    return 2;
  }
  std::string host = lab.addNamespace("h"), mods = lab.addNamespace("m");
  if (host.empty() || mods.empty() ||
      !lab.link(host, "h0", "10.77.0.1/24", "02:00:00:aa:00:01", mods, "m0", "10.77.0.2/24",
                "02:00:00:bb:00:01")) {
    std::fprintf(stderr, "cannot make the namespaces: %s\n", lab.error().c_str());
    return 2;
  }
  std::string simLog = lab.tempDir() + "/sim.log";
  lab.spawn(mods, {MDSP_SIM_PATH, "--iface", "m0", "--generate-text", std::to_string(textCount),
                   "--generate-secure", std::to_string(secureCount)},
            simLog);
  if (!testnet::waitFor([&] { return testnet::readFile(simLog).find("ready") != std::string::npos; },
                        10000)) {
    std::fprintf(stderr, "simulator did not start\n%s", testnet::readFile(simLog).c_str());
    return 2;
  }
  int32_t nics = 0;
  if (!lab.enter(host) || MDSP_GetNumberOfNics(&nics) != 0 ||
      !MDSP_SetNetworkDevice(0, "10.77.0.1")) {
    std::fprintf(stderr, "cannot choose the host interface\n");
    return 2;
  }
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
  std::atomic<long> sent{0};
  g_found = 0;
  auto start = Clock::now();
  std::thread flooder(Flood, mods, seconds, maxDatagrams, std::ref(sent));
  flooder.join();
  double took = std::chrono::duration<double>(Clock::now() - start).count();
  // Let the worker read what the flood left.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  uint32_t tableAfter = TableCount();
  std::printf("flood: %ld junk datagrams in %.1f s (%.0f a second); delivered to the host "
              "%ld, dropped by the kernel %ld\n",
              sent.load(), took, sent.load() / took, UdpCounter("InDatagrams") - inBefore,
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
