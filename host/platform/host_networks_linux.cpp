#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "host_networks.h"
#include "host_interfaces.h"
#include "module_texts.h"
#include "small_file.h"

namespace pelmar::platform {
namespace {

// Whether the neighbour table has a complete entry for the address on the
// interface ("IP address  HW type  Flags  HW address  Mask  Device").
bool NeighbourKnown(uint32_t address, const std::string& interfaceName) {
  std::ifstream table("/proc/net/arp");
  std::string line;
  std::getline(table, line);
  const std::string wanted = Ipv4Text(address);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string ip, type, flags, hw, mask, device;
    if (!(fields >> ip >> type >> flags >> hw >> mask >> device)) continue;
    if (ip != wanted || device != interfaceName) continue;
    if (std::strtoul(flags.c_str(), nullptr, 16) & 0x2) return true;  // ATF_COM: answered
  }
  return false;
}


}  // namespace

std::vector<HostNetwork> ListHostNetworks() {
  // A default route through a gateway, the first one of each interface.
  std::map<std::string, uint32_t> gateways;
  for (const DefaultRoute& route : ReadDefaultRoutes())
    if (route.viaGateway) gateways.emplace(route.interfaceName, route.gateway);
  std::vector<HostNetwork> out;
  for (const HostInterface& nic : ListInterfaces()) {
    if (!(nic.flags & IFF_UP) || (nic.flags & IFF_LOOPBACK)) continue;
    for (const InterfaceIpv4& ip : nic.ipv4) {
      if (!ip.hasMask) continue;
      HostNetwork n;
      n.name = nic.name;
      n.address = ip.address;
      n.mask = ip.mask;
      auto gateway = gateways.find(n.name);
      if (gateway != gateways.end() && (gateway->second & n.mask) == (n.address & n.mask))
        n.gateway = gateway->second;
      out.push_back(n);
    }
  }
  return out;
}

std::vector<HostSubnet> InterfaceSubnets(const std::vector<uint32_t>& addresses) {
  std::vector<HostSubnet> subnets;
  for (const HostInterface& nic : ListInterfaces())
    for (const InterfaceIpv4& ip : nic.ipv4)
      if (ip.hasMask && std::find(addresses.begin(), addresses.end(), ip.address) != addresses.end())
        subnets.push_back(HostSubnet{ip.address, ip.mask});
  return subnets;
}

bool NeighbourAnswers(uint32_t address, const std::string& interfaceName, int timeoutMs) {
  if (NeighbourKnown(address, interfaceName)) return true;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd >= 0) {
    // To the discard port: the datagram is only there to make the kernel
    // resolve the address on the link.
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    to.sin_addr.s_addr = htonl(address);
    const char probe = 0;
    ::sendto(fd, &probe, 1, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    ::close(fd);
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (NeighbourKnown(address, interfaceName)) return true;
  }
  return false;
}

std::string RememberedScanPath() {
  std::string base;
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state == '/') {
    base = state;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return "";
    base = std::string(home) + "/.local/state";
  }
  return base + "/Tordal/Corvane Pelmar/last-scan";
}

std::optional<std::set<MacBytes>> LoadRememberedScan(const std::string& path) {
  // 18 bytes a module: a megabyte is far more than any plant network.
  constexpr size_t kLimit = 1 << 20;
  std::string bytes;
  if (!ReadSmallFile(path, kLimit, &bytes)) return std::nullopt;
  std::set<MacBytes> macs;
  std::istringstream lines(bytes);
  std::string line;
  while (std::getline(lines, line)) {
    MacBytes mac;
    if (line.size() == 17 && ParseMacText(line, mac.data())) macs.insert(mac);
  }
  return macs;
}

bool SaveRememberedScan(const std::string& path, const std::set<MacBytes>& macs) {
  std::string bytes;
  for (const MacBytes& mac : macs) bytes += MacText(mac.data()) + "\n";
  return WriteFileWhole(path, bytes);
}

}  // namespace pelmar::platform
