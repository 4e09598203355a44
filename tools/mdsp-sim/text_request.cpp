#include "text_request.h"

#include "addresses.h"

namespace mdspsim {
namespace {

constexpr size_t kMacTextSize = 17;  // "02-00-00-12-34-AB"
constexpr size_t kQuoteMax = 40;     // of a refused text in the log

// For the log line: one line, printable, not too long.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size() && i < kQuoteMax; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
  }
  if (text.size() > kQuoteMax) out += "...";
  return out + "\"";
}

// Only the upper-case two-digit form the host writes.
bool ReadExactMac(std::string_view text, Mac& out) {
  return text.size() == kMacTextSize && ParseMac(text, out) && FormatMac(out) == text;
}

// Only the plain decimal form the host writes ("%u.%u.%u.%u").
bool ReadExactDotted(std::string_view text, uint32_t& out) {
  return ParseDotted(text, out) && FormatDotted(out) == text;
}

// Takes "<prefix><value>;" from the front of `rest` when it starts with
// `prefix`; the value runs to the next ';'. False when the piece is not next.
bool TakePiece(std::string_view& rest, std::string_view prefix, std::string_view& value) {
  if (rest.substr(0, prefix.size()) != prefix) return false;
  size_t semi = rest.find(';', prefix.size());
  if (semi == std::string_view::npos) return false;
  value = rest.substr(prefix.size(), semi - prefix.size());
  rest.remove_prefix(semi + 1);
  return true;
}

bool TakeAddress(std::string_view& rest, std::string_view prefix, std::optional<uint32_t>& out,
                 std::string& why) {
  std::string_view value;
  if (!TakePiece(rest, prefix, value)) return true;
  uint32_t address = 0;
  if (!ReadExactDotted(value, address)) {
    why = "configure value " + std::string(prefix) + Quoted(value);
    return false;
  }
  out = address;
  return true;
}

// The pieces after "Configure: MAC;", each optional but in this order, the
// host name piece required.
bool ReadConfigurePieces(std::string_view rest, ConfigurePieces& p, std::string& why) {
  std::string_view value;
  if (TakePiece(rest, "Password: ", value)) {
    if (value.empty()) {
      why = "configure empty Password piece";  // the host leaves it out instead
      return false;
    }
    p.password = std::string(value);
  }
  if (TakePiece(rest, "New Password = ", value)) p.newPassword = std::string(value);
  if (!TakeAddress(rest, "IP = ", p.ip, why) || !TakeAddress(rest, "SN = ", p.subnet, why) ||
      !TakeAddress(rest, "GW = ", p.gateway, why))
    return false;
  if (TakePiece(rest, "DHCP = ", value)) {
    if (value != "ON" && value != "OFF") {
      why = "configure value DHCP = " + Quoted(value);
      return false;
    }
    p.dhcp = value == "ON";
  }
  std::string_view afterHostname = rest;
  if (rest.substr(0, 5) == "HN =;") {
    rest.remove_prefix(5);
  } else if (TakePiece(afterHostname, "HN = ", value) && !value.empty()) {
    p.hostname = std::string(value);
    rest = afterHostname;
  } else {
    // An empty host name is written "HN =;", never "HN = ;".
    why = "configure no HN piece at " + Quoted(rest);
    return false;
  }
  if (!TakeAddress(rest, "DNS1 = ", p.dns1, why) || !TakeAddress(rest, "DNS2 = ", p.dns2, why))
    return false;
  if (!rest.empty()) {
    why = "configure unexpected " + Quoted(rest);
    return false;
  }
  return true;
}

}  // namespace

TextRequest ParseTextRequest(std::string_view datagram, std::string& why) {
  TextRequest request;
  size_t nul = datagram.find('\0');
  if (nul == std::string_view::npos) {
    why = "no NUL " + Quoted(datagram);
    return request;
  }
  std::string_view text = datagram.substr(0, nul);
  if (nul + 1 != datagram.size()) {
    why = std::to_string(datagram.size() - nul - 1) + " bytes after the NUL " + Quoted(text);
    return request;
  }
  if (text == "MODULE SCAN") {
    request.kind = TextRequestKind::Scan;
    return request;
  }
  if (text.substr(0, 4) == "To: ") {
    if (text.size() != 4 + kMacTextSize + 6 ||
        !ReadExactMac(text.substr(4, kMacTextSize), request.target) ||
        text.substr(4 + kMacTextSize) != ";WINK;") {
      why = "wink " + Quoted(text);
      return request;
    }
    request.kind = TextRequestKind::Wink;
    return request;
  }
  if (text.substr(0, 11) == "Configure: ") {
    if (text.size() < 11 + kMacTextSize + 1 ||
        !ReadExactMac(text.substr(11, kMacTextSize), request.target) ||
        text[11 + kMacTextSize] != ';') {
      why = "configure target " + Quoted(text);
      return request;
    }
    if (!ReadConfigurePieces(text.substr(11 + kMacTextSize + 1), request.configure, why))
      return request;
    request.kind = TextRequestKind::Configure;
    return request;
  }
  why = "not a request " + Quoted(text);
  return request;
}

const char* TextRequestName(TextRequestKind kind) {
  switch (kind) {
    case TextRequestKind::Scan: return "scan";
    case TextRequestKind::Wink: return "text_wink";
    case TextRequestKind::Configure: return "text_configure";
    case TextRequestKind::None: break;
  }
  return "none";
}

}  // namespace mdspsim
