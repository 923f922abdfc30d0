#include "core/storage/content_digest.h"

#include <xxhash.h>

namespace pellam {

std::string contentDigest(std::string_view bytes) {
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits(bytes.data(), bytes.size()));
  static constexpr char hex[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * sizeof canonical.digest);
  for (unsigned char byte : canonical.digest) {
    text.push_back(hex[byte >> 4]);
    text.push_back(hex[byte & 0xF]);
  }
  return text;
}

}  // namespace pellam
