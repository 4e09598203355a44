// The receive step: reads every datagram waiting on a socket and hands each
// to the protocol it belongs to. It sits above both protocols, so neither
// needs to know the other.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mdsp {

class Client;

// Reads and dispatches every datagram waiting on `slot`. Socket lock held.
void ReceiveWaiting(Client& client, uint32_t slot);

// Dispatches one received datagram: a notice first, then secure by its
// magic, anything else a text answer. data[length] must be a NUL, so the
// text side can read the datagram as a C string. Socket lock held.
void DispatchDatagram(Client& client, const uint8_t* data, size_t length, uint32_t slot);

}  // namespace mdsp
