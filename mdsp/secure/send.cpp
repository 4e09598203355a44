// Sending one secure request from every configured interface.
#include <cstring>
#include <mutex>

#include "base/log.h"
#include "secure/message.h"
#include "secure/protocol.h"
#include "state/client_state.h"
#include "state/socket_set.h"

namespace mdsp {

bool SecureSend(ClientState& client, const uint8_t destination[6], uint8_t type,
                const uint8_t* payload, size_t payloadLength, const char* password) {
  std::lock_guard<SocketLock> socketGuard(client.socketLock);
  uint32_t seed;
  {
    std::lock_guard<std::recursive_mutex> queueGuard(client.queueLock);
    seed = client.seed;
  }
  Message message;
  if (!Build(message, destination, type, seed, payload, payloadLength, password)) return false;
  return SendToAllSlots(*client.sockets,
                        [&](uint32_t slot, uint8_t* out, size_t capacity) -> size_t {
                          std::memcpy(message.sourceMac, client.sockets->interfaceMac[slot], 6);
                          uint8_t datagram[kMaxDatagram];
                          size_t length = Serialize(message, datagram);
                          if (length == 0 || length > capacity) return 0;
                          std::memcpy(out, datagram, length);
                          return length;
                        });
}

}  // namespace mdsp
