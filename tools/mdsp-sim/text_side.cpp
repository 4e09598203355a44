#include "text_side.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "addresses.h"
#include "digests.h"

namespace mdspsim {
namespace {

Bytes WithNul(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

bool IsLowerHex(std::string_view text) {
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c)) && !(c >= 'a' && c <= 'f')) return false;
  }
  return true;
}

std::string SaltedHashOf(std::string_view salt, std::string_view password) {
  std::string input(salt);
  input += password;
  return std::string(salt) + Md5hexOfCText(input);
}

bool PasswordAccepted(const SimModule& module, const std::optional<std::string>& given) {
  if (!module.cfg.hasSeed) {
    // The host leaves the piece out for an empty password.
    return given ? *given == module.cfg.password : module.cfg.password.empty();
  }
  if (!given) return !ReportsPasswordSet(module);
  std::string expected = ExpectedChallengeAnswer(module.saltedHash, CurrentSeedText(module));
  return !expected.empty() && *given == expected;
}

}  // namespace

void PrepareTextModule(SimModule& module) {
  const ModuleConfig& c = module.cfg;
  if (!c.hasSeed) return;
  // Seeds shorter than 2 characters lend the salt their terminating NUL, as
  // the module's own formatting does.
  std::string salt(2, '\0');
  salt.replace(0, std::min<size_t>(c.seed.size(), 2), c.seed.substr(0, 2));
  module.saltedHash = SaltedHashOf(salt, c.password);
  module.seedTail = c.seed.size() > 2 ? c.seed.substr(2) : "";
  module.passwordSet = !c.password.empty();
  // Only the salted hash is kept, as a module would.
  module.cfg.password.clear();
}

std::string CurrentSeedText(const SimModule& module) {
  if (!module.cfg.hasSeed) return "";
  // A seed too short to carry the salt stays as it is.
  if (module.cfg.seed.size() < 2) return module.cfg.seed;
  return module.saltedHash.substr(0, 2) + module.seedTail;
}

bool ReportsPasswordSet(const SimModule& module) {
  if (module.cfg.passwordFlag >= 0) return module.cfg.passwordFlag != 0;
  if (!module.cfg.hasSeed) return !module.cfg.password.empty();
  return module.passwordSet;
}

Bytes BuildScanAnswer(const SimModule& module) {
  const ModuleConfig& c = module.cfg;
  if (c.faults.hasRawAnswer) return WithNul(c.faults.rawAnswer);
  std::string mac = FormatMac(c.mac);
  if (c.faults.malformed) {
    // Each value breaks a parse rule; the MAC stays readable so the module is
    // still listed.
    return WithNul("protocol version = 1;fb type = " + c.typeText +
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
  text += "ip = " + FormatDotted(c.ip) + ";";
  text += "sn = " + FormatDotted(c.subnet) + ";";
  text += "gw = " + FormatDotted(c.gateway) + ";";
  text += std::string("dhcp = ") + (c.dhcp ? "on" : "off") + ";";
  text += std::string("pswd = ") + (ReportsPasswordSet(module) ? "on" : "off") + ";";
  text += "hn = " + c.hostname + ";";
  text += "dns1 = " + FormatDotted(c.dns1) + ";";
  text += "dns2 = " + FormatDotted(c.dns2) + ";";
  if (c.hasSeed) text += "seed = " + CurrentSeedText(module) + ";";
  text += "kernel version = " + std::to_string(c.kernelMajor) + "." +
          std::to_string(c.kernelMinor) + "." + std::to_string(c.kernelBuild) + ";";
  if (c.faults.unsupported) text += "Unsupported;";
  return WithNul(text);
}

ConfigureOutcome ApplyTextConfigure(SimModule& module, const ConfigurePieces& p) {
  if (!PasswordAccepted(module, p.password)) return ConfigureOutcome::InvalidPassword;

  ModuleConfig next = module.cfg;
  std::string nextHash = module.saltedHash;
  bool nextPasswordSet = module.passwordSet;
  if (p.hostname.size() > next.maxHostname) return ConfigureOutcome::InvalidConfiguration;
  next.hostname = p.hostname;
  if (p.newPassword) {
    const std::string& v = *p.newPassword;
    if (!next.hasSeed) {
      if (v.size() > next.maxPassword) return ConfigureOutcome::InvalidConfiguration;
      next.password = v;
    } else {
      // A seeded module only ever sees salt + Md5hex(salt + password).
      if (v.size() != 34 || !IsLowerHex(std::string_view(v).substr(2)))
        return ConfigureOutcome::InvalidConfiguration;
      nextHash = v;
      nextPasswordSet = v != SaltedHashOf(v.substr(0, 2), "");
    }
    next.passwordFlag = -1;
  }
  if (p.ip) next.ip = *p.ip;
  if (p.subnet) next.subnet = *p.subnet;
  if (p.gateway) next.gateway = *p.gateway;
  if (p.dhcp) next.dhcp = *p.dhcp;
  if (p.dns1) next.dns1 = *p.dns1;
  if (p.dns2) next.dns2 = *p.dns2;
  KeepIgnoredFields(module.cfg, next);
  module.cfg = std::move(next);
  module.saltedHash = std::move(nextHash);
  module.passwordSet = nextPasswordSet;
  return ConfigureOutcome::Reconfigured;
}

Bytes NoticeFor(ConfigureOutcome outcome, const Mac& mac) {
  const char* prefix = outcome == ConfigureOutcome::Reconfigured      ? "Reconfigured: "
                       : outcome == ConfigureOutcome::InvalidPassword ? "Invalid Password: "
                                                                      : "Invalid Configuration: ";
  return WithNul(prefix + FormatMac(mac));
}

Reaction HandleTextRequest(SimModule& module, const TextRequest& request) {
  Reaction reaction;
  switch (request.kind) {
    case TextRequestKind::Scan: {
      Bytes answer = BuildScanAnswer(module);
      for (uint32_t i = 0; i < module.cfg.faults.repeat; ++i) reaction.replies.push_back(answer);
      break;
    }
    case TextRequestKind::Wink:
      reaction.event = "wink";
      break;
    case TextRequestKind::Configure: {
      ConfigureOutcome outcome = ApplyTextConfigure(module, request.configure);
      reaction.event = outcome == ConfigureOutcome::Reconfigured      ? "text-configure reconfigured"
                       : outcome == ConfigureOutcome::InvalidPassword ? "text-configure invalid-password"
                                                                      : "text-configure invalid-configuration";
      reaction.replies.push_back(NoticeFor(outcome, module.cfg.mac));
      break;
    }
    case TextRequestKind::None:
      break;
  }
  return reaction;
}

}  // namespace mdspsim
