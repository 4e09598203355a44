#include "netns.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

namespace net_test {
namespace {

std::atomic<int> g_labCounter{0};

int shell(const std::string& command, std::string* output) {
  std::string full = command + " 2>&1";
  FILE* pipe = popen(full.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  int status = pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Namespaces and children of the labs alive, for the clean-up a SIGTERM or
// SIGINT still allows. Plain arrays: the handler may touch nothing else.
constexpr int kMaxTracked = 64;
constexpr size_t kNameSize = 64;
char g_trackedNames[kMaxTracked][kNameSize];
volatile pid_t g_trackedPids[kMaxTracked];
std::mutex g_trackMutex;

void Track(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_trackMutex);
  for (auto& slot : g_trackedNames) {
    if (slot[0] == '\0' && name.size() < kNameSize) {
      std::memcpy(slot, name.c_str(), name.size() + 1);
      return;
    }
  }
}
void Untrack(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_trackMutex);
  for (auto& slot : g_trackedNames)
    if (name == slot) slot[0] = '\0';
}
void TrackPid(pid_t pid, bool add) {
  std::lock_guard<std::mutex> lock(g_trackMutex);
  for (auto& slot : g_trackedPids) {
    if (add ? slot == 0 : slot == pid) {
      slot = add ? pid : 0;
      return;
    }
  }
}

// Async-signal-safe: kill, fork, execv, waitpid only.
void CleanUpOnSignal(int sig) {
  for (auto& pid : g_trackedPids)
    if (pid > 0) kill(pid, SIGKILL);
  for (auto& name : g_trackedNames) {
    if (name[0] == '\0') continue;
    pid_t child = fork();
    if (child == 0) {
      char ip[] = "ip", netns[] = "netns", del[] = "del";
      char* argv[] = {ip, netns, del, name, nullptr};
      execv("/usr/sbin/ip", argv);
      execv("/sbin/ip", argv);
      _exit(127);
    }
    if (child > 0) waitpid(child, nullptr, 0);
  }
  signal(sig, SIG_DFL);
  raise(sig);
}

void InstallSignalCleanUp() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
      struct sigaction action {};
      action.sa_handler = CleanUpOnSignal;
      sigemptyset(&action.sa_mask);
      sigaction(sig, &action, nullptr);
    }
  });
}

// What a run killed outright (CTest's time-out sends SIGKILL) left behind:
// namespaces named after a PID that no longer runs, and the processes in
// them. Once per process, before its first lab.
void SweepStaleNamespaces() {
  static std::once_flag once;
  std::call_once(once, [] {
    DIR* dir = opendir("/var/run/netns");
    if (!dir) return;
    const std::regex ours("mt([0-9]+)x[0-9]+r[0-9a-f]+.*");
    std::vector<std::string> stale;
    while (dirent* entry = readdir(dir)) {
      std::cmatch match;
      if (!std::regex_match(entry->d_name, match, ours)) continue;
      pid_t owner = static_cast<pid_t>(std::stol(match[1].str()));
      if (kill(owner, 0) != 0 && errno == ESRCH) stale.push_back(entry->d_name);
    }
    closedir(dir);
    for (const std::string& name : stale) {
      shell("for p in $(ip netns pids " + name + "); do kill -KILL $p; done; ip netns del " + name,
            nullptr);
    }
  });
}

std::string RandomTag() {
  std::random_device device;
  char text[16];
  std::snprintf(text, sizeof text, "%06x", device() & 0xFFFFFFu);
  return text;
}

}  // namespace

bool CiMode() {
  const char* ci = std::getenv("CI");
  return ci && std::string(ci) == "true";
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Lab::Lab() {
  if (geteuid() != 0) {
    error_ = "not running as root";
    return;
  }
  SweepStaleNamespaces();
  InstallSignalCleanUp();
  // The PID lets a later run tell a leftover from a namespace in use; the
  // random part keeps a reused PID from meeting an old name. Names stay
  // short, though only namespace names carry the prefix.
  std::string out;
  for (int attempt = 0; attempt < 5 && !ok_; ++attempt) {
    prefix_ = "mt" + std::to_string(getpid()) + "x" + std::to_string(g_labCounter++) + "r" +
              RandomTag();
    ok_ = shell("ip netns add " + prefix_ + "probe", &out) == 0;
  }
  if (!ok_) {
    error_ = "ip netns add failed: " + out;
    return;
  }
  namespaces_.push_back(prefix_ + "probe");
  Track(prefix_ + "probe");
}

Lab::~Lab() {
  for (pid_t pid : std::vector<pid_t>(children_)) Stop(pid, SIGKILL, 2000);
  if (moved_ && originalNs_ >= 0) setns(originalNs_, CLONE_NEWNET);
  if (originalNs_ >= 0) close(originalNs_);
  for (const auto& ns : namespaces_) {
    shell("ip netns del " + ns, nullptr);
    Untrack(ns);
  }
  if (!tempDir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(tempDir_, ec);
  }
}

std::string Lab::AddNamespace(const std::string& tag) {
  if (!ok_) return "";
  std::string name = prefix_ + tag;
  std::string out;
  if (shell("ip netns add " + name, &out) != 0) {
    error_ = out;
    return "";
  }
  namespaces_.push_back(name);
  Track(name);
  shell("ip -n " + name + " link set lo up", nullptr);
  return name;
}

bool Lab::Link(const std::string& nsA, const std::string& ifA, const std::string& cidrA,
               const std::string& macA, const std::string& nsB, const std::string& ifB,
               const std::string& cidrB, const std::string& macB) {
  std::string cmd = "ip link add " + ifA + " netns " + nsA + " type veth peer name " + ifB +
                    " netns " + nsB;
  std::string out;
  if (shell(cmd, &out) != 0) {
    error_ = out;
    return false;
  }
  auto setup = [&](const std::string& ns, const std::string& ifc, const std::string& cidr,
                   const std::string& mac) {
    if (!mac.empty() && shell("ip -n " + ns + " link set " + ifc + " address " + mac, &out) != 0)
      return false;
    if (!cidr.empty() &&
        shell("ip -n " + ns + " addr add " + cidr + " dev " + ifc, &out) != 0)
      return false;
    return shell("ip -n " + ns + " link set " + ifc + " up", &out) == 0;
  };
  if (!setup(nsA, ifA, cidrA, macA) || !setup(nsB, ifB, cidrB, macB)) {
    error_ = out;
    return false;
  }
  return true;
}

bool Lab::Run(const std::string& ns, const std::string& command, std::string* output) {
  std::string quoted;
  for (char c : command) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return shell("ip netns exec " + ns + " sh -c '" + quoted + "'", output) == 0;
}

bool Lab::Enter(const std::string& ns) {
  if (originalNs_ < 0) originalNs_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  int fd = open(("/var/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool entered = setns(fd, CLONE_NEWNET) == 0;
  close(fd);
  if (entered) moved_ = true;
  return entered;
}

pid_t Lab::Spawn(const std::string& ns, const std::vector<std::string>& argv,
                 const std::string& logFile) {
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    // Ends with the test even when the test is killed outright.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(126);
    int fd = open(("/var/run/netns/" + ns).c_str(), O_RDONLY);
    if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) _exit(126);
    int out = logFile.empty() ? open("/dev/null", O_WRONLY)
                              : open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
      dup2(out, 1);
      dup2(out, 2);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  children_.push_back(pid);
  TrackPid(pid, true);
  return pid;
}

int Lab::Stop(pid_t pid, int sig, int timeoutMs) {
  if (pid <= 0) return -1;
  // Once reaped, its number may go to another process: never signal it again.
  auto forget = [&] {
    std::erase(children_, pid);
    TrackPid(pid, false);
  };
  kill(pid, sig);
  int status = 0;
  for (int waited = 0; waited < timeoutMs; waited += 5) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || r < 0) {
      forget();
      return r == pid ? status : -1;
    }
    SleepMs(5);
  }
  kill(pid, SIGKILL);
  pid_t r = waitpid(pid, &status, 0);
  forget();
  return r == pid ? status : -1;
}

std::string Lab::StartSimulator(const std::string& simPath, const std::string& ns,
                                const std::string& iface, const std::string& configJson,
                                const std::vector<std::string>& extraArgs) {
  std::string configPath = tempDir() + "/" + ns + "-" + iface + ".json";
  std::string logPath = tempDir() + "/" + ns + "-" + iface + ".log";
  std::ofstream(configPath) << configJson;
  std::vector<std::string> argv = {simPath, "--iface", iface, "--config", configPath};
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  // Its log goes to standard output; errors, if any, land beside it.
  if (Spawn(ns, argv, logPath) < 0) return "";
  bool ready = WaitFor(
      [&] { return ReadFile(logPath).find("ready ") != std::string::npos; }, 10000);
  return ready ? logPath : "";
}

bool Lab::Reap(pid_t pid, int* status, int timeoutMs) {
  bool ended = WaitFor([&] { return waitpid(pid, status, WNOHANG) == pid; }, timeoutMs);
  if (ended) {
    std::erase(children_, pid);
    TrackPid(pid, false);
  }
  return ended;
}

const std::string& Lab::tempDir() {
  if (tempDir_.empty()) {
    char templ[] = "/tmp/mdsp-test-XXXXXX";
    if (mkdtemp(templ)) tempDir_ = templ;
  }
  return tempDir_;
}

}  // namespace net_test
