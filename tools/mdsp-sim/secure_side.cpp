#include "secure_side.h"

#include <cstring>
#include <string_view>

#include "addresses.h"
#include "text_side.h"

namespace mdspsim {
namespace {

const Mac kBroadcastMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

void AppendTlv(Bytes& out, uint8_t tag, const uint8_t* value, size_t size) {
  if (size > 255) size = 255;
  out.push_back(tag);
  out.push_back(static_cast<uint8_t>(size));
  out.insert(out.end(), value, value + size);
}

void AppendText(Bytes& out, uint8_t tag, const std::string& text) {
  AppendTlv(out, tag, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void appendByte(Bytes& out, uint8_t tag, uint8_t value) { AppendTlv(out, tag, &value, 1); }

void AppendAddress(Bytes& out, uint8_t tag, uint32_t address) {
  // Least significant byte first: 192.168.0.10 goes out as 0A 00 A8 C0.
  uint8_t value[4] = {static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
                      static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 24)};
  AppendTlv(out, tag, value, 4);
}

uint32_t ReadAddress(const uint8_t* value) {
  return static_cast<uint32_t>(value[0]) | static_cast<uint32_t>(value[1]) << 8 |
         static_cast<uint32_t>(value[2]) << 16 | static_cast<uint32_t>(value[3]) << 24;
}

std::string_view AsText(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

Bytes statusByte(uint8_t status) { return Bytes{status}; }

}  // namespace

const char* SecureParseName(SecureParse result) {
  switch (result) {
    case SecureParse::Ok: return "ok";
    case SecureParse::NotSecure: return "not-secure";
    case SecureParse::Reply: return "reply";
    case SecureParse::TooShort: return "too-short";
    case SecureParse::TooLong: return "too-long";
    case SecureParse::Flags: return "flags";
    case SecureParse::PastEnd: return "length-past-end";
    case SecureParse::BytesPastLength: return "bytes-past-length";
    case SecureParse::UnknownType: return "unknown-type";
    case SecureParse::NoAuthBlock: return "no-auth-block";
    case SecureParse::PayloadSize: return "payload-size";
    case SecureParse::BadTlv: return "bad-tlv";
  }
  return "?";
}

std::string SecureDropReason(SecureParse result, const SecureRequest& request) {
  std::string reason = SecureParseName(result);
  switch (result) {
    case SecureParse::Flags:
      return reason + " " + ToHex(&request.flags, 1);
    case SecureParse::UnknownType:
      return reason + " " + std::to_string(request.type);
    case SecureParse::NoAuthBlock:
    case SecureParse::PayloadSize:
      return reason + " " + SecureTypeName(request.type) + " " + std::to_string(request.length);
    default:
      return reason;
  }
}

bool IsAuthenticatedType(uint8_t type) {
  return type == kConfigure || type == kWink || type == kRestart || type == kPing;
}

const char* SecureTypeName(uint8_t type) {
  switch (type) {
    case kDiscover: return "discover";
    case kAuthentication: return "authentication";
    case kConfigure: return "configure";
    case kWink: return "wink";
    case kRestart: return "restart";
    case kMassRestart: return "mass_restart";
    case kPing: return "ping";
  }
  return "unknown";
}

SecureParse ParseSecureRequest(const uint8_t* data, size_t size, SecureRequest& out) {
  if (size < 2 || data[0] != 0xC1 || data[1] != 0xAB) return SecureParse::NotSecure;
  if (size < kHeaderSize) return SecureParse::TooShort;
  if (size > kMaxDatagram) return SecureParse::TooLong;
  std::memcpy(out.destination.data(), data + 2, 6);
  std::memcpy(out.source.data(), data + 8, 6);
  out.flags = data[14];
  out.type = data[15];
  out.length = static_cast<uint16_t>(data[16] | data[17] << 8);
  if (out.flags & kFlagReply) return SecureParse::Reply;
  if (out.flags != 0) return SecureParse::Flags;
  if (out.length > size - kHeaderSize) return SecureParse::PastEnd;
  if (out.length < size - kHeaderSize) return SecureParse::BytesPastLength;
  if (std::string_view(SecureTypeName(out.type)) == "unknown") return SecureParse::UnknownType;
  const uint8_t* body = data + kHeaderSize;
  size_t bodySize = out.length;
  out.authenticated = IsAuthenticatedType(out.type);
  if (out.authenticated) {
    if (bodySize < kAuthBlockSize) return SecureParse::NoAuthBlock;
    std::memcpy(out.seed.data(), body, 4);
    std::memcpy(out.digest.data(), body + 4, 32);
    body += kAuthBlockSize;
    bodySize -= kAuthBlockSize;
  }
  out.payload.assign(body, body + bodySize);
  switch (out.type) {
    case kWink:
    case kRestart:
      if (bodySize != 1) return SecureParse::PayloadSize;
      break;
    case kConfigure:
      if (!TlvSequenceWellFormed(out.payload)) return SecureParse::BadTlv;
      break;
    default:
      if (bodySize != 0) return SecureParse::PayloadSize;
      break;
  }
  return SecureParse::Ok;
}

bool TlvSequenceWellFormed(const Bytes& payload) {
  size_t pos = 0;
  while (pos < payload.size()) {
    if (payload.size() - pos < 2) return false;
    size_t size = payload[pos + 1];
    if (size > payload.size() - pos - 2) return false;
    pos += 2 + size;
  }
  return true;
}

Bytes BuildSecureReply(uint8_t type, const Mac& destination, const Mac& source, bool withStatus,
                       const Bytes& payload) {
  Bytes out;
  out.reserve(kHeaderSize + payload.size());
  out.push_back(0xC1);
  out.push_back(0xAB);
  out.insert(out.end(), destination.begin(), destination.end());
  out.insert(out.end(), source.begin(), source.end());
  out.push_back(static_cast<uint8_t>(kFlagReply | (withStatus ? kFlagStatus : 0)));
  out.push_back(type);
  out.push_back(static_cast<uint8_t>(payload.size()));
  out.push_back(static_cast<uint8_t>(payload.size() >> 8));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

Bytes DiscoverPayload(const SimModule& module) {
  const ModuleConfig& c = module.cfg;
  if (c.faults.hasRawDiscoverPayload) return c.faults.rawDiscoverPayload;
  Bytes out;
  appendByte(out, 0, ReportsPasswordSet(module) ? 1 : 0);
  AppendText(out, 1, c.versionText);
  AppendText(out, 2, c.typeText);
  AppendAddress(out, 4, c.ip);
  AppendAddress(out, 5, c.subnet);
  AppendAddress(out, 6, c.gateway);
  AppendAddress(out, 7, c.dns1);
  AppendAddress(out, 8, c.dns2);
  appendByte(out, 9, c.dhcp ? 1 : 0);
  AppendText(out, 10, c.hostname);
  if (c.faults.malformed) {
    // Last item claims more bytes than the datagram holds.
    const uint8_t partial[] = {'c', 'u', 't'};
    out.push_back(10);
    out.push_back(200);
    out.insert(out.end(), partial, partial + sizeof partial);
  }
  return out;
}

bool AddressedTo(const SimModule& module, const SecureRequest& request) {
  if (request.destination == module.cfg.mac) return true;
  return (request.type == kDiscover || request.type == kMassRestart) &&
         request.destination == kBroadcastMac;
}

bool DigestValid(const SimModule& module, const SecureRequest& request) {
  if (!module.seedHandedOut || request.seed != module.lastSeed) return false;
  Digest32 expected{};
  if (!Blake2s256({module.cfg.password, AsText(request.seed.data(), 4),
                   AsText(request.payload.data(), request.payload.size())},
                  expected))
    return false;
  return expected == request.digest;
}

int ApplySecureConfigure(SimModule& module, const Bytes& payload) {
  ModuleConfig next = module.cfg;
  bool seen[8] = {};
  size_t pos = 0;
  while (pos < payload.size()) {
    if (payload.size() - pos < 2) return kStatusInvalidConfiguration;
    uint8_t tag = payload[pos];
    size_t size = payload[pos + 1];
    const uint8_t* value = payload.data() + pos + 2;
    if (size > payload.size() - pos - 2) return kStatusInvalidConfiguration;
    pos += 2 + size;
    if (tag > 7) continue;  // not ours: passed through, nothing to apply
    if (seen[tag]) continue;  // the first of duplicates counts, as on lookup
    seen[tag] = true;
    if (tag <= 4) {
      if (size != 4) return kStatusInvalidConfiguration;
      uint32_t* fields[] = {&next.ip, &next.subnet, &next.gateway, &next.dns1, &next.dns2};
      *fields[tag] = ReadAddress(value);
    } else if (tag == 5) {
      if (size != 1 || value[0] > 1) return kStatusInvalidConfiguration;
      next.dhcp = value[0] == 1;
    } else if (tag == 6) {
      if (size > next.maxHostname) return kStatusHostnameTooLong;
      next.hostname.assign(AsText(value, size));
    } else {
      if (size > next.maxPassword) return kStatusPasswordTooLong;
      next.password.assign(AsText(value, size));
      next.passwordFlag = -1;
    }
  }
  KeepIgnoredFields(module.cfg, next);
  module.cfg = std::move(next);
  return -1;
}

Reaction HandleSecureRequest(SimModule& module, const SecureRequest& request,
                             const SeedSource& seeds) {
  Reaction reaction;
  const Mac& mac = module.cfg.mac;
  const Faults& faults = module.cfg.faults;
  auto reply = [&](uint8_t type, bool withStatus, const Bytes& payload) {
    reaction.replies.push_back(BuildSecureReply(type, request.source, mac, withStatus, payload));
  };

  if (request.authenticated) {
    // A seed answers one request, whatever its digest; the next request
    // needs a fresh Authentication.
    bool valid = DigestValid(module, request);
    module.seedHandedOut = false;
    if (!valid) {
      reaction.event = std::string("bad-digest ") + SecureTypeName(request.type);
      reply(request.type, true, statusByte(kStatusBadDigest));
      return reaction;
    }
  }
  switch (request.type) {
    case kDiscover: {
      Bytes payload = DiscoverPayload(module);
      for (uint32_t i = 0; i < faults.repeat; ++i) reply(kDiscover, false, payload);
      return reaction;
    }
    case kAuthentication: {
      if (faults.authenticationStatus >= 0) {
        // A refusal hands out no seed; one handed out before stays valid.
        reaction.event =
            "authentication refused status=" + std::to_string(faults.authenticationStatus);
        reply(kAuthentication, true,
              statusByte(static_cast<uint8_t>(faults.authenticationStatus)));
        return reaction;
      }
      Seed seed = faults.hasFixedAuthSeed ? faults.fixedAuthSeed : seeds();
      module.lastSeed = seed;
      module.seedHandedOut = true;
      reaction.event = "authentication seed=" + ToHex(seed.data(), seed.size());
      reply(kAuthentication, false, Bytes(seed.begin(), seed.end()));
      return reaction;
    }
    case kConfigure: {
      if (faults.configureStatus >= 0) {
        reaction.event = "configure refused status=" + std::to_string(faults.configureStatus);
        reply(kConfigure, true, statusByte(static_cast<uint8_t>(faults.configureStatus)));
        return reaction;
      }
      int status = ApplySecureConfigure(module, request.payload);
      if (status >= 0) {
        reaction.event = "configure refused status=" + std::to_string(status);
        reply(kConfigure, true, statusByte(static_cast<uint8_t>(status)));
      } else {
        reaction.event = "configure applied";
        reply(kConfigure, false, {});
      }
      return reaction;
    }
    case kWink:
      reaction.event = "wink value=" + std::to_string(request.payload[0]);
      reply(kWink, false, {});
      return reaction;
    case kRestart:
      reaction.event = "restart";
      reaction.restart = true;
      reply(kRestart, false, {});
      return reaction;
    case kMassRestart:
      reaction.event = "mass-restart";
      reaction.restart = true;
      if (faults.massRestartStatus >= 0)
        reply(kMassRestart, true, statusByte(static_cast<uint8_t>(faults.massRestartStatus)));
      return reaction;
    case kPing:
      reaction.event = "ping";
      reply(kPing, true, statusByte(static_cast<uint8_t>(faults.pingStatus)));
      return reaction;
  }
  return reaction;  // other types are dropped while parsing
}

}  // namespace mdspsim
