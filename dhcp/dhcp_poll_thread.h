// The thread that polls a started CDhcpServer every 50 ms.
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

// Called on the poll thread after each answer sent.
using DhcpAnswerSink = void (*)(const DhcpAnswer& answer, void* context);

class CDhcpPollThread {
 public:
  static constexpr int kPollIntervalMs = 50;

  CDhcpPollThread() = default;
  ~CDhcpPollThread();
  CDhcpPollThread(const CDhcpPollThread&) = delete;
  CDhcpPollThread& operator=(const CDhcpPollThread&) = delete;

  // Starts polling the server. False when already running or the thread
  // could not be started. The server must stay alive until Stop returns.
  bool Start(CDhcpServer* server, DhcpAnswerSink sink = nullptr, void* context = nullptr);

  // Ends the thread and waits for it; the sleep between polls is cut short,
  // so this takes at most one poll. Safe to call when not running.
  void Stop();

  bool IsRunning() const { return running_.load(); }

 private:
  void Run();

  CDhcpServer* server_ = nullptr;
  DhcpAnswerSink sink_ = nullptr;
  void* context_ = nullptr;
  std::atomic<bool> running_{false};
  std::mutex wakeLock_;
  std::condition_variable wake_;
  std::thread thread_;
};

}  // namespace pelmar
