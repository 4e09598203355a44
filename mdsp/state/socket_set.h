// The sockets of the chosen host interfaces, one per slot, opened on demand
// before a send and closed again when idle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "mdsp.h"
#include "platform/udp.h"

namespace mdsp {

inline constexpr uint32_t kMaxSlots = MDSP_MAX_DEVICES;
inline constexpr uint16_t kMdspPort = MDSP_PORT;
// Sockets are closed when nothing was sent for longer than this.
inline constexpr uint32_t kIdleCloseMs = 4000;
// Room for a burst of 10,000 module answers: the system accounts each
// datagram at well over its payload (about 2 KB for a text answer).
inline constexpr int kReceiveBufferBytes = 16 << 20;
inline constexpr size_t kReceiveCapacity = 1500;

struct SocketSet {
  platform::SocketHandle socket[kMaxSlots];
  uint32_t bindAddress[kMaxSlots];  // 0 = any local address, no interface tie
  uint8_t interfaceMac[kMaxSlots][6];
  char device[kMaxSlots][32];  // interface name the slot is tied to
  uint32_t configuredCount = 0;
  uint32_t openCount = 0;
  uint32_t lastUseTick = 0;
  // Counts closings, so a reader can tell its socket was closed (and maybe
  // opened again under the same handle) while it was away.
  uint32_t closings = 0;
  // Told whenever sockets are put to use, so an idle worker resumes polling.
  void (*onUse)(void* context) = nullptr;
  void* onUseContext = nullptr;
};

// Creates the set with every slot empty and starts the network stack.
SocketSet* CreateSocketSet();
void DestroySocketSet(SocketSet* set);

bool OpenSocket(SocketSet& set, uint32_t slot);
// Opens every configured slot that is not open yet; stamps the last use.
bool EnsureOpen(SocketSet& set);
void CloseAll(SocketSet& set);
// Forgets every slot (after closing them).
void ClearSlots(SocketSet& set);

// Builds the datagram a slot sends: writes it into `out` (room for
// `capacity` bytes) and returns its length, or 0 to abort the send.
using DatagramForSlot = std::function<size_t(uint32_t slot, uint8_t* out, size_t capacity)>;

// Sends one datagram per configured slot to 255.255.255.255:3250, under the
// client's socket lock. The caller holds that lock.
bool SendToAllSlots(SocketSet& set, const DatagramForSlot& build);

// Sends the text with its terminating NUL from every configured slot. Takes
// no lock: the caller holds the client's socket lock.
bool SendText(SocketSet& set, const char* text);

}  // namespace mdsp
