#include "receive.h"

#include <cstring>
#include <new>

#include <openssl/crypto.h>

#include "base/errors.h"
#include "base/log.h"
#include "platform/udp.h"
#include "secure/protocol.h"
#include "state/client_state.h"
#include "state/socket_set.h"
#include "text/text_protocol.h"

namespace mdsp {

// A short read means the socket is empty only while one call can fill a batch.
static_assert(kReceiveBatch <= platform::kUdpMaxBatch);

namespace {

// The secure magic 0xABC1 as it arrives, least significant byte first.
constexpr uint8_t kSecureMagicBytes[2] = {0xC1, 0xAB};

}  // namespace

size_t ReceiveWaiting(ClientState& client, uint32_t slot, size_t limit) {
  constexpr size_t kStride = kReceiveCapacity + 1;  // room for the NUL behind a datagram
  if (!client.receiveArea) {
    client.receiveArea.reset(new (std::nothrow) uint8_t[kReceiveBatch * kStride]);
    if (!client.receiveArea) {
      ReportError(ERR_NO_MEMORY);
      return 0;
    }
  }
  uint8_t* buffers[kReceiveBatch];
  for (size_t i = 0; i < kReceiveBatch; ++i) buffers[i] = client.receiveArea.get() + i * kStride;
  long lengths[kReceiveBatch];
  const uint32_t closings = client.sockets->closings;
  size_t read = 0;
  while (read < limit) {
    size_t want = limit - read < kReceiveBatch ? limit - read : kReceiveBatch;
    size_t got = platform::UdpReceiveBatch(client.sockets->socket[slot], buffers,
                                           kReceiveCapacity, want, lengths);
    read += got;
    client.datagramsRead.fetch_add(got, std::memory_order_relaxed);
    for (size_t i = 0; i < got; ++i) {
      // An empty datagram is consumed and dropped: left waiting it would hide
      // every answer queued behind it. Oversized ones are dropped whole.
      if (lengths[i] <= 0) continue;
      buffers[i][lengths[i]] = '\0';
      DispatchDatagram(client, buffers[i], static_cast<size_t>(lengths[i]), slot);
      // A configure request (our own, come back) carries passwords: not kept
      // in the receive area until a later datagram happens to cover it.
      if (StartsWithIgnoringCase(reinterpret_cast<const char*>(buffers[i]), "Configure:"))
        OPENSSL_cleanse(buffers[i], static_cast<size_t>(lengths[i]));
      // A callback may have closed the sockets (a new choice of interface):
      // the rest of the batch goes with them, as it would have unread.
      if (client.sockets->closings != closings) return read;
    }
    if (got < want) break;  // nothing (more) waiting
  }
  return read;
}

void DispatchDatagram(ClientState& client, const uint8_t* data, size_t length, uint32_t slot) {
  const char* text = reinterpret_cast<const char*>(data);
  Report(kLogTrace, "Data on socket = %ld", static_cast<long>(length));
  Report(kLogTrace, "Data received: '%s'", text);
  if (HandleNotice(client, text)) return;
  if (length >= 2 && std::memcmp(data, kSecureMagicBytes, 2) == 0) {
    HandleSecureDatagram(client, data, length, slot);
    return;
  }
  // Junk from a storm or a misbehaving device must not become a module:
  // no record, no entry, no event.
  if (!HasAnswerKey(text)) {
    Report(kLogTrace, "Not a module answer: dropped");
    return;
  }
  HandleTextAnswer(client, text);
}

}  // namespace mdsp
