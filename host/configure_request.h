// What a configure request changes and how it becomes the library's
// configure calls for either kind of module; and the passwords a module is
// sent. Used by mdspctl; the tool's configuration dialog always sends every
// field and builds its request in dialogs/configuration_flow.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "auth_answer.h"

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

// The password sent to authenticate and the new password value. A seeded
// text-protocol module (one that reported a seed, even a short or empty one)
// never sees a password: it gets the MD5 answer to its seed and a salted new
// value. Everyone else gets the texts as typed. False when a digest fails.
struct PasswordValues {
  std::string authentication;
  std::string newValue;
};
bool MakePasswordValues(bool seeded, const std::string& seed, const std::string& password,
                        bool changePassword, const std::string& newPassword,
                        const RandomSource& random, PasswordValues* out);

}  // namespace pelmar
