#include "event_relay.h"

#include <QCoreApplication>
#include <cstdlib>
#include <cstring>

namespace pelmar {
namespace {

const QEvent::Type kModuleEventType = static_cast<QEvent::Type>(QEvent::User + 1);

std::atomic<ModuleEventRelay*> g_relay{nullptr};

}  // namespace

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
  bool wake;
  {
    std::lock_guard<std::mutex> lock(relay->mutex_);
    relay->queue_.push_back(data);
    wake = !relay->wakePosted_;
    relay->wakePosted_ = true;
  }
  relay->posted_.fetch_add(1);
  if (wake) QCoreApplication::postEvent(relay, new QEvent(kModuleEventType));
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
  if (queue_.empty()) {
    wakePosted_ = false;
    return false;
  }
  *out = queue_.front();
  queue_.pop_front();
  return true;
}

void ModuleEventRelay::customEvent(QEvent*) {
  // The relay receives no other custom event; the event carries nothing.
  // One at a time, so a handler that runs a nested event loop (a message
  // box) keeps the events in order.
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
