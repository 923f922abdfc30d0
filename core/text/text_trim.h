#pragma once
#include <string_view>

namespace pellam {

// True for the Unicode white space and line-break scalars: U+0009 to U+000D, U+0085 and
// the separators of categories Zs, Zl and Zp (U+0020, U+00A0, U+2028, U+3000, ...).
bool isWhitespaceOrNewline(char32_t scalar);

// `text` without leading and trailing white space and line breaks (UTF-8; a byte that
// does not start a valid sequence is kept as content).
std::string_view trimmedWhitespaceAndNewlines(std::string_view text);

}  // namespace pellam
