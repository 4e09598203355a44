#include "secure/digest.h"

#include <openssl/evp.h>

#include <cstring>

namespace mdsp {
namespace {

// Fetched once: a fetch per digest would cost more than the digest itself.
class Blake2sMethod {
 public:
  Blake2sMethod() : md_(EVP_MD_fetch(nullptr, "BLAKE2S-256", nullptr)) {}
  ~Blake2sMethod() { EVP_MD_free(md_); }
  const EVP_MD* get() const { return md_; }

 private:
  EVP_MD* md_;
};

const EVP_MD* Blake2s() {
  static Blake2sMethod method;
  return method.get();
}

struct Part {
  const void* data;
  size_t length;
};

bool DigestParts(const Part* parts, size_t count, uint8_t digest[kDigestSize]) {
  const EVP_MD* md = Blake2s();
  if (!md) return false;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (!context) return false;
  bool ok = EVP_DigestInit_ex(context, md, nullptr) == 1;
  for (size_t i = 0; ok && i < count; ++i)
    if (parts[i].length > 0) ok = EVP_DigestUpdate(context, parts[i].data, parts[i].length) == 1;
  unsigned int written = 0;
  ok = ok && EVP_DigestFinal_ex(context, digest, &written) == 1 && written == kDigestSize;
  EVP_MD_CTX_free(context);
  return ok;
}

}  // namespace

bool ComputeAuthDigest(const char* password, const uint8_t seed[4], const uint8_t* payload,
                       size_t payloadLength, uint8_t digest[kDigestSize]) {
  const Part parts[] = {
      {password, password ? std::strlen(password) : 0},
      {seed, 4},
      {payload, payload ? payloadLength : 0},
  };
  return DigestParts(parts, 3, digest);
}

bool Blake2s256(const uint8_t* data, size_t length, uint8_t digest[kDigestSize]) {
  const Part part = {data, data ? length : 0};
  return DigestParts(&part, 1, digest);
}

}  // namespace mdsp
