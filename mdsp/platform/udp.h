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
// Sizes the receive buffer to hold at least `bytes` of datagram payload.
bool UdpSetReceiveBuffer(SocketHandle socket, int bytes);
// Binds to `port` on any address, shared with other sockets on the port. A
// non-empty `device` ties the socket to that interface, so it receives what
// arrives there, broadcasts included, and sends out of it.
bool UdpBind(SocketHandle socket, const char* device, uint16_t port);
void UdpSetNonBlocking(SocketHandle socket);
bool UdpSendBroadcast(SocketHandle socket, const void* data, size_t length, uint16_t port);
// Reads one waiting datagram without blocking. Returns its length (0 for an
// empty datagram, which is thereby consumed), or -1 when none is waiting.
// Datagrams larger than the buffer are dropped.
long UdpReceive(SocketHandle socket, void* buffer, size_t capacity);
// Shuts the sending side down and closes.
void UdpClose(SocketHandle socket);

}  // namespace mdsp::platform
