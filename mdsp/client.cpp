#include "client.h"

#include <cstring>
#include <new>

#include "errors.h"
#include "log.h"
#include "platform/clock.h"
#include "secure/message.h"
#include "secure/operations.h"
#include "secure/tlv.h"
#include "text_protocol.h"

namespace mdsp {
namespace {

Client* g_client = nullptr;
SocketSet* g_socketSet = nullptr;

constexpr uint8_t kSecureMagicBytes[2] = {0xC1, 0xAB};
// While no socket is open and no ping window runs nothing can arrive, so the
// worker sleeps until the next send wakes it, checking at least this often.
constexpr uint32_t kIdleWaitMs = 1000;

void WakeClient(void* context) { static_cast<Client*>(context)->Wake(); }

}  // namespace

Client::Client(SocketSet* set) : sockets(set) {
  setStepIntervalMs(1);
  sockets->onUse = WakeClient;
  sockets->onUseContext = this;
}

Client::~Client() {
  // The worker runs our overrides: it must be gone before any member is.
  Stop(true);
  responses.Clear();
  modules.Clear();
  restarts.Clear();
  DestroySocketSet(sockets);
  sockets = nullptr;
  delete pending.list;
  pending.list = nullptr;
}

bool Client::OnStart() { return true; }

void Client::OnStop(bool) {
  std::lock_guard<std::recursive_mutex> guard(socketLock);
  if (sockets) CloseAll(*sockets);
}

void Client::Wake() {
  std::lock_guard<std::mutex> guard(wakeMutex_);
  wakeRequested_ = true;
  wakeCv_.notify_one();
}

void Client::OnStopRequested() { Wake(); }

void Client::PauseBetweenSteps() {
  bool busy;
  {
    std::lock_guard<std::recursive_mutex> guard(socketLock);
    busy = sockets->openCount > 0 || pingWindow != 0;
  }
  if (busy) {
    platform::SleepMs(stepIntervalMs());
    return;
  }
  std::unique_lock<std::mutex> lock(wakeMutex_);
  wakeCv_.wait_for(lock, std::chrono::milliseconds(kIdleWaitMs),
                   [this] { return wakeRequested_ || state() != kRunning; });
  wakeRequested_ = false;
}

bool Client::Step() {
  std::lock_guard<std::recursive_mutex> socketGuard(socketLock);
  RestartReportCheck(*this);
  {
    std::lock_guard<std::recursive_mutex> queueGuard(queueLock);
    // An open ping window keeps the sockets open for its whole length.
    if (pingWindow != 0 && !EnsureOpen(*sockets)) return false;
  }
  if (platform::TickMs() - sockets->lastUseTick > kIdleCloseMs) CloseAll(*sockets);
  for (uint32_t slot = 0; slot < sockets->openCount; ++slot) ReceiveFromSlot(slot);
  return true;
}

void Client::ReceiveFromSlot(uint32_t slot) {
  uint8_t buffer[kReceiveCapacity + 1];
  for (;;) {
    long received = platform::UdpReceive(sockets->socket[slot], buffer, kReceiveCapacity);
    if (received < 0) return;  // nothing (more) waiting
    // An empty datagram is consumed here and dropped: left waiting it would
    // hide every answer queued behind it.
    if (received == 0) continue;
    Report(kLogTrace, "Data on socket = %ld", received);
    buffer[received] = '\0';
    Report(kLogTrace, "Data received: '%s'", reinterpret_cast<char*>(buffer));
    const char* text = reinterpret_cast<const char*>(buffer);
    if (HandleNotice(*this, text)) continue;
    if (received >= 2 && std::memcmp(buffer, kSecureMagicBytes, 2) == 0) {
      HandleSecureDatagram(*this, buffer, static_cast<size_t>(received), slot);
      continue;
    }
    HandleTextAnswer(*this, text);
  }
}

void ClearModuleLists(Client& client) {
  client.responses.Clear();
  client.modules.Clear();
  client.restarts.Clear();
  client.pingWindow = 0;
}

Client* TheClient() { return g_client; }

bool EnsureClient() {
  if (!g_socketSet) {
    g_socketSet = CreateSocketSet();
    if (!g_socketSet) {
      ReportError(ERR_NO_MEMORY);
      return false;
    }
  }
  if (g_client) return true;
  g_client = new (std::nothrow) Client(g_socketSet);
  if (!g_client) {
    ReportError(ERR_NO_MEMORY);
    return false;
  }
  return true;
}

void DestroyClient() {
  if (g_client) {
    g_client->Stop(true);
    delete g_client;  // owns and destroys the socket set
    g_client = nullptr;
    g_socketSet = nullptr;
  } else if (g_socketSet) {
    DestroySocketSet(g_socketSet);
    g_socketSet = nullptr;
  }
}

}  // namespace mdsp
