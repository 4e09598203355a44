// mdsp-sim: plays network modules of both protocols on one interface.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#include "answer_loss.h"
#include "cli_options.h"
#include "config.h"
#include "log_line.h"
#include "program_version.h"
#include "simulator.h"
#include "udp_port.h"

namespace {

using namespace mdspsim;

volatile sig_atomic_t g_stop = 0;

void onSignal(int) { g_stop = 1; }

uint64_t NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

class Log {
 public:
  explicit Log(FILE* out) : out_(out) {}
  void line(const std::string& text) {
    // One write per line, flushed at once, so a test can read it while we run.
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
  }

 private:
  FILE* out_;
};

SeedSource RandomSeeds() {
  auto engine = std::make_shared<std::mt19937>(std::random_device{}());
  return [engine]() {
    // A zero seed is avoided: a host may treat it as "no seed".
    Seed seed{};
    while (seed == Seed{}) {
      uint32_t r = (*engine)();
      for (int i = 0; i < 4; ++i) seed[i] = static_cast<uint8_t>(r >> (8 * i));
    }
    return seed;
  };
}

bool LoadModules(const CliOptions& options, std::vector<SimModule>& modules, std::string& error) {
  if (!options.configPath.empty()) {
    std::ifstream in(options.configPath, std::ios::binary);
    if (!in) {
      error = "cannot read " + options.configPath;
      return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!ParseConfig(text.str(), modules, error)) {
      error = options.configPath + ": " + error;
      return false;
    }
  }
  if (!GenerateModules(options.generateText, options.generateSecure, options.macPrefix,
                       ModuleConfig{}, modules, error))
    return false;
  for (SimModule& module : modules)
    module.cfg.faults.ignoreFields.insert(options.ignoreFields.begin(), options.ignoreFields.end());
  return FinishModules(modules, error);
}

// Reads every waiting datagram (up to a bound, so answers are not starved).
// Our own broadcasts come back to us; they are left out of the log so that
// "rx" lines show only what others sent.
bool IsOwnEcho(const std::vector<uint32_t>& ownAddresses, const Endpoint& peer,
               const uint8_t* data, size_t size) {
  if (peer.port != kPort) return false;
  bool fromUs = false;
  for (uint32_t a : ownAddresses) fromUs = fromUs || a == peer.ip;
  return fromUs && !LooksLikeRequest(data, size);
}

void ReceiveWaiting(int fd, const std::vector<uint32_t>& ownAddresses, Simulator& sim, Log& log,
                    AnswerLoss& loss, std::multimap<uint64_t, Outgoing>& pending) {
  uint8_t buffer[65536];
  std::vector<Outgoing> out;
  std::vector<std::string> notes;
  for (int n = 0; n < 1024; ++n) {
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    ssize_t size = recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT,
                            reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (size < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        log.line(std::string("error receive: ") + std::strerror(errno));
      return;
    }
    Endpoint peer{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
    if (IsOwnEcho(ownAddresses, peer, buffer, static_cast<size_t>(size))) continue;
    log.line(DatagramLine("rx", peer, buffer, static_cast<size_t>(size)));
    out.clear();
    notes.clear();
    sim.Handle(buffer, static_cast<size_t>(size), peer, NowMs(), out, notes);
    for (const std::string& note : notes) log.line(note);
    for (Outgoing& o : out) {
      if (loss.Drop()) {
        log.line("drop loss " + EndpointText(o.to));
        continue;
      }
      uint64_t due = o.dueMs;
      pending.emplace(due, std::move(o));
    }
  }
}

void SendDue(int fd, Log& log, std::multimap<uint64_t, Outgoing>& pending) {
  uint64_t now = NowMs();
  std::vector<Outgoing> batch;
  auto end = pending.upper_bound(now);
  for (auto it = pending.begin(); it != end; ++it) batch.push_back(std::move(it->second));
  pending.erase(pending.begin(), end);
  if (batch.empty()) return;
  std::vector<std::pair<size_t, std::string>> failures;
  SendAll(fd, batch, failures);
  size_t nextFailure = 0;
  for (size_t i = 0; i < batch.size(); ++i) {
    if (nextFailure < failures.size() && failures[nextFailure].first == i) {
      log.line("error " + failures[nextFailure++].second + " to " + EndpointText(batch[i].to));
      continue;
    }
    log.line(DatagramLine("tx", batch[i].to, batch[i].data.data(), batch[i].data.size()));
  }
}

int Run(const CliOptions& options, Log& log) {
  std::vector<SimModule> modules;
  std::string error;
  if (!LoadModules(options, modules, error)) {
    std::fprintf(stderr, "mdsp-sim: %s\n", error.c_str());
    return 1;
  }
  // Signals stay blocked except inside ppoll, so a stop request is never lost
  // between the check and the wait.
  sigset_t blocked, waitMask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGINT);
  sigprocmask(SIG_BLOCK, &blocked, &waitMask);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  int fd = OpenModulePort(options.iface, error);
  if (fd < 0) {
    std::fprintf(stderr, "mdsp-sim: %s\n", error.c_str());
    return 3;
  }
  Simulator sim(std::move(modules), RandomSeeds(), options.seedDelayMs);
  std::vector<uint32_t> ownAddresses = InterfaceAddresses(options.iface);
  log.line("ready " + options.iface + " " + std::to_string(sim.Modules().size()));

  AnswerLoss loss(options.loss, options.lossSeed);
  std::multimap<uint64_t, Outgoing> pending;
  while (!g_stop) {
    SendDue(fd, log, pending);
    timespec timeout{};
    timespec* wait = nullptr;
    if (!pending.empty()) {
      uint64_t now = NowMs();
      uint64_t due = pending.begin()->first;
      uint64_t ms = due > now ? due - now : 0;
      timeout.tv_sec = static_cast<time_t>(ms / 1000);
      timeout.tv_nsec = static_cast<long>(ms % 1000) * 1000000;
      wait = &timeout;
    }
    pollfd pfd{fd, POLLIN, 0};
    int ready = ppoll(&pfd, 1, wait, &waitMask);
    if (ready < 0 && errno != EINTR) {
      log.line(std::string("error poll: ") + std::strerror(errno));
      break;
    }
    if (ready > 0 && (pfd.revents & POLLIN)) ReceiveWaiting(fd, ownAddresses, sim, log, loss, pending);
  }
  close(fd);
  log.line("stopped");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  mdspsim::CliOptions options;
  std::string error;
  if (!mdspsim::ParseCli(argc, argv, options, error)) {
    std::fprintf(stderr, "mdsp-sim: %s\n\n%s", error.c_str(), mdspsim::UsageText());
    return 2;
  }
  if (options.help) {
    std::fputs(mdspsim::UsageText(), stdout);
    return 0;
  }
  if (options.version) return versioning::PrintProgramVersion("mdsp-sim");
  FILE* out = stdout;
  if (!options.logPath.empty()) {
    out = std::fopen(options.logPath.c_str(), "a");
    if (!out) {
      std::fprintf(stderr, "mdsp-sim: cannot open log %s: %s\n", options.logPath.c_str(),
                   std::strerror(errno));
      return 2;
    }
  }
  Log log(out);
  int status = Run(options, log);
  if (out != stdout) std::fclose(out);
  return status;
}
