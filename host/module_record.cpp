#include "module_record.h"

#include <cstring>

#include "library_api.h"

namespace pelmar {
namespace {

bool Data(const LibraryApi& api, int32_t tag, uint32_t index, void* out, int32_t size) {
  return api.SMDSP_GetPayloadData(tag, index, out, size) == MDSP_RESULT_OK;
}

bool Text(const LibraryApi& api, int32_t tag, uint32_t index, char* out, uint32_t size) {
  if (api.SMDSP_GetPayloadString(tag, index, out, size) == MDSP_RESULT_OK) {
    out[size - 1] = '\0';
    return true;
  }
  // A failed read leaves the field as the zero-filled record had it.
  std::memset(out, 0, size);
  return false;
}

// Little-endian value bytes into a number.
template <typename T>
bool Number(const LibraryApi& api, int32_t tag, uint32_t index, T* out) {
  uint8_t bytes[sizeof(T)] = {};
  if (!Data(api, tag, index, bytes, sizeof(T))) return false;
  T value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(static_cast<T>(bytes[i]) << (8 * i));
  *out = value;
  return true;
}

}  // namespace

bool ReadModuleRecord(const LibraryApi& api, uint32_t index, ModuleRecord* record) {
  *record = ModuleRecord{};
  ModuleRecord& r = *record;
  r.moduleIndex = index;
  r.secure = IsSecureModule(api, index, SecureCheck::ReadOnly);
  bool major = Number(api, SMDSP_TAG_PROTOCOL_VERSION_MAJOR, index, &r.protocolMajor);
  bool minor = Number(api, SMDSP_TAG_PROTOCOL_VERSION_MINOR, index, &r.protocolMinor);
  r.protocolValid = major && minor;
  r.typeValid = Text(api, SMDSP_TAG_FIELD_BUS_TYPE, index, r.typeText, sizeof r.typeText);
  bool vMajor = Number(api, SMDSP_TAG_MODULE_VERSION_MAJOR, index, &r.versionMajor);
  bool vMinor = Number(api, SMDSP_TAG_MODULE_VERSION_MINOR, index, &r.versionMinor);
  bool vBuild = Number(api, SMDSP_TAG_MODULE_VERSION_BUILD, index, &r.versionBuild);
  r.versionValid = vMajor && vMinor && vBuild;
  r.macValid = api.SMDSP_GetModuleMac(index, r.mac) == MDSP_RESULT_OK;
  if (!r.macValid) std::memset(r.mac, 0, sizeof r.mac);
  r.ipValid = Number(api, SMDSP_TAG_IP, index, &r.ip);
  r.subnetValid = Number(api, SMDSP_TAG_SUBNET_MASK, index, &r.subnet);
  r.gatewayValid = Number(api, SMDSP_TAG_GATEWAY, index, &r.gateway);
  r.dhcpValid = Number(api, SMDSP_TAG_DHCP, index, &r.dhcp);
  r.passwordFlagValid = Number(api, SMDSP_TAG_PASSWORD_SET, index, &r.passwordFlag);
  r.hostNameValid = Text(api, SMDSP_TAG_HOST_NAME, index, r.hostName, sizeof r.hostName);
  r.dns1Valid = Number(api, SMDSP_TAG_DNS1, index, &r.dns1);
  r.dns2Valid = Number(api, SMDSP_TAG_DNS2, index, &r.dns2);
  r.seedValid = Text(api, SMDSP_TAG_SEED, index, r.seedText, sizeof r.seedText);
  bool kMajor = Number(api, SMDSP_TAG_KERNEL_VERSION_MAJOR, index, &r.kernelMajor);
  bool kMinor = Number(api, SMDSP_TAG_KERNEL_VERSION_MINOR, index, &r.kernelMinor);
  bool kBuild = Number(api, SMDSP_TAG_KERNEL_VERSION_BUILD, index, &r.kernelBuild);
  r.kernelValid = kMajor && kMinor && kBuild;
  r.productValid = Text(api, SMDSP_TAG_MODULE_TYPE, index, r.productText, sizeof r.productText);
  r.authRequiredValid = Number(api, SMDSP_TAG_PASSWORD_PROTECTED, index, &r.authRequired);
  r.firmwareValid = Text(api, SMDSP_TAG_VERSION_TEXT, index, r.firmwareText, sizeof r.firmwareText);
  return r.typeValid || r.productValid;
}

bool IsSecureModule(const LibraryApi& api, uint32_t index, SecureCheck check) {
  uint8_t marker = 0;
  if (Data(api, SMDSP_TAG_SECURE_MODULE, index, &marker, 1)) return true;
  if (check == SecureCheck::ReadOnly) return false;
  // Any configure tag from 8 up takes a value of any size on a secure entry.
  constexpr int32_t kProbeTag = 8;
  if (api.SMDSP_CreateConfigureRequest(index) != MDSP_RESULT_OK) return false;
  const uint8_t probe[2] = {};
  int32_t result = api.SMDSP_SetPayloadData(kProbeTag, probe, 2);
  // Start again so the probe value is never sent.
  return api.SMDSP_CreateConfigureRequest(index) == MDSP_RESULT_OK && result == MDSP_RESULT_OK;
}

bool StillSameModule(const LibraryApi& api, const ModuleRecord& record) {
  uint8_t mac[6];
  return api.SMDSP_GetModuleMac(record.moduleIndex, mac) == MDSP_RESULT_OK &&
         std::memcmp(mac, record.mac, 6) == 0 &&
         IsSecureModule(api, record.moduleIndex, SecureCheck::ReadOnly) == record.secure;
}

bool ReadTagText(const LibraryApi& api, int32_t tag, uint32_t index, std::string* out,
                 uint32_t bufferSize) {
  std::string buffer(bufferSize == 0 ? 1 : bufferSize, '\0');
  if (api.SMDSP_GetPayloadString(tag, index, buffer.data(), static_cast<uint32_t>(buffer.size())) !=
      MDSP_RESULT_OK)
    return false;
  buffer.back() = '\0';
  *out = buffer.c_str();
  return true;
}

}  // namespace pelmar
