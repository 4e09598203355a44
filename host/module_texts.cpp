#include "module_texts.h"

#include <algorithm>
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

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseMacText(const std::string& text, uint8_t mac[6]) {
  uint8_t read[6];
  size_t pos = 0;
  for (int i = 0; i < 6; ++i) {
    if (i > 0) {
      if (pos >= text.size() || (text[pos] != '-' && text[pos] != ':')) return false;
      ++pos;
    }
    int value = 0, digits = 0;
    while (pos < text.size() && digits < 2 && HexDigit(text[pos]) >= 0) {
      value = value * 16 + HexDigit(text[pos++]);
      ++digits;
    }
    if (digits == 0) return false;
    read[i] = static_cast<uint8_t>(value);
  }
  if (pos != text.size()) return false;
  std::copy(read, read + 6, mac);
  return true;
}

bool ParseIpv4Text(const std::string& text, uint32_t& address) {
  uint32_t result = 0;
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '.') return false;
      ++pos;
    }
    uint32_t octet = 0;
    int digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
      octet = octet * 10 + static_cast<uint32_t>(text[pos++] - '0');
      ++digits;
    }
    if (digits == 0 || octet > 255) return false;
    result = result << 8 | octet;
  }
  if (pos != text.size()) return false;
  address = result;
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
