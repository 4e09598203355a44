#include "dhcp_poll_thread.h"

#include <chrono>
#include <system_error>

namespace pelmar {

CDhcpPollThread::~CDhcpPollThread() { Stop(); }

bool CDhcpPollThread::Start(CDhcpServer* server, DhcpAnswerSink sink, void* context,
                            DhcpServePace pace) {
  if (!server || pace.datagramsPerCycle < 1) return false;
  if (thread_.joinable()) {
    // Running, or asked to end from inside its own sink and not joined yet.
    if (running_.load() || thread_.get_id() == std::this_thread::get_id()) return false;
    thread_.join();
  }
  server_ = server;
  sink_ = sink;
  context_ = context;
  pace_ = pace;
  socketFailed_.store(false);
  running_.store(true);
  // std::thread reports a failed start by exception; keep it inside.
  try {
    thread_ = std::thread(&CDhcpPollThread::Run, this);
  } catch (const std::system_error&) {
    running_.store(false);
    return false;
  }
  return true;
}

void CDhcpPollThread::Stop() {
  {
    // Under the lock so the thread cannot miss the wake-up between its flag
    // check and its wait.
    std::lock_guard<std::mutex> hold(wakeLock_);
    running_.store(false);
  }
  wake_.notify_all();
  // From the answer sink (the poll thread itself) this only asks it to end;
  // its owner's next Stop joins it.
  if (thread_.get_id() == std::this_thread::get_id()) return;
  if (thread_.joinable()) thread_.join();
}

void CDhcpPollThread::Run() {
  std::unique_lock<std::mutex> hold(wakeLock_);
  while (running_.load()) {
    hold.unlock();
    if (pace_.cycleOnTraffic) {
      // Bounded, so that a stop request is seen within one interval.
      DhcpWaitResult waited = server_->Wait(-1, kPollIntervalMs);
      if (waited == DhcpWaitResult::kError) {
        socketFailed_.store(true);
        running_.store(false);
        return;
      }
      if (waited == DhcpWaitResult::kDatagram)
        server_->ServeCycle(pace_.datagramsPerCycle, sink_, context_);
      hold.lock();
      continue;
    }
    server_->ServeCycle(pace_.datagramsPerCycle, sink_, context_);
    hold.lock();
    // The pause comes after every cycle, so the limit caps the rate.
    wake_.wait_for(hold, std::chrono::milliseconds(kPollIntervalMs),
                   [this] { return !running_.load(); });
  }
}

}  // namespace pelmar
