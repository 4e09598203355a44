// One library call that may wait (a secure module's seed, up to a second)
// run off the window thread, so the window keeps painting and listing
// meanwhile. The result comes back to the window thread through the same
// kind of wake-up as the library's events. One call at a time.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "wake_fd.h"

class QSocketNotifier;

namespace pelmar {

class BackgroundCall : public QObject {
  Q_OBJECT
 public:
  explicit BackgroundCall(QObject* parent = nullptr);
  ~BackgroundCall() override;  // waits for a call still running

  // Runs work on a thread of its own; done(its result) then runs on the
  // window thread. False (and nothing runs) while a call is in flight.
  bool Start(std::function<int32_t()> work, std::function<void(int32_t)> done);
  bool busy() const { return busy_; }
  // Waits for a call in flight; its done is dropped. For the window's end.
  void Abandon();

 private:
  void Finish();

  platform::WakeFd wake_;
  QSocketNotifier* notifier_ = nullptr;
  std::thread thread_;
  std::mutex mutex_;  // guards finished_ and result_
  bool finished_ = false;
  int32_t result_ = 0;
  bool busy_ = false;  // window thread only
  std::function<void(int32_t)> done_;
};

}  // namespace pelmar
