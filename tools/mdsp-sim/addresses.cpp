#include "addresses.h"

#include <cctype>
#include <cstdio>

namespace mdspsim {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseMac(std::string_view text, Mac& out) {
  size_t pos = 0;
  for (size_t i = 0; i < 6; ++i) {
    int value = 0;
    size_t digits = 0;
    while (pos < text.size() && digits < 3 && HexDigit(text[pos]) >= 0) {
      value = value * 16 + HexDigit(text[pos++]);
      ++digits;
    }
    if (digits == 0 || digits > 2) return false;
    out[i] = static_cast<uint8_t>(value);
    if (i < 5) {
      if (pos >= text.size() || text[pos] != '-') return false;
      ++pos;
    }
  }
  return pos == text.size();
}

std::string FormatMac(const Mac& mac) {
  char buf[18];
  std::snprintf(buf, sizeof buf, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
  return buf;
}

bool ParseDotted(std::string_view text, uint32_t& out) {
  uint32_t value = 0;
  size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    uint32_t number = 0;
    size_t digits = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
      number = number * 10 + static_cast<uint32_t>(text[pos++] - '0');
      if (++digits > 3) return false;
    }
    if (digits == 0 || number > 255) return false;
    value = (value << 8) | number;
    if (part < 3) {
      if (pos >= text.size() || text[pos] != '.') return false;
      ++pos;
    }
  }
  if (pos != text.size()) return false;
  out = value;
  return true;
}

std::string FormatDotted(uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", value >> 24, (value >> 16) & 0xFF,
                (value >> 8) & 0xFF, value & 0xFF);
  return buf;
}

std::string ToHex(const uint8_t* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    text += digits[data[i] >> 4];
    text += digits[data[i] & 0x0F];
  }
  return text;
}

bool FromHex(std::string_view text, Bytes& out) {
  if (text.size() % 2 != 0) return false;
  Bytes bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = HexDigit(text[i]);
    int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  out = std::move(bytes);
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

}  // namespace mdspsim
