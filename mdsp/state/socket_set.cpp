#include "state/socket_set.h"

#include <atomic>
#include <cstring>
#include <new>

#include "base/errors.h"
#include "base/log.h"
#include "platform/clock.h"

namespace mdsp {
namespace {

// A buffer cut by the system's cap is reported once per process: every
// socket opened afterwards gets the same cap.
std::atomic<bool> g_capReported{false};

void ReportBufferCap(int granted) {
  // Linux reports twice the requested size when it grants it whole.
  if (granted >= 2 * kReceiveBufferBytes || g_capReported.exchange(true)) return;
  Report(kLogError,
         "Receive buffer capped at %d bytes (wanted %d): a burst of thousands of answers may "
         "overflow it; raise net.core.rmem_max",
         granted, 2 * kReceiveBufferBytes);
}

void EmptySlots(SocketSet& set) {
  for (uint32_t i = 0; i < kMaxSlots; ++i) {
    set.bindAddress[i] = 0;
    std::memset(set.interfaceMac[i], 0xFF, 6);
    set.device[i][0] = '\0';
  }
  set.configuredCount = 0;
}

}  // namespace

SocketSet* CreateSocketSet() {
  auto* set = new (std::nothrow) SocketSet;
  if (!set) return nullptr;
  for (auto& socket : set->socket) socket = platform::kInvalidSocket;
  EmptySlots(*set);
  set->openCount = 0;
  int failure = 0;
  if (!platform::NetStartup(&failure))
    Report(kLogError, "WSAStartup Failed: %d\n", failure);
  else
    set->lastUseTick = platform::TickMs();
  return set;
}

void DestroySocketSet(SocketSet* set) {
  if (!set) return;
  CloseAll(*set);
  EmptySlots(*set);
  platform::NetCleanup();
  delete set;
}

bool OpenSocket(SocketSet& set, uint32_t slot) {
  platform::SocketHandle socket = platform::UdpCreate();
  if (socket == platform::kInvalidSocket) {
    set.socket[slot] = platform::kInvalidSocket;
    ReportError(ERR_SOCKET);
    return false;
  }
  // A slot with bind address 0 listens on every interface, without a tie.
  const char* device = set.bindAddress[slot] != 0 ? set.device[slot] : nullptr;
  int granted = 0;
  bool ready = platform::UdpEnableBroadcast(socket) &&
               platform::UdpSetReceiveBuffer(socket, kReceiveBufferBytes, &granted) &&
               platform::UdpBind(socket, device, kMdspPort);
  if (!ready) {
    platform::UdpClose(socket);
    set.socket[slot] = platform::kInvalidSocket;
    ReportError(ERR_SOCKET);
    return false;
  }
  ReportBufferCap(granted);
  platform::UdpSetNonBlocking(socket);
  set.socket[slot] = socket;
  return true;
}

bool EnsureOpen(SocketSet& set) {
  set.lastUseTick = platform::TickMs();
  if (set.onUse) set.onUse(set.onUseContext);
  for (uint32_t slot = set.openCount; slot < set.configuredCount; ++slot) {
    if (!OpenSocket(set, slot)) {
      set.openCount = slot;
      return false;
    }
  }
  set.openCount = set.configuredCount;
  return true;
}

void CloseAll(SocketSet& set) {
  for (uint32_t slot = 0; slot < set.openCount; ++slot) {
    if (set.socket[slot] != platform::kInvalidSocket) platform::UdpClose(set.socket[slot]);
    set.socket[slot] = platform::kInvalidSocket;
  }
  if (set.openCount > 0) ++set.closings;
  set.openCount = 0;
}

void ClearSlots(SocketSet& set) {
  CloseAll(set);
  EmptySlots(set);
}

bool SendToAllSlots(SocketSet& set, const DatagramForSlot& build) {
  if (!EnsureOpen(set)) return false;
  uint8_t datagram[kReceiveCapacity];
  for (uint32_t slot = 0; slot < set.configuredCount; ++slot) {
    size_t length = build(slot, datagram, sizeof datagram);
    if (length == 0) return false;  // the builder recorded why
    if (!platform::UdpSendBroadcast(set.socket[slot], datagram, length, kMdspPort)) {
      ReportError(ERR_SOCKET);
      return false;
    }
  }
  return true;
}

bool SendText(SocketSet& set, const char* text) {
  size_t length = std::strlen(text) + 1;
  return SendToAllSlots(set, [&](uint32_t, uint8_t* out, size_t capacity) -> size_t {
    if (length > capacity) {
      ReportError(ERR_MESSAGE_TOO_LONG);
      return 0;
    }
    std::memcpy(out, text, length);
    return length;
  });
}

}  // namespace mdsp
