// The library's single engine object: the worker thread over the engine's
// state. Its step calls down into the receive step and the secure layer's
// restart report; the protocol layers see only the state (client_state.h).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "base/worker_thread.h"
#include "platform/udp.h"
#include "state/client_state.h"

namespace mdsp {

class Client : public KWF_Thread, public ClientState {
 public:
  explicit Client(SocketSet* sockets);
  ~Client() override;

  bool OnStart() override;
  bool Step() override;  // the receive step
  void OnStop(bool success) override;

  // Wakes the worker from an idle wait (a send opened sockets, a ping window
  // started).
  void Wake();

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

// Assigns an interface to a socket slot; slot 0 starts a new choice.
bool SetNetworkDevice(ClientState& state, uint32_t slot, const char* addressText);

}  // namespace mdsp
