// Parsing a module's text answer into an MdspResponse. Keys are found
// anywhere in the text, case-insensitively; a missing or malformed item only
// leaves its flag 0, it never rejects the answer.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/errors.h"
#include "base/log.h"
#include "text/text_protocol.h"

namespace mdsp {
namespace {

constexpr size_t kMaxText = 127;

// The protocol is ASCII: no locale may change what matches.
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const char* text, const char* key, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '\0' || Lower(text[i]) != Lower(key[i])) return false;
  }
  return true;
}

// Position right behind the first occurrence of key, or nullptr.
const char* FindKey(const char* text, const char* key) {
  size_t keyLength = std::strlen(key);
  char first = Lower(key[0]);
  for (const char* p = text; *p; ++p)
    if (Lower(*p) == first && SameIgnoringCase(p, key, keyLength)) return p + keyLength;
  return nullptr;
}

// An answer prepared for many key look-ups: lowered once, so each look-up
// is one plain substring search instead of a case-folding scan. It finds
// exactly what FindKey finds.
class AnswerText {
 public:
  explicit AnswerText(const char* text) : text_(text), length_(std::strlen(text)) {
    if (length_ > kMaxLowered) return;
    for (size_t i = 0; i < length_; ++i) lowered_[i] = Lower(text[i]);
  }
  const char* Find(const char* key) const {
    size_t keyLength = std::strlen(key);
    char loweredKey[kMaxKey];
    if (length_ > kMaxLowered || keyLength > kMaxKey || keyLength == 0) return FindKey(text_, key);
    for (size_t i = 0; i < keyLength; ++i) loweredKey[i] = Lower(key[i]);
    const void* at = ::memmem(lowered_, length_, loweredKey, keyLength);
    if (!at) return nullptr;
    return text_ + (static_cast<const char*>(at) - lowered_) + keyLength;
  }

 private:
  static constexpr size_t kMaxLowered = 1500;  // the largest datagram
  static constexpr size_t kMaxKey = 32;
  const char* text_;
  size_t length_;
  char lowered_[kMaxLowered];
};

const char* ValueOf(const AnswerText& text, const char* key) {
  const char* value = text.Find(key);
  if (!value) RecordError(ERR_NOT_FOUND);
  return value;
}

bool Malformed() {
  ReportError(ERR_BAD_VALUE);
  return false;
}

// Decimal with leading blanks and an optional sign; stops at the first other
// character (no digits gives 0). Wraps instead of overflowing: callers keep
// only the low bits anyway.
uint32_t Number(const char* p) {
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
  return negative ? 0u - value : value;
}

// The next "." from p within the current item. Items end at ";": a dot
// further on belongs to another key and must not complete this value.
const char* NextDot(const char* p) {
  for (; *p && *p != ';'; ++p)
    if (*p == '.') return p;
  return nullptr;
}

// Up to three dot-separated numbers behind the key; false (malformed) when
// a dot is missing. Numbers read before the fault are still stored.
bool Numbers(const char* value, uint32_t* out, int count) {
  out[0] = Number(value);
  const char* p = value;
  for (int i = 1; i < count; ++i) {
    const char* dot = NextDot(p);
    if (!dot) return false;
    p = dot + 1;
    out[i] = Number(p);
  }
  return true;
}

bool DottedAddress(const char* value, uint32_t* address) {
  uint32_t result = Number(value) & 0xFFu;
  const char* p = value;
  for (int i = 0; i < 3; ++i) {
    const char* dot = NextDot(p);
    if (!dot) return false;
    p = dot + 1;
    result = (result << 8) + (Number(p) & 0xFFu);
  }
  *address = result;
  return true;
}

void String(const char* value, char* out) {
  size_t length = 0;
  while (length < kMaxText && value[length] && value[length] != ';') ++length;
  std::memcpy(out, value, length);
  out[length] = '\0';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The plain form "XX-XX-XX-XX-XX-XX" (one or two digits a group), read
// without the scanner; false for anything else, which the scanner reads.
// It must agree with the scanner where it answers: so the last group may
// not be followed by what the scanner would read on (a digit, or the x of
// a 0x prefix).
bool PlainMac(const char* p, uint8_t out[6]) {
  uint8_t mac[6];
  for (int group = 0; group < 6; ++group) {
    if (group > 0 && *p++ != '-') return false;
    int high = HexDigit(*p);
    if (high < 0) return false;
    ++p;
    int low = HexDigit(*p);
    if (low >= 0) ++p;
    mac[group] = static_cast<uint8_t>(low >= 0 ? high * 16 + low : high);
  }
  if (HexDigit(*p) >= 0 || *p == 'x' || *p == 'X') return false;
  std::memcpy(out, mac, 6);
  return true;
}

bool Mac(const char* value, uint8_t mac[6]) {
  if (PlainMac(value, mac)) return true;
  unsigned int parts[6];
  if (std::sscanf(value, "%x-%x-%x-%x-%x-%x", &parts[0], &parts[1], &parts[2], &parts[3],
                  &parts[4], &parts[5]) != 6)
    return false;
  for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(parts[i]);
  return true;
}

bool OnOff(const char* value, uint8_t* on) {
  *on = 0;
  if (SameIgnoringCase(value, "off", 3)) return true;
  if (SameIgnoringCase(value, "on", 2)) {
    *on = 1;
    return true;
  }
  return false;
}

void ParseVersion2(const AnswerText& text, const char* key, uint8_t* major, uint8_t* minor,
                   uint8_t* valid) {
  const char* value = ValueOf(text, key);
  if (!value) return;
  uint32_t n[2] = {};
  bool ok = Numbers(value, n, 2);
  *major = static_cast<uint8_t>(n[0]);
  *minor = static_cast<uint8_t>(n[1]);
  if (ok) *valid = 1; else Malformed();
}

void ParseVersion3(const AnswerText& text, const char* key, uint8_t* major, uint8_t* minor,
                   uint16_t* build, uint8_t* valid) {
  const char* value = ValueOf(text, key);
  if (!value) return;
  uint32_t n[3] = {};
  bool ok = Numbers(value, n, 3);
  *major = static_cast<uint8_t>(n[0]);
  *minor = static_cast<uint8_t>(n[1]);
  *build = static_cast<uint16_t>(n[2]);
  if (ok) *valid = 1; else Malformed();
}

void ParseString(const AnswerText& text, const char* key, char* out, uint8_t* valid) {
  const char* value = ValueOf(text, key);
  if (!value) return;
  String(value, out);
  *valid = 1;
}

void ParseAddress(const AnswerText& text, const char* key, uint32_t* address, uint8_t* valid) {
  const char* value = ValueOf(text, key);
  if (!value) return;
  if (DottedAddress(value, address)) *valid = 1; else Malformed();
}

void ParseOnOff(const AnswerText& text, const char* key, uint8_t* on, uint8_t* valid) {
  const char* value = ValueOf(text, key);
  if (!value) return;
  if (OnOff(value, on)) *valid = 1; else Malformed();
}

}  // namespace

bool HasAnswerKey(const char* text) {
  // Every key ParseAnswerHead and ParseAnswerTail read, and the marker.
  static constexpr const char* kKeys[] = {
      "protocol version = ", "fb type = ", "module version = ", "mac = ", "ip = ", "sn = ",
      "gw = ", "dhcp = ", "pswd = ", "hn = ", "dns1 = ", "dns2 = ", "seed = ",
      "kernel version = ", "Unsupported"};
  AnswerText answer(text);
  for (const char* key : kKeys)
    if (answer.Find(key)) return true;
  return false;
}

bool StartsWithIgnoringCase(const char* text, const char* prefix) {
  return SameIgnoringCase(text, prefix, std::strlen(prefix));
}

void ParseAnswerHead(const char* answer, MdspResponse& r) {
  const AnswerText text(answer);
  ParseVersion2(text, "protocol version = ", &r.protocolVersionMajor, &r.protocolVersionMinor,
                &r.protocolVersionValid);
  ParseString(text, "fb type = ", r.fieldBusType, &r.fieldBusTypeValid);
  ParseVersion3(text, "module version = ", &r.moduleVersionMajor, &r.moduleVersionMinor,
                &r.moduleVersionBuild, &r.moduleVersionValid);
  const char* mac = ValueOf(text, "mac = ");
  if (mac) {
    if (Mac(mac, r.mac)) r.macValid = 1; else Malformed();
  }
}

void ParseAnswerTail(const char* answer, MdspResponse& r, bool* unsupported) {
  const AnswerText text(answer);
  ParseAddress(text, "ip = ", &r.ip, &r.ipValid);
  ParseAddress(text, "sn = ", &r.subnetMask, &r.subnetMaskValid);
  ParseAddress(text, "gw = ", &r.gateway, &r.gatewayValid);
  ParseOnOff(text, "dhcp = ", &r.dhcpOn, &r.dhcpValid);
  ParseOnOff(text, "pswd = ", &r.passwordSet, &r.passwordValid);
  ParseString(text, "hn = ", r.hostName, &r.hostNameValid);
  ParseAddress(text, "dns1 = ", &r.dns1, &r.dns1Valid);
  ParseAddress(text, "dns2 = ", &r.dns2, &r.dns2Valid);
  ParseString(text, "seed = ", r.seed, &r.seedValid);
  ParseVersion3(text, "kernel version = ", &r.kernelVersionMajor, &r.kernelVersionMinor,
                &r.kernelVersionBuild, &r.kernelVersionValid);
  *unsupported = text.Find("Unsupported") != nullptr;
}

bool IsWinkRequest(const char* text) {
  if (!SameIgnoringCase(text, "To: ", 4)) return false;
  const char* p = text + 4;
  for (int group = 0; group < 6; ++group) {
    if (group > 0 && *p++ != '-') return false;
    int digits = 0;
    while (digits < 2 && std::isxdigit(static_cast<unsigned char>(*p))) ++p, ++digits;
    if (digits == 0) return false;
  }
  return SameIgnoringCase(p, ";WINK;", 6);
}

}  // namespace mdsp
