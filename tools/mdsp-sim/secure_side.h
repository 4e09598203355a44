// Module side of the secure protocol: request datagrams in, replies out.
// Layout: magic C1 AB, destination MAC, source MAC, flags, type, length
// (little-endian), [seed 4 + digest 32 on authenticated requests], payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

// Why a secure datagram is not a request a module would act on. Reply is a
// module's answer (our own broadcasts come back too) and is passed over
// silently; every other refusal is logged as "drop secure <name>".
enum class SecureParse {
  Ok,
  NotSecure,
  Reply,
  TooShort,         // shorter than the header
  TooLong,          // over 548 bytes
  Flags,            // a request carries flags 0
  PastEnd,          // length field runs past the datagram
  BytesPastLength,  // datagram longer than header + length field
  UnknownType,
  NoAuthBlock,      // authenticated type without room for seed and digest
  PayloadSize,      // payload length wrong for the type
  BadTlv,           // Configure payload is not a whole TLV sequence
};
const char* SecureParseName(SecureParse result);

// "flags 02", "payload-size wink 2", ...: the name plus what was wrong.
std::string SecureDropReason(SecureParse result, const SecureRequest& request);

bool IsAuthenticatedType(uint8_t type);
const char* SecureTypeName(uint8_t type);  // "discover", ... (ignore-list names)

// Reads a request the way a module checks it: flags 0, datagram size exactly
// 18 + length, the payload size each type carries (Wink and Restart 1 byte;
// Discover, Authentication, Mass restart and Ping none), a Configure payload
// made of whole TLV items. Never reads past `size`.
SecureParse ParseSecureRequest(const uint8_t* data, size_t size, SecureRequest& out);

// True when `payload` is a run of whole items (tag, length, value) that ends
// exactly at its end; an empty run counts.
bool TlvSequenceWellFormed(const Bytes& payload);

Bytes BuildSecureReply(uint8_t type, const Mac& destination, const Mac& source, bool withStatus,
                       const Bytes& payload);

// The module-description TLVs of a Discover reply.
Bytes DiscoverPayload(const SimModule& module);

// Password, the four seed bytes as received, payload; the seed must be the
// one this module handed out last and not yet used.
bool DigestValid(const SimModule& module, const SecureRequest& request);

// Applies configure TLVs (all or nothing). Returns -1 when applied, else the
// status to refuse with.
int ApplySecureConfigure(SimModule& module, const Bytes& payload);

bool AddressedTo(const SimModule& module, const SecureRequest& request);

// One secure module's reaction to a request addressed to it (or broadcast).
Reaction HandleSecureRequest(SimModule& module, const SecureRequest& request,
                             const SeedSource& seeds);

}  // namespace mdspsim
