#include "scale_lab.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "mdsp.h"

namespace scale {
namespace {

using Clock = std::chrono::steady_clock;

// One sender's share of the flood.
void SendJunk(const FloodPlan& plan, long maxDatagrams, const std::atomic<bool>& stop,
              std::atomic<long>& sent) {
  int nsFd = open(("/var/run/netns/" + plan.fromNamespace).c_str(), O_RDONLY | O_CLOEXEC);
  if (nsFd < 0 || setns(nsFd, CLONE_NEWNET) != 0) {
    if (nsFd >= 0) close(nsFd);
    return;  // never floods from the machine's own namespace
  }
  close(nsFd);
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  const char device[] = "m0";
  setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device, sizeof device);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(3250);
  inet_pton(AF_INET, "10.77.0.1", &to.sin_addr);
  auto end = Clock::now() + std::chrono::seconds(plan.seconds);
  long count = 0;
  while (!stop.load() && count < maxDatagrams && Clock::now() < end) {
    for (int i = 0; i < 64; ++i) {
      const std::string& d = plan.pool[static_cast<size_t>(count) % plan.pool.size()];
      if (sendto(fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) > 0)
        ++count;
    }
  }
  sent += count;
  close(fd);
}

}  // namespace

uint32_t Arg(int argc, char** argv, const char* name, uint32_t fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return static_cast<uint32_t>(std::atoi(argv[i + 1]));
  return fallback;
}

std::string TextArg(int argc, char** argv, const char* name, const std::string& fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

long UdpCounter(const std::string& snmp, const std::string& name) {
  std::istringstream in(snmp);
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

std::string OwnSnmp() { return net_test::ReadFile("/proc/thread-self/net/snmp"); }

std::string StartSimulatedModules(net_test::Lab& lab, uint32_t text, uint32_t secure,
                                  const std::vector<std::string>& simArgs) {
  if (!lab.ok()) {
    std::fprintf(stderr, "network namespaces unavailable: %s\n", lab.error().c_str());
    return "";
  }
  std::string host = lab.AddNamespace("h"), mods = lab.AddNamespace("m");
  if (host.empty() || mods.empty() ||
      !lab.Link(host, "h0", "10.77.0.1/24", "02:00:00:aa:00:01", mods, "m0", "10.77.0.2/24",
                "02:00:00:bb:00:01")) {
    std::fprintf(stderr, "cannot make the namespaces: %s\n", lab.error().c_str());
    return "";
  }
  std::string simLog = lab.tempDir() + "/sim.log";
  std::vector<std::string> argv = {MDSP_SIM_PATH, "--iface", "m0", "--generate-text",
                                   std::to_string(text), "--generate-secure",
                                   std::to_string(secure)};
  argv.insert(argv.end(), simArgs.begin(), simArgs.end());
  lab.Spawn(mods, argv, simLog);
  if (!net_test::WaitFor([&] { return net_test::ReadFile(simLog).find("ready") != std::string::npos; },
                        10000)) {
    std::fprintf(stderr, "simulator did not start\n%s", net_test::ReadFile(simLog).c_str());
    return "";
  }
  int32_t nics = 0;
  if (!lab.Enter(host) || MDSP_GetNumberOfNics(&nics) != 0 ||
      !MDSP_SetNetworkDevice(0, "10.77.0.1")) {
    std::fprintf(stderr, "cannot choose the host interface\n");
    return "";
  }
  return mods;
}

void AwaitModules(const std::atomic<int>& found, int expected) {
  int seen = -1;
  auto lastChange = Clock::now();
  while (found.load() < expected && Clock::now() - lastChange < std::chrono::seconds(2)) {
    if (found.load() != seen) {
      seen = found.load();
      lastChange = Clock::now();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

long Flood(const FloodPlan& plan, const std::atomic<bool>& stop) {
  if (plan.pool.empty() || plan.senders == 0) return 0;
  std::atomic<long> sent{0};
  std::vector<std::thread> senders;
  for (uint32_t i = 0; i < plan.senders; ++i)
    senders.emplace_back(SendJunk, std::cref(plan), plan.maxDatagrams / plan.senders,
                         std::cref(stop), std::ref(sent));
  for (std::thread& sender : senders) sender.join();
  return sent.load();
}

uint32_t DefaultFloodSenders() {
  unsigned cores = std::thread::hardware_concurrency();
  return (cores ? cores : 1) + 1;
}

}  // namespace scale
