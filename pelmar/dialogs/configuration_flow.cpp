#include "configuration_flow.h"

#include <cstdio>
#include <cstring>

#include "library_api.h"

namespace pelmar {
namespace {

constexpr int32_t kTagHostName = SMDSP_CONFIGURE_TAG_HOST_NAME;
constexpr int32_t kTagNewPassword = SMDSP_CONFIGURE_TAG_PASSWORD;
constexpr int32_t kTagSeed = SMDSP_TAG_SEED;
constexpr int32_t kTagSecureMarker = SMDSP_TAG_SECURE_MODULE;
constexpr uint32_t kSeedBufferSize = sizeof(ModuleRecord::seedText);

void ResetTarget(uint8_t target[6]) { std::memset(target, 0xFF, 6); }

bool TextModuleWithoutSeed(const ModuleRecord& record) {
  return !record.secure && !record.seedValid;
}

// The library reads the value as it lies in memory: least significant byte
// first on every host we build for, but spell it out rather than rely on it.
void LittleEndian(uint32_t value, uint8_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

ConfigurationStart StartFromRecord(const ModuleRecord& record) {
  ConfigurationStart start;
  const uint32_t values[kAddressCount] = {record.ip, record.subnet, record.gateway, record.dns1,
                                          record.dns2};
  const bool valid[kAddressCount] = {record.ipValid, record.subnetValid, record.gatewayValid,
                                     record.dns1Valid, record.dns2Valid};
  for (int i = 0; i < kAddressCount; ++i) {
    start.address[i] = values[i];
    start.addressValid[i] = valid[i];
  }
  start.hostNameEnabled = record.hostNameValid || record.secure;
  if (start.hostNameEnabled)
    start.hostName.assign(record.hostName, strnlen(record.hostName, sizeof(record.hostName) - 1));
  if (record.dhcpValid) start.dhcpChoice = record.dhcp == 0 ? kDhcpOff : kDhcpOn;
  start.passwordEditable = record.secure || (record.passwordFlagValid && record.passwordFlag != 0);
  return start;
}

bool AddressShownAtStart(const ConfigurationStart& start, int field) {
  return start.dhcpChoice != kDhcpOn && start.addressValid[field];
}

bool IsLegalHostName(const std::string& name) {
  for (unsigned char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
          c == '_' || c == '-'))
      return false;
  return true;
}

SetProblem CheckSet(const ConfigurationInput& input, const ModuleRecord& record) {
  if (!IsLegalHostName(input.hostName)) return SetProblem::IllegalHostName;
  if ((input.address[kIpAddress] & 0xFFu) == 255) return SetProblem::LastOctet255;
  if (TextModuleWithoutSeed(record) &&
      (input.password.find(';') != std::string::npos ||
       (input.changePassword && input.newPassword.find(';') != std::string::npos)))
    return SetProblem::SemicolonInPassword;
  return SetProblem::None;
}

const char* SetProblemText(SetProblem problem) {
  switch (problem) {
    case SetProblem::IllegalHostName:
      return "Illegal hostname! Only a-z, A-Z, 0-9, _ and - allowed.";
    case SetProblem::LastOctet255:
      return "Last digit of IP address can not be 255.";
    case SetProblem::SemicolonInPassword:
      return "This module does not accept ';' in a password.";
    case SetProblem::None:
      break;
  }
  return "";
}

namespace {

ConfigureOutcome Send(const LibraryApi& api, const ModuleRecord& record,
                      const ConfigurationInput& input, uint8_t configurationTarget[6],
                      const RandomSource& random, void* context) {
  // A reply or a re-scan while the dialog was open may have ended the
  // module's entry or given its index to another module: create the request
  // only now, and only for the module the user chose. A module speaking both
  // protocols has two entries with one MAC; the marker tells them apart, so a
  // password meant for the secure side never goes out as text.
  uint8_t mac[6], marker;
  if (api.SMDSP_GetModuleMac(record.moduleIndex, mac) != MDSP_RESULT_OK ||
      std::memcmp(mac, record.mac, 6) != 0 ||
      (api.SMDSP_GetPayloadData(kTagSecureMarker, record.moduleIndex, &marker, 1) ==
       MDSP_RESULT_OK) != record.secure)
    return ConfigureOutcome::ModuleListChanged;
  if (api.SMDSP_CreateConfigureRequest(record.moduleIndex) != MDSP_RESULT_OK)
    return ConfigureOutcome::Failed;

  // Stop at the first value the library refuses: sending the rest would
  // zero what was left out on a text-protocol module.
  for (int32_t tag = 0; tag < kAddressCount; ++tag) {
    uint8_t bytes[4];
    LittleEndian(input.address[tag], bytes);
    if (api.SMDSP_SetPayloadData(tag, bytes, 4) != MDSP_RESULT_OK) return ConfigureOutcome::Failed;
  }
  const uint8_t dhcp = input.dhcpChoice == kDhcpOn ? 1 : 0;
  if (api.SMDSP_SetPayloadData(5, &dhcp, 1) != MDSP_RESULT_OK) return ConfigureOutcome::Failed;

  std::string authentication;
  if (record.secure) {
    authentication = input.password;
  } else if (record.seedValid) {
    char answer[kMd5HexLength + 1];
    if (!AuthAnswer(record.seedText, input.password.c_str(), answer))
      return ConfigureOutcome::Failed;
    authentication = answer;
  } else {
    authentication = input.password.substr(0, kFieldLimit);
  }

  if (input.changePassword) {
    bool seedValid = record.seedValid;
    if (!record.secure) {
      char seed[kSeedBufferSize] = {};
      // A module that stores only the salted form must never get the new
      // password in plain text because a re-read failed: keep the recorded
      // seed then.
      if (api.SMDSP_GetPayloadString(kTagSeed, record.moduleIndex, seed, kSeedBufferSize) ==
          MDSP_RESULT_OK)
        seedValid = true;
    }
    std::string value = input.newPassword;
    if (seedValid) {
      char salted[kNewPasswordValueLength + 1];
      if (!NewPasswordValue(input.newPassword.c_str(), random, salted))
        return ConfigureOutcome::Failed;
      value = salted;
    }
    if (api.SMDSP_SetPayloadString(kTagNewPassword, value.c_str()) != MDSP_RESULT_OK)
      return ConfigureOutcome::Failed;
  }
  if (api.SMDSP_SetPayloadString(kTagHostName, input.hostName.c_str()) != MDSP_RESULT_OK)
    return ConfigureOutcome::Failed;

  std::memcpy(configurationTarget, record.mac, 6);
  SmdspCredentials credentials{authentication.c_str(), nullptr, context};
  if (api.SMDSP_SendConfigure(&credentials) != MDSP_RESULT_OK) return ConfigureOutcome::Failed;
  return ConfigureOutcome::Sent;
}

}  // namespace

ConfigureOutcome SendConfiguration(const LibraryApi& api, const ModuleRecord& record,
                                   const ConfigurationInput& input,
                                   uint8_t configurationTarget[6], const RandomSource& random,
                                   void* context) {
  ConfigureOutcome outcome = Send(api, record, input, configurationTarget, random, context);
  // The main window matches answers against the target: after a failure no
  // answer belongs to this configuration.
  if (outcome == ConfigureOutcome::Failed) ResetTarget(configurationTarget);
  return outcome;
}

}  // namespace pelmar
