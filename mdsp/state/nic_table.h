// The host's usable interfaces, as the caller lists and chooses them.
#pragma once

#include <cstdint>
#include <mutex>

#include "mdsp.h"

namespace mdsp {

inline constexpr uint32_t kMaxNics = MDSP_MAX_NICS;

struct NicEntry {
  uint8_t mac[6];
  uint32_t address;  // first octet most significant; never 0 when listed
  char description[64];
  char name[32];  // the system's interface name, for tying sockets to it
};

struct NicTable {
  NicEntry entries[kMaxNics] = {};
  uint32_t count = 0;
  std::recursive_mutex lock;
};

// Refills the table from the system; on failure (ERR_SYSTEM) it keeps its
// previous content.
bool EnumerateNics(NicTable& table);
bool GetNicInfo(NicTable& table, uint32_t index, uint32_t* address, uint8_t* mac,
                char* description, int32_t size);

// Reads "%d.%d.%d.%d" into a 32-bit address, first number most significant.
bool ParseDottedAddress(const char* text, uint32_t* address);

}  // namespace mdsp
