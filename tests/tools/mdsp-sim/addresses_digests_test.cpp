// Digest primitives against published vectors, and the strict address forms
// a module accepts in configure requests.
#include <gtest/gtest.h>

#include "addresses.h"
#include "digests.h"

namespace mdspsim_test {
using namespace mdspsim;
namespace {

std::string hexOf(const Digest32& d) { return ToHex(d.data(), d.size()); }

TEST(SimDigests, Md5MatchesRfc1321Vectors) {
  EXPECT_EQ(Md5hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(SimDigests, Blake2sMatchesRfc7693AndConcatenatesItsParts) {
  Digest32 whole{}, split{}, empty{};
  ASSERT_TRUE(Blake2s256({"abc"}, whole));
  EXPECT_EQ(hexOf(whole), "508c5e8c327c14e2e1a72ba34eeb452f37458b209ed63a294d999b4c86675982");
  ASSERT_TRUE(Blake2s256({"", "a", "", "bc"}, split));
  EXPECT_EQ(split, whole);
  ASSERT_TRUE(Blake2s256({}, empty));
  EXPECT_EQ(hexOf(empty), "69217a3079908094e11121d042354a7c1f55b6482ca1a51e1b250dfd1ed0eef9");
}

TEST(SimDigests, ChallengeAnswerFollowsTheHostsTwoStepMd5) {
  // Host side, written out: inner = Md5hex(s0 s1 password), answer =
  // Md5hex(s0 s1 inner seed). The module holds only "k7" + inner.
  std::string inner = Md5hex("k7secret");
  std::string answer = Md5hex("k7" + inner + "k7Q2ZP91");
  EXPECT_EQ(ExpectedChallengeAnswer("k7" + inner, "k7Q2ZP91"), answer);
  EXPECT_EQ(ExpectedChallengeAnswer("short", "k7Q2ZP91"), "");
}

TEST(SimDigests, ChallengeAnswerMatchesIndependentlyComputedVectors) {
  // Written down from an independent MD5: the stored form is the seed's first
  // two characters and md5hex(those two + password); passwords in UTF-8,
  // Latin-1 and bytes that are no text. The host's side has the same vectors.
  const struct {
    const char* seed;
    const char* stored;
    const char* answer;
  } vectors[] = {
      {"Zq", "Zq725ddc1bccddb8d7560ff8af0e6f9760", "f9ac32ea68e9db4a7de2e5f942a25b0e"},
      {"k7Q", "k741f9b4ca494785e2e25bf763231e87dc", "b443bc1bb1c7422d5a18c8e7b63ba04a"},
      {"a0B1c2D3", "a01c8bc151106ad936d572ae3ff799e39a", "8c6f733910c7675fa8f3530b9aa3d4b8"},
      {"@Yx9mK2pL0qR7sT4", "@Y085778e4ffb344c35c7126bfd20ab2d4",
       "40da7ef5600be7518c3fd34cf0bc98a2"},
      {"s3xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "s399e5d5f371c912642b20ac3b082db0d6",
       "419bd46ab2b47f03969f2751a713dda4"},
  };
  const struct {
    const char* salt;
    const char* password;
    const char* stored;
  } salted[] = {
      {"k7", "p\xc3\xa4sswort", "k741f9b4ca494785e2e25bf763231e87dc"},
      {"@Y", "\xff\xfe\x80 pw", "@Y085778e4ffb344c35c7126bfd20ab2d4"},
  };
  for (const auto& v : vectors)
    EXPECT_EQ(ExpectedChallengeAnswer(v.stored, v.seed), v.answer) << v.seed;
  for (const auto& v : salted)
    EXPECT_EQ(std::string(v.salt) + Md5hex(std::string(v.salt) + v.password), v.stored) << v.salt;
}

TEST(SimDigests, ShortSeedsHashOnlyUpToTheFirstNul) {
  // Seed "k", password "secret". "%c%c%s" gives 6b 00 73 65 63 72 65 74 and
  // "%c%c%s%s" gives 6b 00 <32 digits> 6b: the seed's own NUL is the second
  // character, so both texts end after 6b and the password plays no part.
  const std::string md5OfK = "8ce4b16b22b58894aa86c421e8759df3";
  EXPECT_EQ(Md5hexOfCText(std::string("k\0secret", 8)), md5OfK);
  EXPECT_NE(Md5hex(std::string("k\0secret", 8)), md5OfK);  // 1bde86b1..., the NUL hashed
  for (const char* stored : {"k7d41d8cd98f00b204e9800998ecf8427e",
                             "@31bde86b1865b623fb899bc71ee580155"})
    EXPECT_EQ(ExpectedChallengeAnswer(stored, "k"), md5OfK) << stored;
  // An empty seed: the first character is the NUL, nothing is hashed.
  EXPECT_EQ(ExpectedChallengeAnswer("k7d41d8cd98f00b204e9800998ecf8427e", ""),
            "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(SimAddresses, DottedIsStrict) {
  uint32_t v = 0;
  ASSERT_TRUE(ParseDotted("192.168.0.10", v));
  EXPECT_EQ(v, 0xC0A8000Au);
  EXPECT_EQ(FormatDotted(v), "192.168.0.10");
  for (const char* bad : {"192.168.0", "10.1.300.4", "1.2.3.4.", "1.2.3.4 ", " 1.2.3.4", "",
                          "1..2.3", "a.b.c.d", "0001.2.3.4"})
    EXPECT_FALSE(ParseDotted(bad, v)) << bad;
}

TEST(SimAddresses, MacReadsEitherCaseAndWritesUpperCase) {
  Mac mac{};
  ASSERT_TRUE(ParseMac("02-00-00-12-34-ab", mac));
  EXPECT_EQ(FormatMac(mac), "02-00-00-12-34-AB");
  ASSERT_TRUE(ParseMac("2-0-0-12-34-AB", mac));
  EXPECT_EQ(FormatMac(mac), "02-00-00-12-34-AB");
  for (const char* bad : {"02-00-00-12-34", "02-00-00-12-34-AB-", "02:00:00:12:34:AB",
                          "02-00-00-12-34-ABC", "02-00-00-12-34-AG", ""})
    EXPECT_FALSE(ParseMac(bad, mac)) << bad;
}

TEST(SimAddresses, HexRoundTrip) {
  Bytes bytes;
  ASSERT_TRUE(FromHex("00ff7A", bytes));
  EXPECT_EQ(bytes, (Bytes{0x00, 0xFF, 0x7A}));
  EXPECT_EQ(ToHex(bytes.data(), bytes.size()), "00ff7a");
  EXPECT_FALSE(FromHex("abc", bytes));
  EXPECT_FALSE(FromHex("zz", bytes));
}

}  // namespace
}  // namespace mdspsim_test
