// MD5 answers for seeded text-protocol modules: RFC 1321 vectors and answers
// worked out by hand from them.
#include "auth_answer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace pelmar_test {
namespace {

std::string Md5(const std::string& text) {
  char out[pelmar::kMd5HexLength + 1];
  EXPECT_TRUE(pelmar::Md5Hex(text.data(), text.size(), out));
  return out;
}

TEST(Md5Hex, Rfc1321TestSuite) {
  EXPECT_EQ(Md5(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5("1234567890123456789012345678901234567890123456789012345678901234567890123456"
                "7890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(AuthAnswer, SaltsWithTheSeedsFirstTwoCharacters) {
  // Seeds and passwords chosen so the inner step is an RFC 1321 vector:
  // seed "ab..." with password "c" hashes "abc".
  char answer[pelmar::kMd5HexLength + 1];
  ASSERT_TRUE(pelmar::AuthAnswer("ab", "c", answer));
  std::string inner = "900150983cd24fb0d6963f7d28e17f72";
  EXPECT_EQ(std::string(answer), Md5("ab" + inner + "ab"));
  // The whole seed is appended, not only its first two characters.
  ASSERT_TRUE(pelmar::AuthAnswer("ab77x", "c", answer));
  EXPECT_EQ(std::string(answer), Md5("ab" + inner + "ab77x"));
  // Salt "me" and password "ssage digest" hash "message digest".
  ASSERT_TRUE(pelmar::AuthAnswer("me", "ssage digest", answer));
  EXPECT_EQ(std::string(answer), Md5("me" + std::string("f96b697d7cb7938d525a2f31aaf161d0") + "me"));
}

TEST(AuthAnswer, ShortSeedsCutTheHashedTextAtTheNulSaltCharacter) {
  // A one-character seed makes the second salt character NUL: both hashed
  // texts end right after the first character, whatever the password.
  char answer[pelmar::kMd5HexLength + 1];
  ASSERT_TRUE(pelmar::AuthAnswer("a", "pw", answer));
  EXPECT_EQ(std::string(answer), "0cc175b9c0f1b6a831c399e269772661");  // md5hex("a")
  ASSERT_TRUE(pelmar::AuthAnswer("a", "", answer));
  EXPECT_EQ(std::string(answer), "0cc175b9c0f1b6a831c399e269772661");
  // An empty seed: the first salt character is the NUL, nothing is hashed.
  ASSERT_TRUE(pelmar::AuthAnswer("", "pw", answer));
  EXPECT_EQ(std::string(answer), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(std::strlen(answer), pelmar::kMd5HexLength);
}

TEST(AuthAnswer, RefusesNullTexts) {
  char answer[pelmar::kMd5HexLength + 1];
  EXPECT_FALSE(pelmar::AuthAnswer(nullptr, "pw", answer));
  EXPECT_FALSE(pelmar::AuthAnswer("ab", nullptr, answer));
}

TEST(NewPasswordValue, SaltCharactersCoverTheThreeRanges) {
  EXPECT_EQ(pelmar::SaltCharacter(0), 'a');
  EXPECT_EQ(pelmar::SaltCharacter(25), 'z');
  EXPECT_EQ(pelmar::SaltCharacter(26), '@');  // not 'A': codes 64 to 89
  EXPECT_EQ(pelmar::SaltCharacter(51), 'Y');
  EXPECT_EQ(pelmar::SaltCharacter(52), '0');
  EXPECT_EQ(pelmar::SaltCharacter(60), '8');
  EXPECT_EQ(pelmar::SaltCharacter(61), 'a');
  EXPECT_EQ(pelmar::SaltCharacter(32767), pelmar::SaltCharacter(32767 % 61));
}

TEST(NewPasswordValue, IsSaltThenDigestOfSaltAndPassword) {
  std::vector<int> draws = {0, 61 + 1};  // 'a', then 'b'
  size_t next = 0;
  pelmar::RandomSource source = [&] { return draws[next++]; };
  char value[pelmar::kNewPasswordValueLength + 1];
  ASSERT_TRUE(pelmar::NewPasswordValue("c", source, value));
  EXPECT_EQ(next, 2u);
  EXPECT_EQ(std::string(value), "ab900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(std::strlen(value), pelmar::kNewPasswordValueLength);
  EXPECT_FALSE(pelmar::NewPasswordValue(nullptr, source, value));
}

TEST(NewPasswordValue, DefaultSourceStaysInTheAlphabet) {
  char value[pelmar::kNewPasswordValueLength + 1];
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(pelmar::NewPasswordValue("pw", nullptr, value));
    for (int c = 0; c < 2; ++c) {
      char ch = value[c];
      EXPECT_TRUE((ch >= 'a' && ch <= 'z') || (ch >= '@' && ch <= 'Y') || (ch >= '0' && ch <= '8'))
          << ch;
    }
  }
}

}  // namespace
}  // namespace pelmar_test
