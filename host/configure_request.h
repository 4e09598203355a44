// A configure request: what it changes, the rules its values must keep, the
// passwords the module is sent, and the library calls that stage it. One
// builder for the tool's configuration dialog (which changes every field)
// and for mdspctl configure (which changes what it is told).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "auth_answer.h"
#include "library_api.h"

namespace pelmar {

// Changes of one configure request; absent fields are not changed.
struct ConfigurePlan {
  std::optional<uint32_t> ip, mask, gateway, dns1, dns2;  // first octet most significant
  std::optional<bool> dhcp;
  std::optional<std::string> hostName;
  bool newPassword = false;

  bool empty() const {
    return !ip && !mask && !gateway && !dns1 && !dns2 && !dhcp && !hostName && !newPassword;
  }
};

// One library call of the request, in order: SMDSP_SetPayloadData when
// `isText` is false, SMDSP_SetPayloadString when true.
struct PayloadValue {
  int32_t tag;
  bool isText;
  uint8_t bytes[4];
  int32_t size;
  std::string text;
};

// A text-protocol module gets every field, since an absent one would be sent
// as 0.0.0.0 / DHCP off / no host name: addresses not changed go as
// "unchanged", DHCP as "omit", the host name as the module reported it. A
// secure module gets only the changes. The new password value is given
// ready (see MakePasswordValues).
std::vector<PayloadValue> PayloadValues(const ConfigurePlan& plan, bool secureModule,
                                        const std::string& currentHostName,
                                        const std::string& newPasswordValue);

// Longest value list one authenticated secure request carries.
inline constexpr size_t kMaxSecurePayload = 494;

// A secure request's values as TLVs: each text at most 255 bytes, all of them
// together (2 bytes of tag and length each) at most kMaxSecurePayload. False
// with a message.
bool CheckSecurePayload(const std::vector<PayloadValue>& values, std::string& error);

// Host names take only a-z, A-Z, 0-9, '_' and '-' (anything else could end
// a piece of a text request); the empty name passes.
bool IsLegalHostName(const std::string& name);

// A text-protocol module without a seed gets passwords as typed inside
// "...;" pieces of its request, so a ';' would end the piece early.
bool SemicolonBreaksPassword(bool secureModule, bool seeded, const std::string& password);

// How the passwords travel to one module. A seeded text-protocol module (one
// that reported a seed, even a short or empty one) never sees a password: it
// gets the MD5 answer to its seed and a salted new value.
struct PasswordRule {
  bool answerSeed = false;       // authenticate with the MD5 answer to `seed`
  bool saltNewPassword = false;  // send the new password salted
  std::string seed;
};
// The rule for a text-protocol module with or without a seed, or a secure one.
PasswordRule PasswordRuleFor(bool secureModule, bool seeded, const std::string& seed);

// The password sent to authenticate and the new password value; texts as
// typed where the rule does not say otherwise. False when a digest fails.
struct PasswordValues {
  std::string authentication;
  std::string newValue;
};
bool MakePasswordValues(const PasswordRule& rule, const std::string& password,
                        bool changePassword, const std::string& newPassword,
                        const RandomSource& random, PasswordValues* out);

// The values of one request and the text it is sent with.
struct ConfigureRequest {
  std::vector<PayloadValue> values;
  std::string authentication;
};
bool BuildConfigureRequest(const ConfigurePlan& plan, bool secureModule,
                           const std::string& currentHostName, const PasswordRule& rule,
                           const std::string& password, const std::string& newPassword,
                           const RandomSource& random, ConfigureRequest* out);

// Starts the module's pending request and passes the values in order,
// stopping at the first the library refuses (sending the rest would zero what
// was left out on a text-protocol module). Sends nothing.
struct StageResult {
  int32_t result = MDSP_RESULT_OK;      // the failing call's result
  const PayloadValue* refused = nullptr;  // null: the request could not be started
  bool ok() const { return result == MDSP_RESULT_OK; }
};
StageResult StageConfigureRequest(const LibraryApi& api, uint32_t moduleIndex,
                                  const std::vector<PayloadValue>& values);

}  // namespace pelmar
