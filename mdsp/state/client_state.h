// What the engine holds: the answer queue and the module table both
// protocols fill, the pending operations, the interface table, the sockets
// and the locks that guard them. The protocol layers work on this state;
// the worker thread that drives them is the Client above (client.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "base/owned_array.h"
#include "base/socket_lock.h"
#include "mdsp.h"
#include "platform/auto_reset_event.h"
#include "state/module_table.h"
#include "state/nic_table.h"
#include "state/response_queue.h"
#include "state/socket_set.h"
#include "state/tlv.h"

namespace mdsp {

struct RestartEntry {
  uint32_t moduleIndex;
  const SmdspCredentials* credentials;
  double elapsed = -1.0;  // stays -1.0 when the module never answers a ping
};

struct PendingConfiguration {
  TlvList* list = nullptr;  // absent when there is no pending configuration
  int32_t moduleIndex = -1;
  MdspConfigureRequest request = {};
};

// The one Authentication request that waits for its seed. A seed is taken
// only while the wait is open and only from the module asked: a late reply
// to an abandoned request, or one from another module, would sign the next
// request with a seed its module never handed out.
struct SeedWait {
  bool open = false;
  uint8_t mac[6] = {};
};

struct ClientState {
  // Takes ownership of the socket set.
  explicit ClientState(SocketSet* sockets);
  // Frees the tables and the socket set. Whoever drives the state (the
  // worker) must have stopped before.
  ~ClientState();
  ClientState(const ClientState&) = delete;
  ClientState& operator=(const ClientState&) = delete;

  // Guarded by queueLock.
  ResponseQueue responses;
  OwnedArray<BaseMessage> modules;
  uint32_t seed = 0;
  SeedWait seedWait;
  PendingConfiguration pending;
  OwnedArray<RestartEntry> restarts;
  int64_t restartTime = 0;
  uint32_t pingWindow = 0;

  SocketSet* sockets;
  // Order: socketLock before queueLock or the NIC lock.
  SocketLock socketLock;
  std::recursive_mutex queueLock;
  platform::AutoResetEvent authEvent;
  NicTable nics;

  // The receive step's buffers, made at its first use. Socket lock held.
  std::unique_ptr<uint8_t[]> receiveArea;
  // Datagrams taken off the sockets since the client was made.
  std::atomic<uint64_t> datagramsRead{0};
};

// Empties the response queue, the module table and the restart list and
// closes the ping window. The caller holds queueLock.
inline void ClearModuleLists(ClientState& state) {
  state.responses.Clear();
  state.modules.Clear();
  state.restarts.Clear();
  state.pingWindow = 0;
}

// Drops the pending configuration. The caller holds queueLock.
inline void DiscardPendingConfiguration(ClientState& state) {
  delete state.pending.list;
  state.pending.list = nullptr;
  state.pending.moduleIndex = -1;
}

}  // namespace mdsp
