// Module side of the secure protocol: request datagrams in, replies out.
// Layout: magic C1 AB, destination MAC, source MAC, flags, type, length
// (little-endian), [seed 4 + digest 32 on authenticated requests], payload.
#pragma once

#include <cstddef>
#include <cstdint>

#include "digests.h"
#include "sim_types.h"

namespace mdspsim {

constexpr size_t kHeaderSize = 18;
constexpr size_t kAuthBlockSize = 36;
constexpr size_t kMaxDatagram = 548;

constexpr uint8_t kFlagReply = 0x01;
constexpr uint8_t kFlagStatus = 0x02;

enum SecureType : uint8_t {
  kDiscover = 0,
  kAuthentication = 1,
  kConfigure = 2,
  kWink = 3,
  kRestart = 4,
  kMassRestart = 5,
  kPing = 255,
};

// Statuses a module answers with.
constexpr uint8_t kStatusOk = 0;
constexpr uint8_t kStatusBadDigest = 1;
constexpr uint8_t kStatusHostnameTooLong = 31;
constexpr uint8_t kStatusPasswordTooLong = 32;
constexpr uint8_t kStatusInvalidConfiguration = 33;

struct SecureRequest {
  Mac destination{};
  Mac source{};
  uint8_t flags = 0;
  uint8_t type = 0;
  uint16_t length = 0;
  bool authenticated = false;
  Seed seed{};
  Digest32 digest{};
  Bytes payload;
};

enum class SecureParse { Ok, NotSecure, Reply, TooShort, PastEnd, TooLong, NoAuthBlock };
const char* secureParseName(SecureParse result);

bool isAuthenticatedType(uint8_t type);
const char* secureTypeName(uint8_t type);  // "discover", ... (ignore-list names)

// Reads a request; never reads past `size`. Extra bytes after `length` are
// ignored; a length running past the datagram drops it.
SecureParse parseSecureRequest(const uint8_t* data, size_t size, SecureRequest& out);

Bytes buildSecureReply(uint8_t type, const Mac& destination, const Mac& source, bool withStatus,
                       const Bytes& payload);

// The module-description TLVs of a Discover reply.
Bytes discoverPayload(const SimModule& module);

// Password, the four seed bytes as received, payload; the seed must be the
// one this module handed out last.
bool digestValid(const SimModule& module, const SecureRequest& request);

// Applies configure TLVs (all or nothing). Returns -1 when applied, else the
// status to refuse with.
int applySecureConfigure(SimModule& module, const Bytes& payload);

bool addressedTo(const SimModule& module, const SecureRequest& request);

// One secure module's reaction to a request addressed to it (or broadcast).
Reaction handleSecureRequest(SimModule& module, const SecureRequest& request,
                             const SeedSource& seeds);

}  // namespace mdspsim
