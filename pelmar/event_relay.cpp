#include "event_relay.h"

#include <QCoreApplication>
#include <cstring>

namespace pelmar {
namespace {

const QEvent::Type kModuleEventType = static_cast<QEvent::Type>(QEvent::User + 1);

class ModuleEvent : public QEvent {
 public:
  explicit ModuleEvent(const ModuleEventData& data) : QEvent(kModuleEventType), data(data) {}
  ModuleEventData data;
};

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
  relay->posted_.fetch_add(1);
  QCoreApplication::postEvent(relay, new ModuleEvent(data));
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

void ModuleEventRelay::customEvent(QEvent* event) {
  if (event->type() != kModuleEventType) return;
  const ModuleEventData& data = static_cast<ModuleEvent*>(event)->data;
  if (data.session == 0 || data.session != session_.load() || !handler_) {
    ++dropped_;
    return;
  }
  ++delivered_;
  Handler handler = handler_;  // the handler may detach
  handler(data);
}

}  // namespace pelmar
