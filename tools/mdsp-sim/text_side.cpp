#include "text_side.h"

#include <cctype>
#include <optional>
#include <vector>

#include "addresses.h"
#include "digests.h"

namespace mdspsim {
namespace {

Bytes withNul(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

bool isLowerHex(std::string_view text) {
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c)) && !(c >= 'a' && c <= 'f')) return false;
  }
  return true;
}

std::string saltedHashOf(std::string_view salt, std::string_view password) {
  std::string input(salt);
  input += password;
  return std::string(salt) + md5hex(input);
}

// Values of one configure request, each present only when its piece was.
struct ConfigurePieces {
  std::optional<std::string> password;
  std::optional<std::string> newPassword;
  std::optional<std::string> ip, subnet, gateway, dhcp, hostname, dns1, dns2;
  bool unknownPiece = false;
};

ConfigurePieces splitPieces(std::string_view pieces) {
  struct Key {
    std::string_view prefix;
    std::optional<std::string> ConfigurePieces::*field;
  };
  static const Key keys[] = {
      {"Password:", &ConfigurePieces::password},   {"New Password =", &ConfigurePieces::newPassword},
      {"IP =", &ConfigurePieces::ip},               {"SN =", &ConfigurePieces::subnet},
      {"GW =", &ConfigurePieces::gateway},          {"DHCP =", &ConfigurePieces::dhcp},
      {"HN =", &ConfigurePieces::hostname},         {"DNS1 =", &ConfigurePieces::dns1},
      {"DNS2 =", &ConfigurePieces::dns2},
  };
  ConfigurePieces result;
  while (!pieces.empty()) {
    size_t end = pieces.find(';');
    std::string_view piece = pieces.substr(0, end);
    pieces = end == std::string_view::npos ? std::string_view() : pieces.substr(end + 1);
    if (piece.empty()) continue;
    bool known = false;
    for (const Key& key : keys) {
      if (!startsWithNoCase(piece, key.prefix)) continue;
      std::string_view value = piece.substr(key.prefix.size());
      if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      result.*key.field = std::string(value);
      known = true;
      break;
    }
    if (!known) result.unknownPiece = true;
  }
  return result;
}

bool passwordAccepted(const SimModule& module, const std::optional<std::string>& given) {
  if (module.cfg.seed.empty()) {
    // The host leaves the piece out for an empty password.
    return given ? *given == module.cfg.password : module.cfg.password.empty();
  }
  if (!given) return !reportsPasswordSet(module);
  std::string expected = expectedChallengeAnswer(module.saltedHash, currentSeedText(module));
  return !expected.empty() && *given == expected;
}

bool parseAddress(const std::optional<std::string>& text, std::optional<uint32_t>& out) {
  if (!text) return true;
  uint32_t value = 0;
  if (!parseDotted(*text, value)) return false;
  out = value;
  return true;
}

}  // namespace

TextRequest classifyText(std::string_view text) {
  size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  TextRequest request;
  if (text == "MODULE SCAN") {
    request.kind = TextRequestKind::Scan;
    return request;
  }
  auto targeted = [&](std::string_view prefix, TextRequestKind kind) {
    if (!startsWithNoCase(text, prefix)) return false;
    std::string_view after = text.substr(prefix.size());
    size_t semi = after.find(';');
    if (semi == std::string_view::npos || !parseMac(after.substr(0, semi), request.target))
      return false;
    request.kind = kind;
    request.rest = after.substr(semi + 1);
    return true;
  };
  if (targeted("To: ", TextRequestKind::Wink)) {
    if (!equalsNoCase(request.rest, "WINK;")) request.kind = TextRequestKind::None;
    return request;
  }
  if (targeted("Configure: ", TextRequestKind::Configure)) return request;
  request.kind = TextRequestKind::None;
  return request;
}

bool prepareTextModule(SimModule& module, std::string& error) {
  const std::string& seed = module.cfg.seed;
  if (seed.empty()) return true;
  if (seed.size() < 2) {
    error = "a seed needs at least 2 characters (its first two are the password salt)";
    return false;
  }
  module.saltedHash = saltedHashOf(seed.substr(0, 2), module.cfg.password);
  module.seedTail = seed.substr(2);
  // Only the salted hash is kept, as a module would.
  module.cfg.password.clear();
  return true;
}

std::string currentSeedText(const SimModule& module) {
  if (module.cfg.seed.empty()) return "";
  return module.saltedHash.substr(0, 2) + module.seedTail;
}

bool reportsPasswordSet(const SimModule& module) {
  if (module.cfg.passwordFlag >= 0) return module.cfg.passwordFlag != 0;
  if (module.cfg.seed.empty()) return !module.cfg.password.empty();
  return module.saltedHash != saltedHashOf(module.saltedHash.substr(0, 2), "");
}

Bytes buildScanAnswer(const SimModule& module) {
  const ModuleConfig& c = module.cfg;
  if (c.faults.hasRawAnswer) return withNul(c.faults.rawAnswer);
  std::string mac = formatMac(c.mac);
  if (c.faults.malformed) {
    // Each value breaks a parse rule; the MAC stays readable so the module is
    // still listed.
    return withNul("protocol version = 1;fb type = " + c.typeText +
                   ";module version = 3.1;mac = " + mac +
                   ";ip = 192.168.0;sn = 255.255.300.0;gw = ;dhcp = yes;pswd = maybe;hn = " +
                   c.hostname + ";dns1 = 10.0.0;kernel version = x;");
  }
  std::string text;
  text += "protocol version = " + std::to_string(c.protocolMajor) + "." +
          std::to_string(c.protocolMinor) + ";";
  text += "fb type = " + c.typeText + ";";
  text += "module version = " + std::to_string(c.moduleMajor) + "." +
          std::to_string(c.moduleMinor) + "." + std::to_string(c.moduleBuild) + ";";
  text += "mac = " + mac + ";";
  text += "ip = " + formatDotted(c.ip) + ";";
  text += "sn = " + formatDotted(c.subnet) + ";";
  text += "gw = " + formatDotted(c.gateway) + ";";
  text += std::string("dhcp = ") + (c.dhcp ? "on" : "off") + ";";
  text += std::string("pswd = ") + (reportsPasswordSet(module) ? "on" : "off") + ";";
  text += "hn = " + c.hostname + ";";
  text += "dns1 = " + formatDotted(c.dns1) + ";";
  text += "dns2 = " + formatDotted(c.dns2) + ";";
  if (!c.seed.empty()) text += "seed = " + currentSeedText(module) + ";";
  text += "kernel version = " + std::to_string(c.kernelMajor) + "." +
          std::to_string(c.kernelMinor) + "." + std::to_string(c.kernelBuild) + ";";
  if (c.faults.unsupported) text += "Unsupported;";
  return withNul(text);
}

ConfigureOutcome applyTextConfigure(SimModule& module, std::string_view pieces) {
  ConfigurePieces p = splitPieces(pieces);
  if (!passwordAccepted(module, p.password)) return ConfigureOutcome::InvalidPassword;

  ModuleConfig next = module.cfg;
  std::string nextHash = module.saltedHash;
  std::optional<uint32_t> ip, subnet, gateway, dns1, dns2;
  if (p.unknownPiece || !parseAddress(p.ip, ip) || !parseAddress(p.subnet, subnet) ||
      !parseAddress(p.gateway, gateway) || !parseAddress(p.dns1, dns1) ||
      !parseAddress(p.dns2, dns2))
    return ConfigureOutcome::InvalidConfiguration;
  if (p.dhcp) {
    if (equalsNoCase(*p.dhcp, "ON"))
      next.dhcp = true;
    else if (equalsNoCase(*p.dhcp, "OFF"))
      next.dhcp = false;
    else
      return ConfigureOutcome::InvalidConfiguration;
  }
  if (p.hostname) {
    if (p.hostname->size() > next.maxHostname) return ConfigureOutcome::InvalidConfiguration;
    next.hostname = *p.hostname;
  }
  if (p.newPassword) {
    if (next.seed.empty()) {
      if (p.newPassword->size() > next.maxPassword) return ConfigureOutcome::InvalidConfiguration;
      next.password = *p.newPassword;
    } else {
      // A seeded module only ever sees salt + md5hex(salt + password).
      const std::string& v = *p.newPassword;
      if (v.size() != 34 || !isLowerHex(std::string_view(v).substr(2)))
        return ConfigureOutcome::InvalidConfiguration;
      nextHash = v;
    }
  }
  if (ip) next.ip = *ip;
  if (subnet) next.subnet = *subnet;
  if (gateway) next.gateway = *gateway;
  if (dns1) next.dns1 = *dns1;
  if (dns2) next.dns2 = *dns2;
  if (p.newPassword) next.passwordFlag = -1;
  module.cfg = std::move(next);
  module.saltedHash = std::move(nextHash);
  return ConfigureOutcome::Reconfigured;
}

Bytes noticeFor(ConfigureOutcome outcome, const Mac& mac) {
  const char* prefix = outcome == ConfigureOutcome::Reconfigured      ? "Reconfigured: "
                       : outcome == ConfigureOutcome::InvalidPassword ? "Invalid Password: "
                                                                      : "Invalid Configuration: ";
  return withNul(prefix + formatMac(mac));
}

Reaction handleTextRequest(SimModule& module, const TextRequest& request) {
  Reaction reaction;
  switch (request.kind) {
    case TextRequestKind::Scan: {
      Bytes answer = buildScanAnswer(module);
      for (uint32_t i = 0; i < module.cfg.faults.repeat; ++i) reaction.replies.push_back(answer);
      break;
    }
    case TextRequestKind::Wink:
      reaction.event = "wink";
      break;
    case TextRequestKind::Configure: {
      ConfigureOutcome outcome = applyTextConfigure(module, request.rest);
      reaction.event = outcome == ConfigureOutcome::Reconfigured      ? "text-configure reconfigured"
                       : outcome == ConfigureOutcome::InvalidPassword ? "text-configure invalid-password"
                                                                      : "text-configure invalid-configuration";
      reaction.replies.push_back(noticeFor(outcome, module.cfg.mac));
      break;
    }
    case TextRequestKind::None:
      break;
  }
  return reaction;
}

const char* textRequestName(TextRequestKind kind) {
  switch (kind) {
    case TextRequestKind::Scan: return "scan";
    case TextRequestKind::Wink: return "text_wink";
    case TextRequestKind::Configure: return "text_configure";
    case TextRequestKind::None: break;
  }
  return "none";
}

}  // namespace mdspsim
