#include "receive.h"

#include <cstring>

#include "client.h"
#include "log.h"
#include "platform/udp.h"
#include "secure/protocol.h"
#include "socket_set.h"
#include "text_protocol.h"

namespace mdsp {
namespace {

// The secure magic 0xABC1 as it arrives, least significant byte first.
constexpr uint8_t kSecureMagicBytes[2] = {0xC1, 0xAB};

}  // namespace

void ReceiveWaiting(Client& client, uint32_t slot) {
  uint8_t buffer[kReceiveCapacity + 1];
  for (;;) {
    long received = platform::UdpReceive(client.sockets->socket[slot], buffer, kReceiveCapacity);
    if (received < 0) return;  // nothing (more) waiting
    // An empty datagram is consumed here and dropped: left waiting it would
    // hide every answer queued behind it.
    if (received == 0) continue;
    buffer[received] = '\0';
    DispatchDatagram(client, buffer, static_cast<size_t>(received), slot);
  }
}

void DispatchDatagram(Client& client, const uint8_t* data, size_t length, uint32_t slot) {
  const char* text = reinterpret_cast<const char*>(data);
  Report(kLogTrace, "Data on socket = %ld", static_cast<long>(length));
  Report(kLogTrace, "Data received: '%s'", text);
  if (HandleNotice(client, text)) return;
  if (length >= 2 && std::memcmp(data, kSecureMagicBytes, 2) == 0) {
    HandleSecureDatagram(client, data, length, slot);
    return;
  }
  HandleTextAnswer(client, text);
}

}  // namespace mdsp
