#include "core/sha256.h"

// The one-call SHA-256 functions are marked deprecated in OpenSSL 3 in favour of EVP, but EVP
// drags the whole provider machinery (over 300 KB of tables to relocate) into every process,
// and each vantry command is a new process. The direct functions hash the same bytes with the
// same assembly.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

namespace pellam {

std::string sha256Hex(std::string_view bytes) {
  unsigned char out[SHA256_DIGEST_LENGTH];
  SHA256_CTX context;
  SHA256_Init(&context);
  SHA256_Update(&context, bytes.data(), bytes.size());
  SHA256_Final(out, &context);
  static constexpr char hex[] = "0123456789abcdef";
  std::string text;
  text.reserve(SHA256_DIGEST_LENGTH * 2);
  for (unsigned char byte : out) {
    text.push_back(hex[byte >> 4]);
    text.push_back(hex[byte & 0xF]);
  }
  return text;
}

}  // namespace pellam
