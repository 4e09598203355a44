#include "netns.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
  // Short names: interface names are limited to 15 characters, and tests use
  // the prefix in namespace names only.
  prefix_ = "mt" + std::to_string(getpid()) + "x" + std::to_string(g_labCounter++);
  if (geteuid() != 0) {
    error_ = "not running as root";
    return;
  }
  std::string out;
  if (shell("ip netns add " + prefix_ + "probe", &out) != 0) {
    error_ = "ip netns add failed: " + out;
    return;
  }
  namespaces_.push_back(prefix_ + "probe");
  ok_ = true;
}

Lab::~Lab() {
  for (pid_t pid : std::vector<pid_t>(children_)) Stop(pid, SIGKILL, 2000);
  if (moved_ && originalNs_ >= 0) setns(originalNs_, CLONE_NEWNET);
  if (originalNs_ >= 0) close(originalNs_);
  for (const auto& ns : namespaces_) shell("ip netns del " + ns, nullptr);
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
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
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
  return pid;
}

int Lab::Stop(pid_t pid, int sig, int timeoutMs) {
  if (pid <= 0) return -1;
  // Once reaped, its number may go to another process: never signal it again.
  auto forget = [&] { std::erase(children_, pid); };
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
                                const std::string& iface, const std::string& configJson) {
  std::string configPath = tempDir() + "/" + ns + "-" + iface + ".json";
  std::string logPath = tempDir() + "/" + ns + "-" + iface + ".log";
  std::ofstream(configPath) << configJson;
  // Its log goes to standard output; errors, if any, land beside it.
  if (Spawn(ns, {simPath, "--iface", iface, "--config", configPath}, logPath) < 0) return "";
  bool ready = WaitFor(
      [&] { return ReadFile(logPath).find("ready ") != std::string::npos; }, 10000);
  return ready ? logPath : "";
}

bool Lab::Reap(pid_t pid, int* status, int timeoutMs) {
  bool ended = WaitFor([&] { return waitpid(pid, status, WNOHANG) == pid; }, timeoutMs);
  if (ended) std::erase(children_, pid);
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
