// Scale and idle cost of the library against the simulator, in throwaway
// network namespaces (never on the machine's own network):
//  - one discover answered by N text and M secure simulated modules, repeated:
//    how many modules arrive and the time from the discover to the last one;
//  - CPU used by the process while the worker runs with nothing on the wire.
// Prints figures only; it judges nothing.
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "mdsp.h"
#include "netns.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_found{0};
std::atomic<int64_t> g_lastNs{0};

int32_t OnEvent(int32_t event, int32_t, uint8_t*, int32_t, void*) {
  if (event == SMDSP_EVENT_MODULE_FOUND) {
    g_found.fetch_add(1);
    g_lastNs = Clock::now().time_since_epoch().count();
  }
  return 0;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

uint32_t Arg(int argc, char** argv, const char* name, uint32_t fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return static_cast<uint32_t>(std::atoi(argv[i + 1]));
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t textCount = Arg(argc, argv, "--text", 250);
  const uint32_t secureCount = Arg(argc, argv, "--secure", 250);
  const uint32_t runs = Arg(argc, argv, "--runs", 10);
  const uint32_t idleSeconds = Arg(argc, argv, "--idle-seconds", 10);
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

  std::printf("discover: %u text + %u secure simulated modules, %u runs\n", textCount,
              secureCount, runs);
  std::printf("run  arrived  discover-to-last-event (ms)\n");
  int complete = 0;
  for (uint32_t run = 1; run <= runs; ++run) {
    g_found = 0;
    g_lastNs = 0;
    auto start = Clock::now();
    SMDSP_SendDiscover(nullptr);
    // Until all arrived, or nothing new for two seconds.
    int seen = -1;
    auto lastChange = Clock::now();
    while (g_found.load() < expected && Clock::now() - lastChange < std::chrono::seconds(2)) {
      if (g_found.load() != seen) {
        seen = g_found.load();
        lastChange = Clock::now();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int arrived = g_found.load();
    double ms = g_lastNs.load() ? (g_lastNs.load() - start.time_since_epoch().count()) / 1e6 : 0;
    complete += arrived == expected;
    std::printf("%3u  %7d  %8.1f\n", run, arrived, ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the simulator's log drains
  }
  std::printf("complete runs: %d of %u\n", complete, runs);

  // Sockets stay open (and are polled every millisecond) for 4 s after the
  // last send; measure that, then the true idle state.
  double before = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  std::printf("cpu while sockets open, 3 s: %.3f s\n", CpuSeconds() - before);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  before = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  std::printf("cpu idle (sockets closed, nothing on the wire), %u s: %.4f s\n", idleSeconds,
              CpuSeconds() - before);
  MDSP_Stop();
  return 0;
}
