// A wake-up from any thread to the window thread: an eventfd that the window
// thread watches with a socket notifier. Writing and reading a descriptor are
// points of order that thread checkers see, unlike Qt's own event posting;
// the data itself travels under the sender's mutex.
#pragma once

namespace pelmar::platform {

class WakeFd {
 public:
  WakeFd();
  ~WakeFd();
  WakeFd(const WakeFd&) = delete;
  WakeFd& operator=(const WakeFd&) = delete;

  // The descriptor to watch for reading; -1 when none could be made.
  int fd() const { return fd_; }
  // Makes the descriptor readable (any thread, never blocks).
  void Signal();
  // Makes it unreadable again (the watching thread).
  void Drain();

 private:
  int fd_ = -1;
};

}  // namespace pelmar::platform
