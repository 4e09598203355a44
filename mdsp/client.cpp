#include "client.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

#include "base/errors.h"
#include "base/log.h"
#include "platform/clock.h"
#include "receive.h"
#include "secure/protocol.h"

namespace mdsp {
namespace {

Client* g_client = nullptr;
SocketSet* g_socketSet = nullptr;

// While no socket is open and no ping window runs nothing can arrive, so the
// worker sleeps until the next send wakes it, checking at least this often.
constexpr uint32_t kIdleWaitMs = 1000;

void WakeClient(void* context) { static_cast<Client*>(context)->Wake(); }

}  // namespace

Client::Client(SocketSet* set) : ClientState(set) {
  setStepIntervalMs(1);
  sockets->onUse = WakeClient;
  sockets->onUseContext = this;
}

Client::~Client() {
  // The worker runs our overrides and reads the state: it must be gone
  // before the state is.
  Stop(true);
}

bool Client::OnStart() { return true; }

void Client::OnStop(bool) {
  std::lock_guard<SocketLock> guard(socketLock);
  if (sockets) CloseAll(*sockets);
}

void Client::Wake() {
  std::lock_guard<std::mutex> guard(wakeMutex_);
  wakeRequested_ = true;
  wakeCv_.notify_one();
}

void Client::OnStopRequested() { Wake(); }

void Client::PauseBetweenSteps() {
  if (busy_) {
    // Wakes when an answer arrives; the step interval still paces the timed
    // duties (idle close, restart report) when nothing does. Sockets closed
    // meanwhile only end the wait early.
    if (waitCount_ > 0)
      platform::UdpWaitReadable(waitOn_, waitCount_, stepIntervalMs());
    else
      platform::SleepMs(stepIntervalMs());
    return;
  }
  std::unique_lock<std::mutex> lock(wakeMutex_);
  wakeCv_.wait_for(lock, std::chrono::milliseconds(kIdleWaitMs),
                   [this] { return wakeRequested_ || state() != kRunning; });
  wakeRequested_ = false;
}

bool Client::Step() {
  // A caller waiting for the socket lock goes first, so a storm of datagrams
  // never keeps a request from sending.
  while (socketLock.waiting() > 0 && state() == kRunning)
    std::this_thread::sleep_for(std::chrono::microseconds(20));
  socketLock.LockWithoutQueueing();
  std::lock_guard<SocketLock> socketGuard(socketLock, std::adopt_lock);
  RestartReportCheck(*this);
  {
    std::lock_guard<std::recursive_mutex> queueGuard(queueLock);
    // An open ping window keeps the sockets open for its whole length.
    if (pingWindow != 0 && !EnsureOpen(*sockets)) return false;
  }
  bool backlog = false;
  for (uint32_t slot = 0; slot < sockets->openCount; ++slot)
    if (ReceiveWaiting(*this, slot) >= kDatagramsPerStep) backlog = true;
  // Idle sockets close only once read empty: what still waits in them are
  // answers that arrived while they were open.
  if (!backlog && platform::TickMs() - sockets->lastUseTick > kIdleCloseMs) CloseAll(*sockets);
  waitCount_ = sockets->openCount;
  for (uint32_t slot = 0; slot < waitCount_; ++slot) waitOn_[slot] = sockets->socket[slot];
  {
    std::lock_guard<std::recursive_mutex> queueGuard(queueLock);
    busy_ = waitCount_ > 0 || pingWindow != 0;
  }
  return true;
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

bool SetNetworkDevice(ClientState& client, uint32_t slot, const char* addressText) {
  std::lock_guard<SocketLock> socketGuard(client.socketLock);
  SocketSet& set = *client.sockets;
  if (slot == 0) {
    if (!EnumerateNics(client.nics)) return false;
    ClearSlots(set);
  }
  uint8_t mac[6];
  uint32_t bindAddress = 0;
  char device[sizeof set.device[0]] = {};
  {
    std::lock_guard<std::recursive_mutex> nicGuard(client.nics.lock);
    const NicEntry* chosen = nullptr;
    if (!addressText) {
      // Any local address; secure datagrams carry the first interface's MAC.
      chosen = &client.nics.entries[0];
    } else {
      if (!ParseDottedAddress(addressText, &bindAddress)) {
        ReportError(ERR_BAD_VALUE);
        return false;
      }
      for (uint32_t i = 0; i < client.nics.count && !chosen; ++i)
        if (client.nics.entries[i].address == bindAddress) chosen = &client.nics.entries[i];
      if (!chosen) {
        ReportError(ERR_BAD_VALUE);
        return false;
      }
      std::snprintf(device, sizeof device, "%s", chosen->name);
    }
    std::memcpy(mac, chosen->mac, 6);
  }
  if (slot != set.configuredCount || slot >= kMaxSlots) {
    ReportError(ERR_OUT_OF_RANGE);
    return false;
  }
  set.bindAddress[slot] = bindAddress;
  std::memcpy(set.interfaceMac[slot], mac, 6);
  std::memcpy(set.device[slot], device, sizeof device);
  set.configuredCount = slot + 1;
  return true;
}

}  // namespace mdsp
