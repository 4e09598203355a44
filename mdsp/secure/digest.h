// BLAKE2s-256 (unkeyed, 32-byte output) of the secure authentication block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mdsp {

inline constexpr size_t kDigestSize = 32;

// digest = BLAKE2s-256(password bytes without NUL, the 4 seed bytes, payload).
bool ComputeAuthDigest(const char* password, const uint8_t seed[4], const uint8_t* payload,
                       size_t payloadLength, uint8_t digest[kDigestSize]);

// Plain BLAKE2s-256 of a byte run.
bool Blake2s256(const uint8_t* data, size_t length, uint8_t digest[kDigestSize]);

}  // namespace mdsp
