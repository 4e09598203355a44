// The receive step: reads every datagram waiting on a socket and hands each
// to the protocol it belongs to. It sits above both protocols, so neither
// needs to know the other.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mdsp {

struct ClientState;

// Datagrams one step reads from one socket at most: whatever else waits is
// read in the next steps, so a caller that wants the socket lock gets it
// between two steps however much arrives.
inline constexpr size_t kDatagramsPerStep = 256;
// Datagrams read by one system call, each into its own slice of the
// client's receive area.
inline constexpr size_t kReceiveBatch = 64;

// Reads and dispatches up to `limit` datagrams waiting on `slot`; returns how
// many it read. Socket lock held.
size_t ReceiveWaiting(ClientState& client, uint32_t slot, size_t limit = kDatagramsPerStep);

// Dispatches one received datagram: a notice first, then secure by its
// magic, then a text answer when it holds an answer key; the rest is
// dropped. data[length] must be a NUL, so the text side can read the
// datagram as a C string. Socket lock held.
void DispatchDatagram(ClientState& client, const uint8_t* data, size_t length, uint32_t slot);

}  // namespace mdsp
