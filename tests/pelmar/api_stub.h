// A LibraryApi of plain functions over one in-memory module table, for the
// widget-free tests of the host core.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "library_api.h"

namespace stub {

struct Entry {
  uint8_t mac[6] = {};
  bool macReadable = true;
  std::map<int32_t, std::string> tags;
};

struct State {
  std::vector<Entry> table;
  std::vector<std::pair<uint32_t, uint32_t>> nics;  // address, (unused)
  std::vector<std::string> descriptions;
  bool countFails = false;
  int infoFailsAt = -1;
  int32_t reportedCount = -1;  // overrides the count when >= 0
  std::vector<std::pair<uint32_t, std::string>> devices;
};

inline State& S() {
  static State state;
  return state;
}

inline int32_t GetData(int32_t tag, uint32_t index, void* buffer, int32_t size) {
  if (index >= S().table.size()) return MDSP_RESULT_BAD_INDEX;
  auto& tags = S().table[index].tags;
  auto it = tags.find(tag);
  if (it == tags.end()) return MDSP_RESULT_NOT_FOUND;
  if (static_cast<int32_t>(it->second.size()) != size) return MDSP_RESULT_INVALID_TAG;
  std::memcpy(buffer, it->second.data(), it->second.size());
  return MDSP_RESULT_OK;
}
inline int32_t GetString(int32_t tag, uint32_t index, char* buffer, uint32_t size) {
  if (index >= S().table.size()) return MDSP_RESULT_BAD_INDEX;
  auto& tags = S().table[index].tags;
  auto it = tags.find(tag);
  if (it == tags.end()) return MDSP_RESULT_NOT_FOUND;
  size_t n = std::min<size_t>(strnlen(it->second.data(), it->second.size()), size - 1);
  std::memcpy(buffer, it->second.data(), n);
  buffer[n] = '\0';
  return MDSP_RESULT_OK;
}
inline int32_t GetMac(uint32_t index, uint8_t* mac) {
  if (index >= S().table.size()) return MDSP_RESULT_BAD_INDEX;
  if (!S().table[index].macReadable) return MDSP_RESULT_FAILED;
  std::memcpy(mac, S().table[index].mac, 6);
  return MDSP_RESULT_OK;
}
inline int32_t NumberOfNics(int32_t* count) {
  if (S().countFails) return MDSP_RESULT_FAILED;
  *count = S().reportedCount >= 0 ? S().reportedCount : static_cast<int32_t>(S().nics.size());
  return MDSP_RESULT_OK;
}
inline int32_t NicInfo(uint32_t index, uint32_t* address, uint8_t*, char* description,
                       int32_t size) {
  if (static_cast<int>(index) == S().infoFailsAt || index >= S().nics.size())
    return MDSP_RESULT_FAILED;
  *address = S().nics[index].first;
  std::string d = index < S().descriptions.size() ? S().descriptions[index] : "nic";
  std::strncpy(description, d.c_str(), size - 1);
  description[size - 1] = '\0';
  return MDSP_RESULT_OK;
}
inline int32_t SetDevice(uint32_t slot, const char* address) {
  S().devices.emplace_back(slot, address);
  return 1;
}

inline pelmar::LibraryApi Api() {
  pelmar::LibraryApi api;
  api.SMDSP_GetPayloadData = &GetData;
  api.SMDSP_GetPayloadString = &GetString;
  api.SMDSP_GetModuleMac = &GetMac;
  api.MDSP_GetNumberOfNics = &NumberOfNics;
  api.MDSP_GetNicInfo = &NicInfo;
  api.MDSP_SetNetworkDevice = &SetDevice;
  return api;
}

inline std::string U8(uint8_t v) { return std::string(1, static_cast<char>(v)); }
inline std::string U16(uint16_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
inline std::string U32(uint32_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                     static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}
inline std::string Text(const std::string& t) { return t + std::string(1, '\0'); }

}  // namespace stub
