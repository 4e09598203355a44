#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>

#include "adapters.h"

namespace mdsp::platform {
namespace {

std::atomic<AdapterSource> g_adapterSource{nullptr};

bool EnumerateSystem(std::vector<AdapterRecord>& adapters) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  // Keyed by interface index, which gives a stable order.
  std::map<unsigned, AdapterRecord> byIndex;
  for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
    if (!entry->ifa_name || (entry->ifa_flags & IFF_LOOPBACK)) continue;
    unsigned index = if_nametoindex(entry->ifa_name);
    if (index == 0) continue;
    AdapterRecord& record = byIndex[index];
    if (record.name.empty()) {
      record.name = entry->ifa_name;
      record.description = entry->ifa_name;
      record.firstIpv4 = "0.0.0.0";
    }
    if (!entry->ifa_addr) continue;
    if (entry->ifa_addr->sa_family == AF_PACKET) {
      auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
      record.hardwareAddressLength = link->sll_halen;
      std::memcpy(record.hardwareAddress, link->sll_addr,
                  std::min<size_t>(link->sll_halen, sizeof record.hardwareAddress));
    } else if (entry->ifa_addr->sa_family == AF_INET && record.firstIpv4 == "0.0.0.0") {
      char text[INET_ADDRSTRLEN] = {};
      auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
      if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) record.firstIpv4 = text;
    }
  }
  freeifaddrs(list);
  adapters.clear();
  for (auto& [index, record] : byIndex) adapters.push_back(std::move(record));
  return !adapters.empty();
}

}  // namespace

bool EnumerateAdapters(std::vector<AdapterRecord>& adapters) {
  if (AdapterSource source = g_adapterSource.load()) return source(adapters);
  return EnumerateSystem(adapters);
}

void SetAdapterSourceForTesting(AdapterSource source) { g_adapterSource.store(source); }

}  // namespace mdsp::platform
