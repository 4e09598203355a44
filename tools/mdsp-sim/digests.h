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
std::string Md5hex(std::string_view bytes);

// Unkeyed BLAKE2s-256 of the concatenation of the parts, in order.
// False if libcrypto fails.
bool Blake2s256(std::initializer_list<std::string_view> parts, Digest32& out);

// MD5 of a text the way C code hashes it: up to its first NUL.
std::string Md5hexOfCText(std::string_view text);

// Answer a seeded text module expects in "Password:": the text "%c%c%s%s" of
// the seed's first two characters, the 32 digits of the stored salt +
// Md5hex(salt + password), and the whole seed, hashed up to its first NUL.
// With a one-character seed the second character is the seed's terminating
// NUL, so only the first character is hashed; with an empty seed nothing is.
// "" when the stored form is not 34 characters.
std::string ExpectedChallengeAnswer(std::string_view saltedHash, std::string_view seedText);

}  // namespace mdspsim
