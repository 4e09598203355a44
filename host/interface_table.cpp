#include "interface_table.h"

#include "module_texts.h"

namespace pelmar {

bool RefreshInterfaces(const LibraryApi& api, InterfaceChoice& choice) {
  int32_t count = 0;
  if (api.MDSP_GetNumberOfNics(&count) != MDSP_RESULT_OK) return false;
  uint32_t n = count < 0 ? 0 : static_cast<uint32_t>(count);
  if (n > kMaxInterfaces) n = kMaxInterfaces;
  choice.count = n;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t address = 0;
    char description[128] = {};
    if (api.MDSP_GetNicInfo(i, &address, nullptr, description, sizeof description) !=
        MDSP_RESULT_OK) {
      choice.count = i;
      return false;
    }
    description[sizeof description - 1] = '\0';
    choice.entries[i].description = description;
    choice.entries[i].address = Ipv4Text(address);
  }
  return true;
}

bool ApplyInterface(const LibraryApi& api, InterfaceChoice& choice) {
  uint32_t count = choice.count > kMaxInterfaces ? kMaxInterfaces : choice.count;
  if (!choice.requestedInterface.empty()) {
    for (uint32_t i = 0; i < count; ++i) {
      if (choice.entries[i].address == choice.requestedInterface) {
        api.MDSP_SetNetworkDevice(0, choice.entries[i].address.c_str());
        choice.requestedInterface.clear();
        return true;
      }
    }
    choice.requestedInterface.clear();
    return false;
  }
  if (choice.specificInterface) {
    if (count == 0) return true;  // nothing to select
    uint32_t selected = choice.selectedInterface < count ? choice.selectedInterface : 0;
    api.MDSP_SetNetworkDevice(0, choice.entries[selected].address.c_str());
    return true;
  }
  for (uint32_t i = 0; i < count; ++i)
    api.MDSP_SetNetworkDevice(i, choice.entries[i].address.c_str());
  return true;
}

std::string ComposeSettings(const InterfaceChoice& choice) {
  std::string bytes("CVP\0", 4);
  if (choice.specificInterface) {
    uint32_t count = choice.count > kMaxInterfaces ? kMaxInterfaces : choice.count;
    // The same entry ApplyInterface uses (none when the table is empty).
    if (count > 0) {
      uint32_t selected = choice.selectedInterface < count ? choice.selectedInterface : 0;
      bytes += choice.entries[selected].address.substr(0, 2043);
    }
  }
  return bytes;
}

bool ApplySettingsBytes(const std::string& bytes, InterfaceChoice& choice) {
  choice.specificInterface = 0;
  choice.missingSavedInterface.clear();
  if (bytes.size() < 5 || bytes.compare(0, 3, "CVP") != 0) return false;
  std::string text = bytes.substr(4);
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return true;
  uint32_t count = choice.count > kMaxInterfaces ? kMaxInterfaces : choice.count;
  for (uint32_t i = 0; i < count; ++i) {
    if (choice.entries[i].address == text) {
      choice.specificInterface = 1;
      choice.selectedInterface = i;
      return true;
    }
  }
  choice.missingSavedInterface = text.substr(0, 64);
  return true;
}

}  // namespace pelmar
