// The path of library events into the window. The library's callback runs on
// its worker thread and must never wait: it posts (event, index, MAC,
// context) to this relay, an object that lives for the rest of the process
// (never to the window itself: posting to an object being destroyed would be
// a use after free). On the window thread the relay hands each event to the
// window registered for the session it was posted in, or drops it.
//
// The events themselves pass through a queue under a standard mutex; an
// eventfd watched by a socket notifier wakes the window thread and carries
// nothing. No Qt object crosses threads, so thread checkers see the whole
// hand-over. Events are handed on in order; one whose handler runs a nested
// event loop (a message box) does not hold up the ones behind it.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "mdsp.h"
#include "wake_fd.h"

class QSocketNotifier;

namespace pelmar {

struct ModuleEventData {
  int32_t event = 0;
  uint32_t index = 0;
  uint8_t mac[6] = {};
  bool macGiven = false;
  void* context = nullptr;
  uint64_t session = 0;
};

class ModuleEventRelay : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<void(const ModuleEventData&)>;

  // The process's relay, created on first use on the calling (window) thread
  // and never destroyed.
  static ModuleEventRelay& Instance();

  // The SmdspCallback registered with the library: posts and returns 0.
  static int32_t MDSP_CALL Callback(int32_t event, int32_t index, uint8_t* mac, int32_t argument,
                                    void* context);

  // Starts a new session whose events go to handler; returns its number.
  // Events posted in earlier sessions are dropped from now on.
  uint64_t Attach(Handler handler);
  // Ends the session: events of it still queued or posted later are dropped.
  void Detach(uint64_t session);

  // Events posted and events handed on (for tests and the benchmark).
  uint64_t posted() const { return posted_.load(); }
  uint64_t delivered() const { return delivered_; }
  uint64_t dropped() const { return dropped_; }

 private:
  ModuleEventRelay();
  // Takes the oldest queued event; false when none is left.
  bool Take(ModuleEventData* out);
  // The window thread's side of a wake-up: hands on every queued event.
  void Deliver();

  platform::WakeFd wake_;
  QSocketNotifier* notifier_ = nullptr;
  std::mutex mutex_;  // guards queue_
  std::deque<ModuleEventData> queue_;
  std::atomic<uint64_t> session_{0};  // read by the worker when it posts
  uint64_t nextSession_ = 0;
  Handler handler_;
  std::atomic<uint64_t> posted_{0};
  uint64_t delivered_ = 0, dropped_ = 0;
};

}  // namespace pelmar
