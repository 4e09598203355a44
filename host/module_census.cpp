#include "module_census.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace pelmar {
namespace {

// More entries than any segment holds; ends the walk if the table misbehaves.
constexpr uint32_t kMaxEntries = 4096;

}  // namespace

bool DiscoverThrough(const LibraryApi& api, const std::string& address, uint32_t timeoutMs,
                     void* context, std::vector<ModuleMac>& macs, std::string* error) {
  macs.clear();
  if (!api.MDSP_SetNetworkDevice(0, address.c_str())) {
    if (error) *error = "the library cannot use the interface " + address;
    return false;
  }
  int32_t result = api.SMDSP_SendDiscover(context);
  if (result != MDSP_RESULT_OK) {
    if (error) *error = "the discover could not be sent (result " + std::to_string(result) + ")";
    return false;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
  for (uint32_t index = 0; index < kMaxEntries; ++index) {
    ModuleMac mac{};
    int32_t got = api.SMDSP_GetModuleMac(index, mac.data());
    if (got == MDSP_RESULT_BAD_INDEX || got == MDSP_RESULT_NOT_STARTED) break;
    if (got != MDSP_RESULT_OK || mac == ModuleMac{}) continue;
    if (std::find(macs.begin(), macs.end(), mac) == macs.end()) macs.push_back(mac);
  }
  return true;
}

std::string FindAnsweringInterface(const LibraryApi& api, const uint8_t mac[6],
                                   const std::vector<std::string>& addresses, uint32_t timeoutMs,
                                   void* context) {
  ModuleMac wanted;
  std::memcpy(wanted.data(), mac, 6);
  for (const std::string& address : addresses) {
    std::vector<ModuleMac> macs;
    if (!DiscoverThrough(api, address, timeoutMs, context, macs, nullptr)) continue;
    if (std::find(macs.begin(), macs.end(), wanted) != macs.end()) return address;
  }
  return "";
}

}  // namespace pelmar
