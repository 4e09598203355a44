// Throwaway network namespaces for tests that put datagrams on a wire.
//
// Every broadcast a test sends must stay inside namespaces the test made
// itself. A Lab creates uniquely named namespaces joined by veth pairs and
// removes them (and every process it spawned) when it goes out of scope, also
// when the test fails half-way or is stopped by SIGTERM or SIGINT. What a
// test killed outright leaves behind, the next lab of a later run removes.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <csignal>
#include <string>
#include <vector>

namespace net_test {

class Lab {
 public:
  Lab();
  ~Lab();
  Lab(const Lab&) = delete;
  Lab& operator=(const Lab&) = delete;

  // False when namespaces cannot be made here (no root, no iproute2, ...).
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

  // Creates a namespace with its loopback up; returns its full (unique) name,
  // or "" on failure. `tag` is a short suffix, e.g. "h" or "p".
  std::string AddNamespace(const std::string& tag);

  // Joins two namespaces by a veth pair. `cidr` like "10.77.0.1/24" or "" for
  // no address; `mac` like "02:00:00:00:00:01" or "" for a random one.
  bool Link(const std::string& nsA, const std::string& ifA, const std::string& cidrA,
            const std::string& macA, const std::string& nsB, const std::string& ifB,
            const std::string& cidrB, const std::string& macB);

  // Runs a shell command inside a namespace (via `ip netns exec`); returns
  // true on exit status 0. Output (stdout+stderr) goes to *output if given.
  bool Run(const std::string& ns, const std::string& command, std::string* output = nullptr);

  // Moves the calling thread into a namespace. Threads it starts afterwards
  // and sockets it opens belong to that namespace. The destructor moves the
  // thread back to where it was.
  bool Enter(const std::string& ns);

  // Starts a program in the background inside a namespace, stdout and stderr
  // appended to logFile (or discarded when empty). Returns the pid or -1.
  pid_t Spawn(const std::string& ns, const std::vector<std::string>& argv,
              const std::string& logFile = "");

  // Sends `sig` and waits up to timeoutMs for the process to end, then kills
  // it. Returns the raw wait status, or -1.
  int Stop(pid_t pid, int sig = SIGTERM, int timeoutMs = 5000);

  // Waits up to timeoutMs for the process to end by itself; true with its
  // raw wait status in *status when it did.
  bool Reap(pid_t pid, int* status, int timeoutMs);

  // Starts the module simulator (program at simPath) in a namespace on one
  // interface with the given JSON configuration, and waits until it is
  // bound. Returns the path of its log (datagrams, events and any error),
  // or "" on failure. `extraArgs` go on its command line (e.g. --loss).
  std::string StartSimulator(const std::string& simPath, const std::string& ns,
                             const std::string& iface, const std::string& configJson,
                             const std::vector<std::string>& extraArgs = {});

  // A fresh temporary directory removed with the lab.
  const std::string& tempDir();

 private:
  bool ok_ = false;
  std::string error_;
  std::string prefix_;
  std::vector<std::string> namespaces_;
  std::vector<pid_t> children_;
  int originalNs_ = -1;
  bool moved_ = false;
  std::string tempDir_;
};

// Reads a whole file ("" when missing).
std::string ReadFile(const std::string& path);

// Waits until pred() holds or timeoutMs passes, polling every 10 ms.
template <typename Pred>
bool WaitFor(Pred pred, int timeoutMs = 5000);

}  // namespace net_test

// A network test that cannot make its namespaces fails under CI=true and is
// reported as skipped elsewhere; it never passes silently.
#define NETNS_REQUIRE(lab)                                                        \
  do {                                                                            \
    if (!(lab).ok()) {                                                            \
      if (::net_test::CiMode()) FAIL() << "network namespaces unavailable: " << (lab).error(); \
      GTEST_SKIP() << "network namespaces unavailable: " << (lab).error();       \
    }                                                                             \
  } while (0)

namespace net_test {
bool CiMode();
void SleepMs(int ms);

template <typename Pred>
bool WaitFor(Pred pred, int timeoutMs) {
  for (int waited = 0;; waited += 10) {
    if (pred()) return true;
    if (waited >= timeoutMs) return false;
    SleepMs(10);
  }
}

}  // namespace net_test

