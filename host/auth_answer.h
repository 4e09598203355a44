// Password answers for text-protocol modules that hand out a seed: the
// module never sees the password itself, only MD5 values salted with the
// seed's first two characters. Plain code without widgets, shared by the
// configuration tool and mdspctl.
#pragma once

#include <cstddef>
#include <functional>

namespace pelmar {

// Lengths without the terminating NUL.
inline constexpr size_t kMd5HexLength = 32;
inline constexpr size_t kNewPasswordValueLength = 34;  // 2 salt characters + 32 digits

// MD5 (RFC 1321) of `length` bytes, as 32 lower-case hexadecimal digits and a
// NUL into out (33 bytes). False when the digest cannot be computed.
bool Md5Hex(const void* data, size_t length, char out[kMd5HexLength + 1]);

// The answer to a seed for the current password:
// md5hex(s0 s1 md5hex(s0 s1 password) seed), with s0 s1 the seed's first two
// characters. Each hashed text is a C string that ends at its first NUL (the
// modules compute it that way): with a one-character seed s1 is the NUL and both steps
// hash s0 alone; with an empty seed they hash the empty text. False when a
// text is null or the digest fails. out holds 33 bytes.
bool AuthAnswer(const char* seed, const char* password, char out[kMd5HexLength + 1]);

// A pseudo-random value from 0 to 32767.
using RandomSource = std::function<int()>;
// The default source: a generator seeded once from the system.
int SystemRandom();

// The salt character for one random value (0 to 32767): v = r mod 61 gives
// 'a'..'z' (v < 26), codes 64..89 (v 26..51), '0'..'8' (v 52..60).
char SaltCharacter(int random);

// The value sent as a new password: c1 c2 md5hex(c1 c2 newPassword), with two
// salt characters drawn from `random`. out holds 35 bytes. False when a text
// is null or the digest fails.
bool NewPasswordValue(const char* newPassword, const RandomSource& random,
                      char out[kNewPasswordValueLength + 1]);

}  // namespace pelmar
