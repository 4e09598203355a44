// The secure protocol as the layers above use it: sending a request, and the
// worker's entry for a received secure datagram.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mdsp {

struct ClientState;
class Message;

inline constexpr uint32_t kAuthenticationWaitMs = 1000;

// Builds one request and sends it from every configured slot, each copy
// stamped with that slot's interface MAC; uses the client's current seed.
// Takes the socket lock.
bool SecureSend(ClientState& client, const uint8_t destination[6], uint8_t type,
                const uint8_t* payload, size_t payloadLength, const char* password);

// Opens the wait for the seed of one Authentication request to `mac`, before
// it is sent: from now on only that module's reply is taken, and a signal
// left by an earlier request is forgotten. Takes the queue lock.
void OpenSeedWait(ClientState& client, const uint8_t mac[6]);
// Closes it once the wait is over: a seed that comes later is dropped.
void CloseSeedWait(ClientState& client);

// A datagram starting with the secure magic, received on `slot`: accepted
// replies go to HandleReply, the rest is dropped. Socket lock held.
void HandleSecureDatagram(ClientState& client, const uint8_t* data, size_t length, uint32_t slot);
// Handles an accepted reply on the worker thread; true when the message was
// kept (it became a module-table entry).
bool HandleReply(ClientState& client, Message* message);
// Raises the restart report once the ping window has passed. Caller holds
// the socket lock.
void RestartReportCheck(ClientState& client);

}  // namespace mdsp
