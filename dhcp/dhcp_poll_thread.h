// The one serving loop of the DHCP server: a thread that runs serving cycles
// on a started CDhcpServer at a given pace.
//
// The owner starts it after CDhcpServer::Start and calls Stop (or destroys
// it) before it stops or destroys the server: Stop returns only when the
// thread has ended, so the thread never outlives what it works on.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "dhcp_server.h"

namespace pelmar {

// How the serving loop paces its cycles.
struct DhcpServePace {
  int datagramsPerCycle;
  // false: a cycle every poll interval; true: a cycle as soon as a datagram
  // waits (the stop request is still looked at every poll interval).
  bool cycleOnTraffic;
};

// The tool's internal server: one datagram per 50 ms poll.
inline constexpr DhcpServePace kDhcpToolPace{1, false};
// pelmar-dhcpd: keeps up with any traffic, so junk cannot crowd out a client,
// and still looks at the stop request between bounded cycles.
inline constexpr DhcpServePace kDhcpProgramPace{64, true};

class CDhcpPollThread {
 public:
  static constexpr int kPollIntervalMs = 50;

  CDhcpPollThread() = default;
  ~CDhcpPollThread();
  CDhcpPollThread(const CDhcpPollThread&) = delete;
  CDhcpPollThread& operator=(const CDhcpPollThread&) = delete;

  // Starts serving. False when already running or the thread could not be
  // started. The server must stay alive until Stop returns.
  bool Start(CDhcpServer* server, DhcpAnswerSink sink = nullptr, void* context = nullptr,
             DhcpServePace pace = kDhcpToolPace);

  // Ends the thread and waits for it; a pause between cycles is cut short,
  // so this takes at most one cycle (one poll interval waiting for traffic).
  // Safe to call when not running.
  void Stop();

  bool IsRunning() const { return running_.load(); }

  // True once the thread gave up because the socket could no longer be
  // waited on (only when cycling on traffic); IsRunning is false then.
  bool SocketFailed() const { return socketFailed_.load(); }

 private:
  void Run();

  CDhcpServer* server_ = nullptr;
  DhcpAnswerSink sink_ = nullptr;
  void* context_ = nullptr;
  DhcpServePace pace_ = kDhcpToolPace;
  std::atomic<bool> running_{false};
  std::atomic<bool> socketFailed_{false};
  std::mutex wakeLock_;
  std::condition_variable wake_;
  std::thread thread_;
};

}  // namespace pelmar
