#pragma once
#include <string>
#include <string_view>

namespace pellam {

// A fast digest of a file's bytes (XXH3, 128 bits), as 32 lower-case hexadecimal digits: tells
// one content of a file from another, not a defence against a forger (SHA-256 is for that).
std::string contentDigest(std::string_view bytes);

}  // namespace pellam
