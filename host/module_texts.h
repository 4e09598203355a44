// How a module's values read as text, one rule each, for the tool's cells and
// mdspctl's table alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "module_record.h"

namespace pelmar {

// "%u.%u.%u.%u", first octet in the most significant byte.
std::string Ipv4Text(uint32_t address);
// "%02X-%02X-%02X-%02X-%02X-%02X".
std::string MacText(const uint8_t mac[6]);
// "02-00-00-00-10-01" or "02:00:00:00:10:01", one or two hex digits a byte,
// nothing before or after: how a MAC is typed, in a file or on the command
// line, and how MacText prints it.
bool ParseMacText(const std::string& text, uint8_t mac[6]);
// Dotted IPv4, each octet 0-255 in at most three digits, nothing before or
// after; the first octet goes into the most significant byte.
bool ParseIpv4Text(const std::string& text, uint32_t& address);
// "On" for any value but 0, "Off" for 0.
std::string DhcpText(uint8_t dhcp);
// A text-protocol module's version numbers: major.minor (two digits).build.
std::string TextModuleVersion(uint32_t major, uint32_t minor, uint32_t build);

// Texts as shown: module texts decoded (UTF-8 when well-formed, else
// Latin-1) into UTF-8; nothing for a value the module did not report.
// A secure module's Version and Type are its version and type texts (tags 1
// and 2); a text-protocol module's its three version numbers and its
// field-bus type text.
struct ModuleTexts {
  std::optional<std::string> ip, subnet, gateway, dhcp, version, type;
  std::string mac;  // "" when the library had none
};
ModuleTexts DescribeModule(const ModuleRecord& record);

}  // namespace pelmar
