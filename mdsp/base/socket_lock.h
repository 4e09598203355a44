// The client's socket lock: a recursive mutex that knows whether a caller is
// waiting for it, so the worker can step aside between two of its steps
// instead of taking the lock again at once while traffic keeps coming.
#pragma once

#include <atomic>
#include <mutex>

namespace mdsp {

class SocketLock {
 public:
  void lock() {
    if (mutex_.try_lock()) return;
    waiting_.fetch_add(1);
    mutex_.lock();
    waiting_.fetch_sub(1);
  }
  bool try_lock() { return mutex_.try_lock(); }
  // For the worker, which steps aside for callers instead of queueing.
  void LockWithoutQueueing() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }

  // Threads blocked in lock() right now (the worker counts only while it
  // stops the library; in its steps it uses LockWithoutQueueing).
  int waiting() const { return waiting_.load(); }

 private:
  std::recursive_mutex mutex_;
  std::atomic<int> waiting_{0};
};

}  // namespace mdsp
