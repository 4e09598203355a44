// The two digests modules use: MD5 for the text protocol's password
// challenge, BLAKE2s-256 for the secure protocol's authentication block.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace mdspsim {

using Digest32 = std::array<uint8_t, 32>;

// MD5 of the bytes as 32 lower-case hex digits; "" if libcrypto fails.
std::string md5hex(std::string_view bytes);

// Unkeyed BLAKE2s-256 of the concatenation of the parts, in order.
// False if libcrypto fails.
bool blake2s256(std::initializer_list<std::string_view> parts, Digest32& out);

// Answer a seeded text module expects in "Password:": built from the stored
// salt + md5hex(salt + password) and the seed text it reported.
std::string expectedChallengeAnswer(std::string_view saltedHash, std::string_view seedText);

}  // namespace mdspsim
