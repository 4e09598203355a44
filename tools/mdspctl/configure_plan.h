// What `mdspctl configure` changes, read from the command line, and how it
// becomes the library's configure calls for either kind of module.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli_args.h"

namespace mdspctl {

struct ConfigurePlan {
  std::optional<uint32_t> ip, mask, gateway, dns1, dns2;
  std::optional<bool> dhcp;
  std::optional<std::string> hostName;
  bool newPassword = false;

  bool empty() const {
    return !ip && !mask && !gateway && !dns1 && !dns2 && !dhcp && !hostName && !newPassword;
  }
};

// False with a message for a malformed value or nothing to change. Host
// names take only A-Z, a-z, 0-9, '_' and '-' (anything else could end a piece
// of a text request); the module's own address may not end in .0 or .255,
// except 0.0.0.0 together with --dhcp on.
bool ReadConfigurePlan(const CommandLine& cli, ConfigurePlan& plan, std::string& error);

// What the chosen module allows: a text-protocol module reads
// 255.255.255.255 as "unchanged" and always gets a host name, so one that did
// not report its own needs --hostname. False with a message.
bool CheckPlanForModule(const ConfigurePlan& plan, bool secureModule, bool hostNameKnown,
                        std::string& error);

// A password sent as typed inside a text request: a ';' would end its piece.
bool CheckTextPassword(const std::string& password, const std::string& what,
                       std::string& error);

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
// ready (plain, or the salted value for a seeded text module).
std::vector<PayloadValue> PayloadValues(const ConfigurePlan& plan, bool secureModule,
                                        const std::string& currentHostName,
                                        const std::string& newPasswordValue);

// Longest value list one authenticated secure request carries.
inline constexpr size_t kMaxSecurePayload = 494;

// A secure request's values as TLVs: each text at most 255 bytes, all of them
// together (2 bytes of tag and length each) at most kMaxSecurePayload. False
// with a message.
bool CheckSecurePayload(const std::vector<PayloadValue>& values, std::string& error);

}  // namespace mdspctl
