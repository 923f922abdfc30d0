// The strict Base64 decoder against OpenSSL's EVP_DecodeBlock: OpenSSL is lenient (white
// space, '=' inside the data, non-zero padding bits), so every text we accept it must
// accept too, with the same bytes; and encoding any bytes must decode back to them.
#include <openssl/evp.h>

#include "core/base64.h"
#include "fuzz/fuzz_support.h"

namespace {

using pellam::fuzz::check;

// OpenSSL's reading of `text`, its padding bytes removed; nothing when it refuses.
std::optional<std::string> openSslDecode(std::string_view text) {
  std::string out(text.size() / 4 * 3 + 3, '\0');
  int written = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (written < 0) return std::nullopt;
  out.resize(static_cast<std::size_t>(written));
  // EVP_DecodeBlock counts a padded group as three bytes.
  if (text.ends_with("==")) {
    out.resize(out.size() - 2);
  } else if (text.ends_with("=")) {
    out.resize(out.size() - 1);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = pellam::fuzz::text(data, size);

  const std::optional<std::string> ours = pellam::base64Decode(input);
  if (ours) {
    const std::optional<std::string> theirs = openSslDecode(input);
    check(theirs.has_value(), "accepted a text OpenSSL refuses");
    check(*ours == *theirs, "decoded other bytes than OpenSSL");
    // Strict means one text per byte string: the accepted text is the encoding of its bytes.
    check(pellam::base64Encode(*ours) == input, "accepted a text that is not the canonical encoding");
  }

  const std::string encoded = pellam::base64Encode(input);
  const std::optional<std::string> back = pellam::base64Decode(encoded);
  check(back && *back == input, "encoded bytes do not decode back");
  return 0;
}
