// The library's single engine object: the worker thread, the queues and
// tables it fills, the locks that guard them, and the pending operations.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "kwf_thread.h"
#include "mdsp.h"
#include "nic_table.h"
#include "owned_array.h"
#include "platform/auto_reset_event.h"
#include "socket_set.h"

namespace mdsp {

class BaseMessage;
struct TlvList;

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
  OwnedArray<MdspResponse> responses;
  OwnedArray<BaseMessage> modules;
  uint32_t seed = 0;
  PendingConfiguration pending;
  OwnedArray<RestartEntry> restarts;
  int64_t restartTime = 0;
  uint32_t pingWindow = 0;

  SocketSet* sockets;
  // Order: socketLock before queueLock or the NIC lock.
  std::recursive_mutex socketLock;
  std::recursive_mutex queueLock;
  platform::AutoResetEvent authEvent;
  NicTable nics;

 protected:
  void PauseBetweenSteps() override;
  void OnStopRequested() override;

 private:
  void ReceiveFromSlot(uint32_t slot);
  std::mutex wakeMutex_;
  std::condition_variable wakeCv_;
  bool wakeRequested_ = false;
};

// The process-wide client; null until EnsureClient succeeds.
Client* TheClient();
// Creates the socket set and the client on first need.
bool EnsureClient();
// Stops the worker, then frees the client and everything it owns.
void DestroyClient();

// Empties the response queue, the module table and the restart list and
// closes the ping window. The caller holds queueLock.
void ClearModuleLists(Client& client);

// Dispatch points of the receive step, called with the socket lock held.
// Returns true when the text is a notice (handled or dropped).
bool HandleNotice(Client& client, const char* text);
// A datagram starting with the secure magic, received on `slot`.
void HandleSecureDatagram(Client& client, const uint8_t* data, size_t length, uint32_t slot);
// Anything else: a text answer to a scan.
void HandleTextAnswer(Client& client, const char* text);

// Library load and unload (also used by tests to start from scratch).
void LibraryLoad();
void LibraryUnload();

}  // namespace mdsp
