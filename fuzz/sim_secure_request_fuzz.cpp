// The simulator's reading of secure requests: never past the datagram, and an
// accepted request is exactly header + length bytes with the payload its type
// carries. Accepted requests then go to a module that has handed out a seed;
// when the input's seed is that seed, the digest is made right so that the
// fuzzer reaches what lies behind the check (a digest it cannot forge).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "digests.h"
#include "secure_side.h"

using namespace mdspsim;

namespace {

constexpr Seed kSeed = {0x11, 0x22, 0x33, 0x44};

SimModule MakeModule() {
  SimModule m;
  m.cfg.mac = {0x02, 0x00, 0x00, 0x12, 0x34, 0xAB};
  m.cfg.speaksText = false;
  m.cfg.speaksSecure = true;
  m.cfg.password = "secret";
  m.seedHandedOut = true;
  m.lastSeed = kSeed;
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly the received bytes, so the sanitizer sees any read past them.
  uint8_t* copy = new uint8_t[size ? size : 1];
  if (size) std::memcpy(copy, data, size);
  SecureRequest request;
  SecureParse result = ParseSecureRequest(copy, size, request);
  delete[] copy;

  if (result != SecureParse::Ok) {
    if (SecureDropReason(result, request).empty()) std::abort();
    return 0;
  }
  size_t body = request.payload.size() + (request.authenticated ? kAuthBlockSize : 0);
  if (size != kHeaderSize + request.length || body != request.length || size > kMaxDatagram ||
      request.flags != 0)
    std::abort();
  if (request.type == kConfigure && !TlvSequenceWellFormed(request.payload)) std::abort();
  if ((request.type == kWink || request.type == kRestart) && request.payload.size() != 1)
    std::abort();

  SimModule module = MakeModule();
  if (request.authenticated && request.seed == kSeed) {
    std::string_view seed(reinterpret_cast<const char*>(kSeed.data()), kSeed.size());
    std::string_view payload(reinterpret_cast<const char*>(request.payload.data()),
                             request.payload.size());
    if (!Blake2s256({module.cfg.password, seed, payload}, request.digest)) std::abort();
  }
  if (!AddressedTo(module, request)) module.cfg.mac = request.destination;
  Reaction reaction = HandleSecureRequest(module, request, [] { return kSeed; });
  for (const Bytes& reply : reaction.replies) {
    SecureRequest back;
    if (ParseSecureRequest(reply.data(), reply.size(), back) != SecureParse::Reply) std::abort();
  }
  return 0;
}
