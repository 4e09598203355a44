// The few socket operations the DHCP server needs, one implementation per
// platform (dhcp_socket_posix.cpp here). The server core includes no
// operating-system header.
#pragma once

#include <cstdint>

namespace pelmar {

enum class DhcpStartError {
  kNone,
  kNetworkStack,     // the platform's socket layer could not be started
  kCreateSocket,
  kBroadcast,        // broadcast could not be enabled
  kPacketInfo,       // arrival interface of requests cannot be learnt
  kNoSuchInterface,
  kBindInterface,    // could not be tied to the chosen interface
  kPortPermission,   // port 67 needs privileges
  kPortInUse,        // another DHCP server holds port 67
  kBind,
  kNonBlocking,
};

const char* DhcpStartErrorName(DhcpStartError error);

// A sentence for the user that says what went wrong and what helps.
const char* DhcpStartErrorText(DhcpStartError error);

struct DhcpSocket {
  intptr_t handle = -1;
  // Where the platform's socket layer must be started (Windows), Close
  // releases it only when Open started it, also after a failed open.
  bool networkStackStarted = false;
};

// Where a request came from; its reply must leave by the same interface.
struct DhcpOrigin {
  int interfaceIndex = 0;  // 0: unknown, the routing table decides
};

// Opens a non-blocking UDP socket with broadcast enabled, bound to the port on
// every local address. interfaceName limits it to one interface (nullptr or
// "" for all). On failure nothing stays open and *systemError (if given)
// holds the operating system's code.
DhcpStartError DhcpSocketOpen(DhcpSocket* socket, uint16_t port, const char* interfaceName,
                              int* systemError);

bool DhcpSocketIsOpen(const DhcpSocket& socket);

// Takes one waiting datagram without blocking. Returns its length, or -1 when
// none is waiting, the socket is unusable, or the datagram did not fit (it is
// discarded then).
int DhcpSocketReceive(const DhcpSocket& socket, uint8_t* buffer, int capacity, DhcpOrigin* origin);

enum class DhcpWaitResult {
  kDatagram,  // a datagram (or a pending socket error) waits: receive it
  kWake,      // the wake handle is readable
  kTimeout,
  kError,     // the socket is not open or cannot be waited on
};

// Blocks until the socket has something to receive or wakeHandle (a
// descriptor that becomes readable to interrupt the wait; -1 for none) does,
// or timeoutMs passes (-1: no limit). The wake handle wins when both are
// ready, so a stop request is never starved by traffic.
DhcpWaitResult DhcpSocketWait(const DhcpSocket& socket, intptr_t wakeHandle, int timeoutMs);

// Sends to 255.255.255.255 at the port, out of the origin's interface when
// known. True when the datagram was handed to the network.
bool DhcpSocketSendBroadcast(const DhcpSocket& socket, const uint8_t* data, int length,
                             uint16_t port, const DhcpOrigin& origin);

// The name of the interface a datagram came in on (the socket's own interface
// when it is tied to one) into name; "" when it cannot be told.
void DhcpSocketInterfaceName(const DhcpSocket& socket, const DhcpOrigin& origin, char* name,
                             int capacity);

// Closes the socket and releases the socket layer if this socket started it.
void DhcpSocketClose(DhcpSocket* socket);

}  // namespace pelmar
