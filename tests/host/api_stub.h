// A LibraryApi of plain functions over one in-memory module table, for the
// widget-free tests of the host core. Its entries are the stand-in's.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fake_mdsp_control.h"
#include "library_api.h"

namespace pelmar_test::stub {

// Entries and their tag values are written as for the stand-in library.
using Entry = fake::Module;
using fake::Text;
using fake::U16;
using fake::U32;
using fake::U8;

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

inline const Entry* At(uint32_t index) {
  return index < S().table.size() ? &S().table[index] : nullptr;
}
inline int32_t GetData(int32_t tag, uint32_t index, void* buffer, int32_t size) {
  return fake::ReadData(At(index), tag, buffer, size);
}
inline int32_t GetString(int32_t tag, uint32_t index, char* buffer, uint32_t size) {
  return fake::ReadString(At(index), tag, buffer, size);
}
inline int32_t GetMac(uint32_t index, uint8_t* mac) { return fake::ReadMac(At(index), mac); }
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

}  // namespace pelmar_test::stub
