// Scale, flood and idle cost of the library against the simulator, in
// throwaway network namespaces (never on the machine's own network):
//  - one discover answered by N text and M secure simulated modules, repeated:
//    per run the answers arrived of those sent, the time from the discover to
//    the last event and from the simulator's last send to the last event, and
//    the datagrams the kernel dropped for want of buffer room;
//  - with --hold-ms, the first event's callback holds the worker so the
//    answers pile up in the socket: the rate at which they are then handled;
//  - with --flood-seconds, junk datagrams (--junk duplicate: the answer of a
//    module already listed; --junk secure: a request header) from
//    --flood-senders threads (one per core and one more unless given), so
//    at the highest rate the veth pair carries, while winks and configures
//    are timed, then one more discover;
//  - CPU used by the process while the worker runs with nothing on the wire.
// Prints figures only; it judges nothing.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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
#include "scale_lab.h"

namespace {

using scale::OwnSnmp;
using scale::UdpCounter;
using Clock = std::chrono::steady_clock;

int64_t RealNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

std::atomic<int> g_found{0};
std::atomic<int64_t> g_lastNs{0};     // CLOCK_REALTIME of the last event
std::atomic<int64_t> g_releaseNs{0};  // when the held first event let go
std::atomic<uint32_t> g_holdMs{0};

int32_t OnEvent(int32_t event, int32_t, uint8_t*, int32_t, void*) {
  if (event == SMDSP_EVENT_MODULE_FOUND) {
    if (g_found.fetch_add(1) == 0 && g_holdMs.load() > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(g_holdMs.load()));
      g_releaseNs = RealNs();
    }
    g_lastNs = RealNs();
  }
  return 0;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// A second socket on the port that sees every broadcast the library sees and
// stamps it on arrival: the simulator's last answer tells its last send.
class Probe {
 public:
  explicit Probe(uint32_t fromAddress) : from_(fromAddress) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int on = 1, bytes = 64 << 20;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(3250);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~Probe() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

  // Reads what waits; returns the count from the simulator and its last stamp.
  int Drain(int64_t* lastNs) {
    int count = 0;
    *lastNs = 0;
    char data[1600];
    char control[256];
    for (;;) {
      iovec iov{data, sizeof data};
      sockaddr_in peer{};
      msghdr message{};
      message.msg_name = &peer;
      message.msg_namelen = sizeof peer;
      message.msg_iov = &iov;
      message.msg_iovlen = 1;
      message.msg_control = control;
      message.msg_controllen = sizeof control;
      if (recvmsg(fd_, &message, 0) < 0) return count;
      if (peer.sin_addr.s_addr != from_) continue;
      ++count;
      for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
          timespec stamp;
          std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
          *lastNs = std::max(*lastNs, int64_t{stamp.tv_sec} * 1000000000 + stamp.tv_nsec);
        }
      }
    }
  }

 private:
  int fd_ = -1;
  uint32_t from_;
};

struct RunResult {
  int arrived = 0;
  long sent = 0;
  long dropped = 0;
  double toLastMs = 0;
  double afterLastSendMs = 0;
  double handledPerSecond = 0;
  double cpuMs = 0;  // the process's, nearly all the worker's: less noisy than the times
  long faults = 0;   // minor page faults of the process
};

RunResult Run(net_test::Lab& lab, const std::string& mods, Probe* probe, int expected) {
  std::string modsSnmp;
  lab.Run(mods, "cat /proc/net/snmp", &modsSnmp);
  long sentBefore = UdpCounter(modsSnmp, "OutDatagrams");
  long dropBefore = UdpCounter(OwnSnmp(), "RcvbufErrors");
  g_found = 0;
  g_lastNs = 0;
  g_releaseNs = 0;
  const double cpuBefore = CpuSeconds();
  const long faultsBefore = MinorFaults();
  int64_t start = RealNs();
  SMDSP_SendDiscover(nullptr);
  scale::AwaitModules(g_found, expected);
  RunResult r;
  r.cpuMs = (CpuSeconds() - cpuBefore) * 1000.0;
  r.faults = MinorFaults() - faultsBefore;
  r.arrived = g_found.load();
  lab.Run(mods, "cat /proc/net/snmp", &modsSnmp);
  r.sent = UdpCounter(modsSnmp, "OutDatagrams") - sentBefore;
  r.dropped = UdpCounter(OwnSnmp(), "RcvbufErrors") - dropBefore;
  int64_t last = g_lastNs.load();
  if (last) r.toLastMs = static_cast<double>(last - start) / 1e6;
  int64_t lastSend = 0;
  if (probe) probe->Drain(&lastSend);
  if (last && lastSend) r.afterLastSendMs = static_cast<double>(last - lastSend) / 1e6;
  int64_t release = g_releaseNs.load();
  if (release && last > release)
    r.handledPerSecond = (r.arrived - 1) / (static_cast<double>(last - release) / 1e9);
  return r;
}

// "secure": a secure request header (not a reply), dropped unread.
// "duplicate": the answer of a module already queued, dropped by the
// duplicate test after the answer's head is parsed, as a module stuck
// answering again and again would be.
std::string Junk(const std::string& kind) {
  if (kind == "secure")
    return std::string("\xC1\xAB\xFF\xFF\xFF\xFF\xFF\xFF\x02\x00\x00\x00\x00\x09\x00\x00"
                       "\x00\x00",
                       18);
  return std::string("protocol version = 2.1;fb type = IO;module version = 1.0.1;"
                     "mac = 02-00-01-00-00-01;ip = 10.0.0.1;hn = stuck;");
}

void FloodPhase(net_test::Lab& lab, const std::string& mods, uint32_t seconds, uint32_t senders,
                const std::string& kind, int expected) {
  std::printf("flood: %s junk for %u s from %u senders; winks and configures timed meanwhile\n",
              kind.c_str(), seconds, senders);
  long dropBefore = UdpCounter(OwnSnmp(), "RcvbufErrors");
  long inBefore = UdpCounter(OwnSnmp(), "InDatagrams");
  scale::FloodPlan plan;
  plan.fromNamespace = mods;
  plan.senders = senders;
  plan.seconds = seconds;
  plan.pool = {Junk(kind)};
  std::atomic<bool> stop{false};
  std::atomic<long> sent{0};
  std::thread flooder([&] { sent = scale::Flood(plan, stop); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  uint8_t mac[6] = {0x02, 0x00, 0x01, 0x00, 0x00, 0x01};
  MdspConfigureRequest request{};
  std::memcpy(request.mac, mac, 6);
  std::vector<double> winkMs, configureMs;
  auto until = Clock::now() + std::chrono::seconds(seconds) - std::chrono::milliseconds(400);
  bool failed = false;
  while (Clock::now() < until) {
    auto t0 = Clock::now();
    failed |= MDSP_SendWink(mac) != 1;
    auto t1 = Clock::now();
    failed |= MDSP_SendConfigure(&request) != 1;
    auto t2 = Clock::now();
    winkMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    configureMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  stop = true;
  flooder.join();
  long dropped = UdpCounter(OwnSnmp(), "RcvbufErrors") - dropBefore;
  long delivered = UdpCounter(OwnSnmp(), "InDatagrams") - inBefore;
  auto report = [](const char* what, std::vector<double> v) {
    if (v.empty()) return;
    std::sort(v.begin(), v.end());
    std::printf("  %-9s %zu calls: median %.3f ms, max %.3f ms\n", what, v.size(), v[v.size() / 2],
                v.back());
  };
  std::printf("  junk sent %ld (%.0f a second), read by the library %ld, dropped by the kernel "
              "%ld%s\n",
              sent.load(), sent.load() / static_cast<double>(seconds), delivered, dropped,
              failed ? "; some requests FAILED" : "");
  report("wink", winkMs);
  report("configure", configureMs);
  // Let the worker read what the flood left, then scan.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Probe probe(inet_addr("10.77.0.2"));
  RunResult r = Run(lab, mods, probe.ok() ? &probe : nullptr, expected);
  std::printf("  scan right after: %d of %ld arrived, %ld dropped by the kernel, last at %.1f ms\n",
              r.arrived, r.sent, r.dropped, r.toLastMs);
}

constexpr char kUsage[] =
    "options (all optional):\n"
    "  --text N            simulated text modules (250)\n"
    "  --secure N          simulated secure modules (250)\n"
    "  --runs N            discovers, one after the other (10)\n"
    "  --hold-ms N         the first event of each run holds the worker N ms (0)\n"
    "  --flood-seconds N   junk flood of N s after the runs (0: none)\n"
    "  --flood-senders N   threads sending the junk (cores + 1)\n"
    "  --junk KIND         duplicate (a listed module's answer) or secure (a request header)\n"
    "  --idle-seconds N    CPU measured with nothing on the wire (10)\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0) {
      std::printf("%s", kUsage);
      return 0;
    }
  const uint32_t textCount = scale::Arg(argc, argv, "--text", 250);
  const uint32_t secureCount = scale::Arg(argc, argv, "--secure", 250);
  const uint32_t runs = scale::Arg(argc, argv, "--runs", 10);
  const uint32_t idleSeconds = scale::Arg(argc, argv, "--idle-seconds", 10);
  const uint32_t holdMs = scale::Arg(argc, argv, "--hold-ms", 0);
  const uint32_t floodSeconds = scale::Arg(argc, argv, "--flood-seconds", 0);
  const uint32_t floodSenders =
      scale::Arg(argc, argv, "--flood-senders", scale::DefaultFloodSenders());
  const std::string junk = scale::TextArg(argc, argv, "--junk", "duplicate");
  const int expected = static_cast<int>(textCount + secureCount);

  net_test::Lab lab;
  const std::string mods = scale::StartSimulatedModules(lab, textCount, secureCount);
  if (mods.empty()) return 2;
  SMDSP_RegisterCallBack(OnEvent);
  MDSP_Start();

  std::printf("discover: %u text + %u secure simulated modules, %u runs%s\n", textCount,
              secureCount, runs, holdMs ? ", worker held at the first event" : "");
  if (holdMs) std::printf("first event holds the worker for %u ms\n", holdMs);
  std::printf("run  arrived/sent  kernel-drops  discover-to-last (ms)  after-last-send (ms)  cpu ms  "
              "faults%s\n",
              holdMs ? "  handled/s after the hold" : "");
  int complete = 0;
  std::vector<double> after;
  for (uint32_t run = 1; run <= runs; ++run) {
    Probe probe(inet_addr("10.77.0.2"));
    g_holdMs = holdMs;
    RunResult r = Run(lab, mods, probe.ok() ? &probe : nullptr, expected);
    g_holdMs = 0;
    complete += r.arrived == expected;
    after.push_back(r.afterLastSendMs);
    std::printf("%3u  %5d/%-5ld  %12ld  %21.1f  %20.2f  %6.1f  %6ld", run, r.arrived, r.sent,
                r.dropped, r.toLastMs, r.afterLastSendMs, r.cpuMs, r.faults);
    if (holdMs) std::printf("  %.0f", r.handledPerSecond);
    std::printf("\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the simulator's log drains
  }
  std::printf("complete runs: %d of %u\n", complete, runs);
  if (!after.empty()) {
    std::sort(after.begin(), after.end());
    std::printf("after-last-send: min %.2f ms, median %.2f ms, max %.2f ms\n", after.front(),
                after[after.size() / 2], after.back());
  }

  if (floodSeconds) FloodPhase(lab, mods, floodSeconds, floodSenders, junk, expected);

  // Sockets stay open for 4 s after the last send; measure that, then the
  // true idle state.
  double before = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  std::printf("cpu while sockets open, 3 s: %.3f s\n", CpuSeconds() - before);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  before = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  double idle = CpuSeconds() - before;
  std::printf("cpu idle (sockets closed, nothing on the wire), %u s: %.4f s (%.4f %% of a core)\n",
              idleSeconds, idle, idle / idleSeconds * 100.0);
  MDSP_Stop();
  return 0;
}
