#include "core/sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace pellam {

std::string sha256Hex(std::string_view bytes) {
  // Fetch the digest once; a per-call lookup costs more than hashing a small input.
  static EVP_MD* const digest = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!digest || EVP_Digest(bytes.data(), bytes.size(), out, &length, digest, nullptr) != 1) {
    throw std::runtime_error("SHA-256 is not available.");
  }
  static constexpr char hex[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    text.push_back(hex[out[i] >> 4]);
    text.push_back(hex[out[i] & 0xF]);
  }
  return text;
}

}  // namespace pellam
