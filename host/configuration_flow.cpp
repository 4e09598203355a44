#include "configuration_flow.h"

#include <cstring>

#include "configure_request.h"
#include "library_api.h"

namespace pelmar {
namespace {

constexpr uint32_t kSeedBufferSize = sizeof(ModuleRecord::seedText);

void ResetTarget(uint8_t target[6]) { std::memset(target, 0xFF, 6); }

}  // namespace

// The dialog changes every field: a blank address field reads 0.0.0.0.
ConfigurePlan PlanFromInput(const ConfigurationInput& input) {
  ConfigurePlan plan;
  plan.ip = input.address[kIpAddress];
  plan.mask = input.address[kSubnetMask];
  plan.gateway = input.address[kGateway];
  plan.dns1 = input.address[kPrimaryDns];
  plan.dns2 = input.address[kSecondaryDns];
  plan.dhcp = input.dhcpChoice == kDhcpOn;
  plan.hostName = input.hostName;
  plan.newPassword = input.changePassword;
  return plan;
}

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

SetProblem CheckSet(const ConfigurationInput& input, const ModuleRecord& record) {
  if (!IsLegalHostName(input.hostName)) return SetProblem::IllegalHostName;
  if ((input.address[kIpAddress] & 0xFFu) == 255) return SetProblem::LastOctet255;
  if (SemicolonBreaksPassword(record.secure, record.seedValid, input.password) ||
      (input.changePassword &&
       SemicolonBreaksPassword(record.secure, record.seedValid, input.newPassword)))
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
  // protocols has two entries with one MAC; the protocol tells them apart, so
  // a password meant for the secure side never goes out as text.
  if (!StillSameModule(api, record)) return ConfigureOutcome::ModuleListChanged;

  PasswordRule rule{!record.secure && record.seedValid, record.seedValid, record.seedText};
  if (input.changePassword && !record.secure) {
    // A module that stores only the salted form must never get the new
    // password in plain text because a re-read failed: keep the recorded
    // seed then.
    char seed[kSeedBufferSize] = {};
    if (api.SMDSP_GetPayloadString(SMDSP_TAG_SEED, record.moduleIndex, seed, kSeedBufferSize) ==
        MDSP_RESULT_OK)
      rule.saltNewPassword = true;
  }
  const std::string password = record.secure || record.seedValid
                                   ? input.password
                                   : input.password.substr(0, kFieldLimit);
  ConfigureRequest request;
  if (!BuildConfigureRequest(PlanFromInput(input), record.secure, record.hostName, rule, password,
                             input.newPassword, random, &request) ||
      !StageConfigureRequest(api, record.moduleIndex, request.values).ok())
    return ConfigureOutcome::Failed;

  std::memcpy(configurationTarget, record.mac, 6);
  SmdspCredentials credentials{request.authentication.c_str(), nullptr, context};
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
