// An auto-reset event: Set() lets exactly one Wait() through, then the event
// is unsignalled again. A Set() with nobody waiting stays signalled.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace mdsp::platform {

class AutoResetEvent {
 public:
  void Set() {
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = true;
    cv_.notify_one();
  }
  // Forgets a signal nobody waited for.
  void Reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = false;
  }
  // True when signalled within timeoutMs (the signal is consumed).
  bool Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return signalled_; }))
      return false;
    signalled_ = false;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

}  // namespace mdsp::platform
