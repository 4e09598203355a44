#include "state/nic_table.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/errors.h"
#include "base/log.h"
#include "platform/adapters.h"

namespace mdsp {

bool ParseDottedAddress(const char* text, uint32_t* address) {
  int a = 0, b = 0, c = 0, d = 0;
  if (!text || std::sscanf(text, "%d.%d.%d.%d", &a, &b, &c, &d) != 4) return false;
  *address = (static_cast<uint32_t>(a) << 24) | ((static_cast<uint32_t>(b) & 0xFF) << 16) |
             ((static_cast<uint32_t>(c) & 0xFF) << 8) | (static_cast<uint32_t>(d) & 0xFF);
  return true;
}

bool EnumerateNics(NicTable& table) {
  std::vector<platform::AdapterRecord> adapters;
  if (!platform::EnumerateAdapters(adapters)) {
    ReportError(ERR_SYSTEM);
    return false;
  }
  std::lock_guard<std::recursive_mutex> guard(table.lock);
  table.count = 0;
  for (const auto& adapter : adapters) {
    if (table.count == kMaxNics) break;
    if (adapter.hardwareAddressLength != 6) continue;
    uint32_t address = 0;
    if (!ParseDottedAddress(adapter.firstIpv4.c_str(), &address) || address == 0) continue;
    NicEntry& entry = table.entries[table.count];
    std::memset(&entry, 0, sizeof entry);
    std::memcpy(entry.mac, adapter.hardwareAddress, 6);
    entry.address = address;
    std::snprintf(entry.description, sizeof entry.description, "%s", adapter.description.c_str());
    std::snprintf(entry.name, sizeof entry.name, "%s", adapter.name.c_str());
    ++table.count;
  }
  return true;
}

bool GetNicInfo(NicTable& table, uint32_t index, uint32_t* address, uint8_t* mac,
                char* description, int32_t size) {
  std::lock_guard<std::recursive_mutex> guard(table.lock);
  if (index >= table.count) {
    ReportError(ERR_OUT_OF_RANGE);
    return false;
  }
  const NicEntry& entry = table.entries[index];
  if (address) *address = entry.address;
  if (mac) std::memcpy(mac, entry.mac, 6);
  if (!description) return true;
  if (size <= 0) {
    ReportError(ERR_OUT_OF_RANGE);
    return false;
  }
  size_t room = static_cast<size_t>(size);
  size_t copy = room < sizeof entry.description ? room : sizeof entry.description;
  std::memcpy(description, entry.description, copy);
  if (room > copy) std::memset(description + copy, 0, room - copy);
  description[room - 1] = '\0';
  return true;
}

}  // namespace mdsp
