#include "dhcp_socket.h"

namespace pelmar {

const char* DhcpStartErrorName(DhcpStartError error) {
  switch (error) {
    case DhcpStartError::kNone: return "DHCP_OK";
    case DhcpStartError::kNetworkStack: return "DHCP_ERR_NETWORK_STACK";
    case DhcpStartError::kCreateSocket: return "DHCP_ERR_CREATE_SOCKET";
    case DhcpStartError::kBroadcast: return "DHCP_ERR_BROADCAST";
    case DhcpStartError::kPacketInfo: return "DHCP_ERR_PACKET_INFO";
    case DhcpStartError::kNoSuchInterface: return "DHCP_ERR_NO_SUCH_INTERFACE";
    case DhcpStartError::kBindInterface: return "DHCP_ERR_BIND_INTERFACE";
    case DhcpStartError::kPortPermission: return "DHCP_ERR_PORT_PERMISSION";
    case DhcpStartError::kPortInUse: return "DHCP_ERR_PORT_IN_USE";
    case DhcpStartError::kBind: return "DHCP_ERR_BIND";
    case DhcpStartError::kNonBlocking: return "DHCP_ERR_NON_BLOCKING";
  }
  return "DHCP_ERR_UNKNOWN";
}

const char* DhcpStartErrorText(DhcpStartError error) {
  switch (error) {
    case DhcpStartError::kNone:
      return "The DHCP server is running.";
    case DhcpStartError::kNetworkStack:
      return "The network stack could not be started.";
    case DhcpStartError::kCreateSocket:
      return "No UDP socket could be created.";
    case DhcpStartError::kBroadcast:
      return "Broadcast could not be enabled on the socket.";
    case DhcpStartError::kPacketInfo:
      return "The socket cannot tell on which interface a request arrived.";
    case DhcpStartError::kNoSuchInterface:
      return "There is no network interface of that name.";
    case DhcpStartError::kBindInterface:
      return "The socket could not be tied to the chosen interface.";
    case DhcpStartError::kPortPermission:
      return "UDP port 67 is a privileged port: run as root or give the program the "
             "capability CAP_NET_BIND_SERVICE "
             "(setcap cap_net_bind_service=+ep pelmar-dhcpd).";
    case DhcpStartError::kPortInUse:
      return "UDP port 67 is already in use; another DHCP server is running on this machine.";
    case DhcpStartError::kBind:
      return "The socket could not be bound to UDP port 67.";
    case DhcpStartError::kNonBlocking:
      return "The socket could not be switched to non-blocking mode.";
  }
  return "The DHCP server could not be started.";
}

}  // namespace pelmar
