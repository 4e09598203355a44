// The authentication digest: BLAKE2s-256 and its input order.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "secure/digest.h"

namespace mdsp_test {
namespace {

std::string Hex(const uint8_t* bytes, size_t length) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(two, sizeof two, "%02x", bytes[i]);
    out += two;
  }
  return out;
}

std::string Blake(const std::string& data) {
  uint8_t digest[mdsp::kDigestSize];
  EXPECT_TRUE(mdsp::Blake2s256(reinterpret_cast<const uint8_t*>(data.data()), data.size(), digest));
  return Hex(digest, sizeof digest);
}

TEST(Digest, Blake2s256KnownVectors) {
  // RFC 7693, appendix B.
  EXPECT_EQ(Blake("abc"), "508c5e8c327c14e2e1a72ba34eeb452f37458b209ed63a294d999b4c86675982");
  EXPECT_EQ(Blake(""), "69217a3079908094e11121d042354a7c1f55b6482ca1a51e1b250dfd1ed0eef9");
}

TEST(Digest, InputIsPasswordThenSeedThenPayload) {
  const uint8_t seed[4] = {0x01, 0x02, 0x03, 0x04};
  uint8_t digest[mdsp::kDigestSize];

  ASSERT_TRUE(mdsp::ComputeAuthDigest("secret", seed, nullptr, 0, digest));
  EXPECT_EQ(Hex(digest, 32), "e229fef9c3db798ce19afb68337f78bb07b71520afb20a8bf42becd7a83aad27");

  // An empty password contributes nothing: the seed bytes alone.
  ASSERT_TRUE(mdsp::ComputeAuthDigest("", seed, nullptr, 0, digest));
  EXPECT_EQ(Hex(digest, 32), "d4c7b0a4b6b808435c143caab927819728b57f9993ec7dd2cab325b2558c5c03");

  const uint8_t seed2[4] = {0xDE, 0xAD, 0xBE, 0xEF};
  const uint8_t payload[1] = {0x07};
  ASSERT_TRUE(mdsp::ComputeAuthDigest("pw", seed2, payload, 1, digest));
  EXPECT_EQ(Hex(digest, 32), "3fa20aec4533f04a42f1949d95331fc0b9af4894ab70bab2b49a0ec0fe8436fb");
}

}  // namespace
}  // namespace mdsp_test
