#include "state/client_state.h"

namespace mdsp {

ClientState::ClientState(SocketSet* set) : sockets(set) {}

ClientState::~ClientState() {
  responses.Clear();
  modules.Clear();
  restarts.Clear();
  DestroySocketSet(sockets);
  sockets = nullptr;
  delete pending.list;
  pending.list = nullptr;
}

}  // namespace mdsp
