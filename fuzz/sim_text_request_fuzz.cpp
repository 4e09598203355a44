// The simulator's reading of text requests. It accepts only the exact texts
// the host writes, so an accepted request written out again in the host's
// form must give back the very bytes it was read from. A refusal always says
// why on one printable line. Accepted requests then go to a module.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "addresses.h"
#include "text_request.h"
#include "text_side.h"

using namespace mdspsim;

namespace {

std::string Rewrite(const TextRequest& r) {
  switch (r.kind) {
    case TextRequestKind::Scan: return std::string("MODULE SCAN") + '\0';
    case TextRequestKind::Wink: return "To: " + FormatMac(r.target) + ";WINK;" + '\0';
    case TextRequestKind::None: return {};
    case TextRequestKind::Configure: break;
  }
  const ConfigurePieces& p = r.configure;
  std::string out = "Configure: " + FormatMac(r.target) + ";";
  if (p.password) out += "Password: " + *p.password + ";";
  if (p.newPassword) out += "New Password = " + *p.newPassword + ";";
  if (p.ip) out += "IP = " + FormatDotted(*p.ip) + ";";
  if (p.subnet) out += "SN = " + FormatDotted(*p.subnet) + ";";
  if (p.gateway) out += "GW = " + FormatDotted(*p.gateway) + ";";
  if (p.dhcp) out += std::string("DHCP = ") + (*p.dhcp ? "ON" : "OFF") + ";";
  out += p.hostname.empty() ? "HN =;" : "HN = " + p.hostname + ";";
  if (p.dns1) out += "DNS1 = " + FormatDotted(*p.dns1) + ";";
  if (p.dns2) out += "DNS2 = " + FormatDotted(*p.dns2) + ";";
  return out + '\0';
}

SimModule MakeModule(bool seeded) {
  SimModule m;
  m.cfg.mac = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
  m.cfg.password = "secret";
  m.cfg.hasSeed = seeded;
  m.cfg.seed = seeded ? "ab1234" : "";
  PrepareTextModule(m);
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view datagram(reinterpret_cast<const char*>(data), size);
  std::string why;
  TextRequest request = ParseTextRequest(datagram, why);
  if (request.kind == TextRequestKind::None) {
    if (why.empty()) std::abort();
    for (char c : why)
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
        std::abort();
    return 0;
  }
  if (Rewrite(request) != datagram) std::abort();

  // A module reacts to what was accepted; a fresh one each time so that an
  // earlier input cannot change the password this one is checked against.
  SimModule plain = MakeModule(false);
  SimModule seeded = MakeModule(true);
  for (SimModule* m : {&plain, &seeded}) {
    Reaction reaction = HandleTextRequest(*m, request);
    for (const Bytes& reply : reaction.replies)
      if (reply.empty() || reply.back() != 0) std::abort();
  }
  return 0;
}
