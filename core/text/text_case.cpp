#include "core/text/text_case.h"

#include "core/utf8.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace pellam {

namespace {

template <typename Change>
std::string mapped(std::string_view text, char from, char to, Change change) {
  if (isAscii(text)) {
    std::string out(text);
    for (char& c : out) {
      if (c >= from && c <= to) c = static_cast<char>(c - from + (from == 'a' ? 'A' : 'a'));
    }
    return out;
  }
  icu::UnicodeString unicode =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  change(unicode);
  std::string out;
  unicode.toUTF8String(out);
  return out;
}

}  // namespace

std::string uppercased(std::string_view text) {
  return mapped(text, 'a', 'z', [](icu::UnicodeString& s) { s.toUpper(icu::Locale::getRoot()); });
}

std::string lowercased(std::string_view text) {
  return mapped(text, 'A', 'Z', [](icu::UnicodeString& s) { s.toLower(icu::Locale::getRoot()); });
}

}  // namespace pellam
