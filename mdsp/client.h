// The library's single engine object: the worker thread, the queues and
// tables it fills, the locks that guard them, and the pending operations.
// This header is the state every layer shares; it includes nothing above
// the module table. client.cpp runs the worker, which calls down into the
// receive step.
#pragma once

#include <condition_variable>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "kwf_thread.h"
#include "mdsp.h"
#include "nic_table.h"
#include "module_table.h"
#include "owned_array.h"
#include "platform/auto_reset_event.h"
#include "response_queue.h"
#include "socket_lock.h"
#include "socket_set.h"

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

class Client : public KWF_Thread {
 public:
  explicit Client(SocketSet* sockets);
  ~Client() override;

  bool OnStart() override;
  bool Step() override;  // the receive step
  void OnStop(bool success) override;

  // Wakes the worker from an idle wait (a send opened sockets, a ping window
  // started).
  void Wake();

  // Guarded by queueLock.
  ResponseQueue responses;
  OwnedArray<BaseMessage> modules;
  uint32_t seed = 0;
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

 protected:
  void PauseBetweenSteps() override;
  void OnStopRequested() override;

 private:
  std::mutex wakeMutex_;
  std::condition_variable wakeCv_;
  bool wakeRequested_ = false;
  // What the pause waits on, noted by the step under the socket lock.
  platform::SocketHandle waitOn_[kMaxSlots];
  uint32_t waitCount_ = 0;
  bool busy_ = false;
};

// The process-wide client; null until EnsureClient succeeds.
Client* TheClient();
// Creates the socket set and the client on first need.
bool EnsureClient();
// Stops the worker, then frees the client and everything it owns.
void DestroyClient();

// Empties the response queue, the module table and the restart list and
// closes the ping window. The caller holds queueLock.
inline void ClearModuleLists(Client& client) {
  client.responses.Clear();
  client.modules.Clear();
  client.restarts.Clear();
  client.pingWindow = 0;
}

// Drops the pending configuration. The caller holds queueLock.
inline void DiscardPendingConfiguration(Client& client) {
  delete client.pending.list;
  client.pending.list = nullptr;
  client.pending.moduleIndex = -1;
}

// Assigns an interface to a socket slot; slot 0 starts a new choice.
bool SetNetworkDevice(Client& client, uint32_t slot, const char* addressText);

}  // namespace mdsp
