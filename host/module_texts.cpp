#include "module_texts.h"

#include <cstdio>
#include <cstring>

#include "visible_text.h"

namespace pelmar {
namespace {

template <size_t N>
std::string Shown(const char (&field)[N]) {
  return display_text::ModuleTextAsUtf8(std::string(field, strnlen(field, N)));
}

}  // namespace

std::string Ipv4Text(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF,
                v & 0xFF);
  return text;
}

std::string MacText(const uint8_t m[6]) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", m[0], m[1], m[2], m[3], m[4],
                m[5]);
  return text;
}

bool ParseMacText(const std::string& text, uint8_t mac[6]) {
  unsigned v[6];
  if (std::sscanf(text.substr(0, 17).c_str(), "%x-%x-%x-%x-%x-%x", &v[0], &v[1], &v[2], &v[3],
                  &v[4], &v[5]) != 6)
    return false;
  for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(v[i] & 0xFF);
  return true;
}

std::string DhcpText(uint8_t dhcp) { return dhcp ? "On" : "Off"; }

std::string TextModuleVersion(uint32_t major, uint32_t minor, uint32_t build) {
  char text[40];
  std::snprintf(text, sizeof text, "%u.%02u.%u", major, minor, build);
  return text;
}

ModuleTexts DescribeModule(const ModuleRecord& r) {
  ModuleTexts t;
  if (r.ipValid) t.ip = Ipv4Text(r.ip);
  if (r.subnetValid) t.subnet = Ipv4Text(r.subnet);
  if (r.gatewayValid) t.gateway = Ipv4Text(r.gateway);
  if (r.dhcpValid) t.dhcp = DhcpText(r.dhcp);
  if (r.secure) {
    if (r.firmwareValid) t.version = Shown(r.firmwareText);
    if (r.productValid) t.type = Shown(r.productText);
  } else {
    if (r.versionValid) t.version = TextModuleVersion(r.versionMajor, r.versionMinor, r.versionBuild);
    if (r.typeValid) t.type = Shown(r.typeText);
  }
  if (r.macValid) t.mac = MacText(r.mac);
  return t;
}

}  // namespace pelmar
