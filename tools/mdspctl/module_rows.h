// One listed module as the scan shows it, read through the exported
// interface, and its table and JSON forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mdspctl {

struct ModuleRow {
  uint32_t index = 0;
  bool secure = false;
  std::string ip, sn, gw, dhcp, version, type, mac;
  std::string seed;  // text-protocol modules that hand out a password seed
  bool hostNameKnown = false;
  std::string hostName;
};

// Reads every column of the module at `index`; values the module did not
// report stay empty.
ModuleRow ReadModuleRow(uint32_t index);

// A 4-byte address value as stored in a module's TLV (least significant
// byte first, first octet most significant) in dotted form.
std::string AddressFromTlv(const uint8_t bytes[4]);

std::string FormatTable(const std::vector<ModuleRow>& rows);
std::string FormatJson(const std::vector<ModuleRow>& rows);
std::string JsonString(const std::string& text);

}  // namespace mdspctl
