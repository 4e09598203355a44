// MD5 answers for seeded text-protocol modules: RFC 1321 vectors, answers
// worked out by hand from them, and literal answers from an independent MD5.
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

// Answers worked out once by an independent MD5 and written down: seeds of
// several lengths, passwords in UTF-8, Latin-1 and bytes that are no text.
struct AnswerVector {
  const char* seed;
  const char* password;
  const char* answer;
};
const AnswerVector kAnswerVectors[] = {
    {"Zq", "secret", "f9ac32ea68e9db4a7de2e5f942a25b0e"},
    {"k7Q", "p\xc3\xa4sswort", "b443bc1bb1c7422d5a18c8e7b63ba04a"},
    {"a0B1c2D3", "\xe9t\xe9", "8c6f733910c7675fa8f3530b9aa3d4b8"},
    {"@Yx9mK2pL0qR7sT4", "\xff\xfe\x80 pw", "40da7ef5600be7518c3fd34cf0bc98a2"},
    {"s3xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", "\xe5\xaf\x86\xe7\xa0\x81",
     "419bd46ab2b47f03969f2751a713dda4"},
    {"k", "\xc3\xa4", "8ce4b16b22b58894aa86c421e8759df3"},
    {"", "\xff", "d41d8cd98f00b204e9800998ecf8427e"},
};

TEST(AuthAnswer, MatchesIndependentlyComputedVectors) {
  for (const AnswerVector& v : kAnswerVectors) {
    char answer[pelmar::kMd5HexLength + 1];
    ASSERT_TRUE(pelmar::AuthAnswer(v.seed, v.password, answer)) << v.seed;
    EXPECT_EQ(std::string(answer), v.answer) << "seed '" << v.seed << "'";
  }
}

TEST(NewPasswordValue, MatchesIndependentlyComputedVectors) {
  // Draws 51 and 16 give "Yq"; 56 and 52 give "40".
  const struct {
    int first, second;
    const char* password;
    const char* value;
  } vectors[] = {
      {51, 16, "p\xc3\xa4sswort", "Yq1df4dc080d062d73c88771c07d1edbf9"},
      {56, 52, "\xe9t\xe9", "40ddb289afa7713383b69fd0b5e1eef064"},
  };
  for (const auto& v : vectors) {
    std::vector<int> draws = {v.first, v.second};
    size_t next = 0;
    pelmar::RandomSource source = [&] { return draws[next++]; };
    char value[pelmar::kNewPasswordValueLength + 1];
    ASSERT_TRUE(pelmar::NewPasswordValue(v.password, source, value));
    EXPECT_EQ(std::string(value), v.value);
  }
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
