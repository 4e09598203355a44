// The few UDP operations the library needs, over the platform's sockets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mdsp::platform {

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

// Starts and stops the network stack (nothing to do on POSIX systems).
bool NetStartup(int* failureCode);
void NetCleanup();

SocketHandle UdpCreate();
bool UdpEnableBroadcast(SocketHandle socket);
// Asks for a receive buffer of `bytes` (past the system's cap where the
// process is allowed to); *granted gets the size the system accounts
// datagrams against, which may be less. False when the size cannot be set.
bool UdpSetReceiveBuffer(SocketHandle socket, int bytes, int* granted);
// Binds to `port` on any address, shared with other sockets on the port. A
// non-empty `device` ties the socket to that interface, so it receives what
// arrives there, broadcasts included, and sends out of it.
bool UdpBind(SocketHandle socket, const char* device, uint16_t port);
void UdpSetNonBlocking(SocketHandle socket);
bool UdpSendBroadcast(SocketHandle socket, const void* data, size_t length, uint16_t port);
// The most datagrams one UdpReceiveBatch call reads.
inline constexpr size_t kUdpMaxBatch = 64;
// Reads up to `count` (at most kUdpMaxBatch) waiting datagrams at once without blocking, the i-th
// into buffers[i] (each `capacity` bytes), its length into lengths[i]: -1
// for one larger than the buffer, which is consumed and must be dropped.
// Returns how many were read; 0 when none is waiting.
size_t UdpReceiveBatch(SocketHandle socket, uint8_t* const* buffers, size_t capacity,
                       size_t count, long* lengths);
// Shuts the sending side down and closes.
void UdpClose(SocketHandle socket);
// Waits up to timeoutMs for any of the sockets to become readable (or to be
// closed under the wait, which ends it early).
void UdpWaitReadable(const SocketHandle* sockets, size_t count, uint32_t timeoutMs);

}  // namespace mdsp::platform
