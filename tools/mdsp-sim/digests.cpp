#include "digests.h"

#include <openssl/evp.h>

#include "addresses.h"

namespace mdspsim {
namespace {

bool Digest(const EVP_MD* md, std::initializer_list<std::string_view> parts, unsigned char* out,
            unsigned int expected) {
  if (!md) return false;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  if (!ctx) return false;
  bool ok = EVP_DigestInit_ex(ctx, md, nullptr) == 1;
  for (std::string_view part : parts) {
    if (ok && !part.empty()) ok = EVP_DigestUpdate(ctx, part.data(), part.size()) == 1;
  }
  unsigned int size = 0;
  if (ok) ok = EVP_DigestFinal_ex(ctx, out, &size) == 1 && size == expected;
  EVP_MD_CTX_free(ctx);
  return ok;
}

}  // namespace

std::string Md5hex(std::string_view bytes) {
  unsigned char out[16];
  if (!Digest(EVP_md5(), {bytes}, out, 16)) return "";
  return ToHex(out, 16);
}

bool Blake2s256(std::initializer_list<std::string_view> parts, Digest32& out) {
  return Digest(EVP_blake2s256(), parts, out.data(), 32);
}

std::string Md5hexOfCText(std::string_view text) {
  return Md5hex(text.substr(0, text.find('\0')));
}

std::string ExpectedChallengeAnswer(std::string_view saltedHash, std::string_view seedText) {
  // The host sends Md5hex(s0 s1 inner seed) with inner = Md5hex(s0 s1 password),
  // s0 s1 being the seed's first two characters; the module's seed starts with
  // its salt, so inner is exactly the stored hash. Characters past the seed's
  // end read as its NUL, as in the module's own formatting.
  if (saltedHash.size() != 34) return "";
  std::string input;
  input += seedText.size() > 0 ? seedText[0] : '\0';
  input += seedText.size() > 1 ? seedText[1] : '\0';
  input += saltedHash.substr(2);
  input += seedText;
  return Md5hexOfCText(input);
}

}  // namespace mdspsim
