#include "auth_answer.h"

#include <openssl/evp.h>

#include <cstring>
#include <mutex>
#include <random>
#include <string>

namespace pelmar {

bool Md5Hex(const void* data, size_t length, char out[kMd5HexLength + 1]) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestLength = 0;
  if (EVP_Digest(data, length, digest, &digestLength, EVP_md5(), nullptr) != 1 ||
      digestLength != 16)
    return false;
  static const char kHex[] = "0123456789abcdef";
  for (unsigned i = 0; i < 16; ++i) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
  out[kMd5HexLength] = '\0';
  return true;
}

namespace {

// The bytes that are hashed: the two salt characters and the rest, as one C
// string cut at its first NUL. A seed shorter than two
// characters puts a NUL salt character in, so the text ends there.
std::string SaltedText(const char* seed, const std::string& rest) {
  std::string text;
  for (size_t i = 0; i < 2 && seed[i] != '\0'; ++i) text += seed[i];
  if (text.size() < 2) return text;
  return text + rest;
}

}  // namespace

bool AuthAnswer(const char* seed, const char* password, char out[kMd5HexLength + 1]) {
  if (!seed || !password) return false;
  std::string text = SaltedText(seed, password);
  char inner[kMd5HexLength + 1];
  if (!Md5Hex(text.data(), text.size(), inner)) return false;
  text = SaltedText(seed, std::string(inner) + seed);
  return Md5Hex(text.data(), text.size(), out);
}

int SystemRandom() {
  static std::mutex lock;
  static std::mt19937 generator{std::random_device{}()};
  std::lock_guard<std::mutex> guard(lock);
  return static_cast<int>(generator() % 32768u);
}

char SaltCharacter(int random) {
  // A source outside 0..32767 must still yield one of the 61 characters.
  int v = ((random % 61) + 61) % 61;
  if (v < 26) return static_cast<char>('a' + v);
  if (v < 52) return static_cast<char>(v + 38);
  return static_cast<char>(v - 4);
}

bool NewPasswordValue(const char* newPassword, const RandomSource& random,
                      char out[kNewPasswordValueLength + 1]) {
  if (!newPassword) return false;
  const RandomSource& source = random ? random : RandomSource(SystemRandom);
  char salt[2];
  salt[0] = SaltCharacter(source());
  salt[1] = SaltCharacter(source());
  std::string text(salt, 2);
  text.append(newPassword);
  out[0] = salt[0];
  out[1] = salt[1];
  return Md5Hex(text.data(), text.size(), out + 2);
}

}  // namespace pelmar
