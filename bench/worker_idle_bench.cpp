// CPU cost of the running worker: while no socket is open (it should sleep
// until the next send) and while sockets are open (one step per millisecond).
//
// Runs in a network namespace of its own (needs root), so the scans it sends
// to keep the sockets open never leave this process's namespace.
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "mdsp.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

template <typename During>
double MeasurePercent(int seconds, During during) {
  double before = CpuSeconds();
  auto start = std::chrono::steady_clock::now();
  during(seconds);
  double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return 100.0 * (CpuSeconds() - before) / wall;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  if (unshare(CLONE_NEWNET) != 0) {
    std::perror("unshare(CLONE_NEWNET) (run as root)");
    return 1;
  }
  if (std::system("ip link set lo up && ip link add bench0 type veth peer name bench1 && ip link set bench1 up && "
                  "ip addr add 10.99.0.1/24 dev bench0 && ip link set bench0 up") != 0) {
    std::fprintf(stderr, "cannot set up the private interface\n");
    return 1;
  }
  int32_t nics = 0;
  if (MDSP_GetNumberOfNics(&nics) != 0 || MDSP_SetNetworkDevice(0, "10.99.0.1") != 1 ||
      MDSP_Start() != 1) {
    std::fprintf(stderr, "library set-up failed\n");
    return 1;
  }
  // Let the sockets of the set-up close (idle close after 4 s).
  std::this_thread::sleep_for(std::chrono::seconds(5));
  double idle = MeasurePercent(seconds, [](int s) { std::this_thread::sleep_for(std::chrono::seconds(s)); });

  double busy = MeasurePercent(seconds, [](int s) {
    for (int i = 0; i < s * 2; ++i) {
      MDSP_SendModuleScan();  // keeps the sockets open
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
  });
  MDSP_Stop();
  std::printf("worker idle, no socket open: %.3f %% of a core over %d s\n", idle, seconds);
  std::printf("worker with open sockets (1 ms steps): %.3f %% of a core over %d s\n", busy,
              seconds);
  return 0;
}
