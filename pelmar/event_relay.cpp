#include "event_relay.h"

#include <QSocketNotifier>
#include <cstdlib>
#include <cstring>

namespace pelmar {
namespace {

std::atomic<ModuleEventRelay*> g_relay{nullptr};

}  // namespace

ModuleEventRelay::ModuleEventRelay() {
  notifier_ = new QSocketNotifier(wake_.fd(), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Deliver(); });
}

ModuleEventRelay& ModuleEventRelay::Instance() {
  ModuleEventRelay* relay = g_relay.load();
  if (!relay) {
    relay = new ModuleEventRelay();  // lives for the rest of the process
    g_relay.store(relay);
  }
  return *relay;
}

int32_t MDSP_CALL ModuleEventRelay::Callback(int32_t event, int32_t index, uint8_t* mac, int32_t,
                                             void* context) {
  // Event 9 hands its restart report to the callback, which owns it. The
  // window does not read it: release it here, window or not.
  if ((event & 0xFFFF) == SMDSP_EVENT_RESTART_REPORT) {
    std::free(context);
    context = nullptr;
  }
  ModuleEventRelay* relay = g_relay.load();
  if (!relay) return 0;
  ModuleEventData data;
  data.event = event;
  data.index = static_cast<uint32_t>(index);
  if (mac) {
    std::memcpy(data.mac, mac, 6);
    data.macGiven = true;
  }
  data.context = context;
  data.session = relay->session_.load();
  if (data.session == 0) return 0;  // no window
  {
    std::lock_guard<std::mutex> lock(relay->mutex_);
    relay->queue_.push_back(data);
  }
  relay->posted_.fetch_add(1);
  relay->wake_.Signal();
  return 0;
}

uint64_t ModuleEventRelay::Attach(Handler handler) {
  handler_ = std::move(handler);
  uint64_t session = ++nextSession_;
  session_.store(session);
  return session;
}

void ModuleEventRelay::Detach(uint64_t session) {
  if (session_.load() != session) return;
  session_.store(0);
  handler_ = nullptr;
}

bool ModuleEventRelay::Take(ModuleEventData* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty()) return false;
  *out = queue_.front();
  queue_.pop_front();
  return true;
}

void ModuleEventRelay::Deliver() {
  // Drained before the queue is read: an event queued from here on wakes
  // the window thread again, also inside a nested event loop that a handler
  // runs (a message box), where the next events are handed on in their turn.
  wake_.Drain();
  ModuleEventData data;
  while (Take(&data)) {
    if (data.session == 0 || data.session != session_.load() || !handler_) {
      ++dropped_;
      continue;
    }
    ++delivered_;
    Handler handler = handler_;  // the handler may detach
    handler(data);
  }
}

}  // namespace pelmar
