#include "simulator.h"

#include <string_view>

#include "addresses.h"
#include "secure_side.h"
#include "text_side.h"

namespace mdspsim {

bool LooksLikeRequest(const uint8_t* data, size_t size) {
  SecureRequest secure;
  SecureParse parsed = ParseSecureRequest(data, size, secure);
  if (parsed != SecureParse::NotSecure) return parsed != SecureParse::Reply;
  std::string why;
  return ParseTextRequest(std::string_view(reinterpret_cast<const char*>(data), size), why).kind !=
         TextRequestKind::None;
}

Simulator::Simulator(std::vector<SimModule> modules, SeedSource seeds, uint32_t seedDelayMs)
    : modules_(std::move(modules)), seeds_(std::move(seeds)), seedDelayMs_(seedDelayMs) {}

bool Simulator::WillAnswer(const SimModule& module, const char* kind, uint64_t nowMs,
                           std::vector<std::string>& notes) const {
  const Faults& faults = module.cfg.faults;
  std::string who = "event " + FormatMac(module.cfg.mac) + " ";
  if (faults.silent) {
    notes.push_back(who + "silent " + kind);
    return false;
  }
  if (nowMs < module.silentUntilMs) {
    notes.push_back(who + "restarting " + kind);
    return false;
  }
  if (faults.ignore.count(kind)) {
    notes.push_back(who + "ignored " + kind);
    return false;
  }
  return true;
}

void Simulator::Emit(SimModule& module, Reaction&& reaction, const Endpoint& from, uint64_t nowMs,
                     uint32_t extraDelayMs, std::vector<Outgoing>& out,
                     std::vector<std::string>& notes) {
  if (!reaction.event.empty())
    notes.push_back("event " + FormatMac(module.cfg.mac) + " " + reaction.event);
  Endpoint to = module.cfg.replyUnicast ? from : Endpoint{kBroadcastIp, kPort};
  for (Bytes& data : reaction.replies)
    out.push_back(Outgoing{std::move(data), to, nowMs + module.cfg.faults.delayMs + extraDelayMs});
  if (reaction.restart) {
    // A restarted module forgets its seed and is away for a while.
    module.seedHandedOut = false;
    module.silentUntilMs = nowMs + module.cfg.faults.restartSilenceMs;
  }
}

void Simulator::Handle(const uint8_t* data, size_t size, const Endpoint& from, uint64_t nowMs,
                       std::vector<Outgoing>& out, std::vector<std::string>& notes) {
  SecureRequest secure;
  SecureParse parsed = ParseSecureRequest(data, size, secure);
  if (parsed == SecureParse::Reply) return;  // a module's answer, maybe our own
  if (parsed != SecureParse::NotSecure) {
    if (parsed != SecureParse::Ok) {
      notes.push_back("drop secure " + SecureDropReason(parsed, secure));
      return;
    }
    for (SimModule& module : modules_) {
      if (!module.cfg.speaksSecure || !AddressedTo(module, secure)) continue;
      if (!WillAnswer(module, SecureTypeName(secure.type), nowMs, notes)) continue;
      uint32_t extraDelayMs = secure.type == kAuthentication ? seedDelayMs_ : 0;
      Emit(module, HandleSecureRequest(module, secure, seeds_), from, nowMs, extraDelayMs, out,
           notes);
    }
    return;
  }

  std::string why;
  TextRequest request =
      ParseTextRequest(std::string_view(reinterpret_cast<const char*>(data), size), why);
  if (request.kind == TextRequestKind::None) {
    // A module acts only on the host's three texts as the host writes them.
    notes.push_back("drop text " + why);
    return;
  }
  for (SimModule& module : modules_) {
    if (!module.cfg.speaksText) continue;
    if (request.kind != TextRequestKind::Scan && request.target != module.cfg.mac) continue;
    if (!WillAnswer(module, TextRequestName(request.kind), nowMs, notes)) continue;
    Emit(module, HandleTextRequest(module, request), from, nowMs, 0, out, notes);
  }
}

}  // namespace mdspsim
