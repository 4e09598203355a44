#include "configure_request.h"

#include "mdsp.h"

namespace pelmar {
namespace {

PayloadValue Address(int32_t tag, uint32_t value) {
  // The library takes the 32-bit value as it lies in memory, least
  // significant byte first.
  PayloadValue v{tag, false, {}, 4, {}};
  for (int i = 0; i < 4; ++i) v.bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return v;
}

const char* ValueName(int32_t tag) {
  switch (tag) {
    case SMDSP_CONFIGURE_TAG_HOST_NAME: return "host name";
    case SMDSP_CONFIGURE_TAG_PASSWORD: return "new password";
    default: return "value";
  }
}

}  // namespace

std::vector<PayloadValue> PayloadValues(const ConfigurePlan& plan, bool secureModule,
                                        const std::string& currentHostName,
                                        const std::string& newPasswordValue) {
  std::vector<PayloadValue> values;
  // The five addresses are configure tags 0 to 4, in this order.
  const std::optional<uint32_t>* addresses[5] = {&plan.ip, &plan.mask, &plan.gateway, &plan.dns1,
                                                 &plan.dns2};
  static_assert(SMDSP_CONFIGURE_TAG_IP == 0 && SMDSP_CONFIGURE_TAG_DNS2 == 4);
  for (int32_t tag = SMDSP_CONFIGURE_TAG_IP; tag <= SMDSP_CONFIGURE_TAG_DNS2; ++tag) {
    if (*addresses[tag])
      values.push_back(Address(tag, **addresses[tag]));
    else if (!secureModule)
      values.push_back(Address(tag, MDSP_ADDRESS_UNCHANGED));
  }
  if (plan.dhcp || !secureModule) {
    // 2 is neither off nor on: the text request leaves DHCP out.
    uint8_t dhcp = plan.dhcp ? (*plan.dhcp ? 1 : 0) : 2;
    values.push_back(PayloadValue{SMDSP_CONFIGURE_TAG_DHCP, false, {dhcp}, 1, {}});
  }
  if (plan.newPassword) values.push_back(PayloadValue{SMDSP_CONFIGURE_TAG_PASSWORD, true, {}, 0, newPasswordValue});
  if (plan.hostName)
    values.push_back(PayloadValue{SMDSP_CONFIGURE_TAG_HOST_NAME, true, {}, 0, *plan.hostName});
  else if (!secureModule)
    values.push_back(PayloadValue{SMDSP_CONFIGURE_TAG_HOST_NAME, true, {}, 0, currentHostName});
  return values;
}

bool CheckSecurePayload(const std::vector<PayloadValue>& values, std::string& error) {
  size_t total = 0;
  for (const PayloadValue& v : values) {
    size_t length = v.isText ? v.text.size() : static_cast<size_t>(v.size);
    if (length > 255) {
      error = std::string(ValueName(v.tag)) + " too long for a secure module (at most 255 "
                                              "characters)";
      return false;
    }
    total += 2 + length;
  }
  if (total > kMaxSecurePayload) {
    error = "request too long: " + std::to_string(total) + " bytes of values, a secure module "
            "takes at most " + std::to_string(kMaxSecurePayload);
    return false;
  }
  return true;
}

bool IsLegalHostName(const std::string& name) {
  for (unsigned char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
          c == '_' || c == '-'))
      return false;
  return true;
}

bool SemicolonBreaksPassword(bool secureModule, bool seeded, const std::string& password) {
  return !secureModule && !seeded && password.find(';') != std::string::npos;
}

PasswordRule PasswordRuleFor(bool secureModule, bool seeded, const std::string& seed) {
  const bool answer = !secureModule && seeded;
  return PasswordRule{answer, answer, seed};
}

bool MakePasswordValues(const PasswordRule& rule, const std::string& password,
                        bool changePassword, const std::string& newPassword,
                        const RandomSource& random, PasswordValues* out) {
  out->authentication = password;
  out->newValue = newPassword;
  if (rule.answerSeed) {
    char answer[kMd5HexLength + 1];
    if (!AuthAnswer(rule.seed.c_str(), password.c_str(), answer)) return false;
    out->authentication = answer;
  }
  if (changePassword && rule.saltNewPassword) {
    char salted[kNewPasswordValueLength + 1];
    if (!NewPasswordValue(newPassword.c_str(), random, salted)) return false;
    out->newValue = salted;
  }
  return true;
}

bool BuildConfigureRequest(const ConfigurePlan& plan, bool secureModule,
                           const std::string& currentHostName, const PasswordRule& rule,
                           const std::string& password, const std::string& newPassword,
                           const RandomSource& random, ConfigureRequest* out) {
  PasswordValues passwords;
  if (!MakePasswordValues(rule, password, plan.newPassword, newPassword, random, &passwords))
    return false;
  out->values = PayloadValues(plan, secureModule, currentHostName, passwords.newValue);
  out->authentication = passwords.authentication;
  return true;
}

StageResult StageConfigureRequest(const LibraryApi& api, uint32_t moduleIndex,
                                  const std::vector<PayloadValue>& values) {
  StageResult stage;
  stage.result = api.SMDSP_CreateConfigureRequest(moduleIndex);
  if (!stage.ok()) return stage;
  for (const PayloadValue& v : values) {
    stage.result = v.isText ? api.SMDSP_SetPayloadString(v.tag, v.text.c_str())
                            : api.SMDSP_SetPayloadData(v.tag, v.bytes, v.size);
    if (!stage.ok()) {
      stage.refused = &v;
      return stage;
    }
  }
  return stage;
}

}  // namespace pelmar
