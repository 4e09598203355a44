#include "host_interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace pelmar::platform {
namespace {

uint32_t HostOrder(const sockaddr* address) {
  return ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
}

}  // namespace

std::vector<HostInterface> ListInterfaces() {
  std::vector<HostInterface> out;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return out;
  std::map<unsigned, HostInterface> byIndex;  // the index gives a stable order
  for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_name) continue;
    const unsigned index = ::if_nametoindex(entry->ifa_name);
    if (index == 0) continue;
    HostInterface& nic = byIndex[index];
    if (nic.name.empty()) {
      nic.name = entry->ifa_name;
      nic.flags = entry->ifa_flags;
    }
    if (!entry->ifa_addr) continue;
    if (entry->ifa_addr->sa_family == AF_PACKET) {
      nic.ethernetAddress = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr)->sll_halen == 6;
    } else if (entry->ifa_addr->sa_family == AF_INET) {
      InterfaceIpv4 ip;
      ip.address = HostOrder(entry->ifa_addr);
      ip.hasMask = entry->ifa_netmask != nullptr;
      if (ip.hasMask) ip.mask = HostOrder(entry->ifa_netmask);
      nic.ipv4.push_back(ip);
    }
  }
  ::freeifaddrs(list);
  for (auto& [index, nic] : byIndex) out.push_back(std::move(nic));
  return out;
}

std::vector<DefaultRoute> ReadDefaultRoutes() {
  std::vector<DefaultRoute> out;
  // "Iface Destination Gateway Flags RefCnt Use Metric Mask ...", numbers in hex.
  std::ifstream routes("/proc/net/route");
  std::string line;
  std::getline(routes, line);  // header
  while (std::getline(routes, line)) {
    std::istringstream fields(line);
    std::string name, destination, gateway, flags, refs, use, metric, mask;
    if (!(fields >> name >> destination >> gateway >> flags >> refs >> use >> metric >> mask))
      continue;
    if (destination != "00000000" || mask != "00000000") continue;
    DefaultRoute route;
    route.interfaceName = name;
    // The table prints the address in memory order as a host-order number.
    route.gateway = ntohl(static_cast<uint32_t>(std::strtoul(gateway.c_str(), nullptr, 16)));
    route.viaGateway = (std::strtoul(flags.c_str(), nullptr, 16) & 0x2) != 0;  // RTF_GATEWAY
    out.push_back(route);
  }
  return out;
}

}  // namespace pelmar::platform
