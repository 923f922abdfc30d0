#include "core/text/text_search.h"

#include "core/utf8.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <stdexcept>

namespace pellam {

namespace {

const icu::Normalizer2& foldingNormalizer() {
  static const icu::Normalizer2* normalizer = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* instance = icu::Normalizer2::getNFKCCasefoldInstance(status);
    if (U_FAILURE(status) || instance == nullptr) {
      throw std::runtime_error("The case-folding normaliser is not available.");
    }
    return instance;
  }();
  return *normalizer;
}

}  // namespace

std::string caseFolded(std::string_view text) {
  // Printable ASCII needs only its letters lowered; anything else goes through ICU.
  if (isAscii(text)) {
    std::string folded(text);
    bool simple = true;
    for (char& c : folded) {
      if (c >= 'A' && c <= 'Z') {
        c = static_cast<char>(c - 'A' + 'a');
      } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        simple = false;
        break;
      }
    }
    if (simple) return folded;
  }
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString source = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  icu::UnicodeString folded = foldingNormalizer().normalize(source, status);
  if (U_FAILURE(status)) throw std::runtime_error("Text could not be case-folded.");
  std::string out;
  folded.toUTF8String(out);
  return out;
}

FoldedQuery::FoldedQuery(std::string_view query) : folded_(caseFolded(query)) {}

bool FoldedQuery::foundIn(std::string_view text) const {
  if (folded_.empty()) return true;
  return caseFolded(text).find(folded_) != std::string::npos;
}

bool FoldedQuery::foundInFolded(std::string_view foldedText) const {
  return folded_.empty() || foldedText.find(folded_) != std::string_view::npos;
}

void FoldedTexts::append(std::string& out, std::string_view text) {
  bool plain = true;
  for (unsigned char c : text) {
    if (c >= 0x80 || c < 0x20 || c == 0x7F) {
      plain = false;
      break;
    }
  }
  if (plain) {
    for (char c : text) out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return;
  }
  std::string key(text);
  auto found = cache_.find(key);
  if (found != cache_.end()) {
    out += found->second;
    return;
  }
  std::string folded = caseFolded(text);
  out += folded;
  // Texts that never repeat (free comments) would only grow the cache.
  constexpr std::size_t kMaximumCached = 4096;
  if (cache_.size() < kMaximumCached) cache_.emplace(std::move(key), std::move(folded));
}

bool containsIgnoringCase(std::string_view text, std::string_view query) {
  return FoldedQuery(query).foundIn(text);
}

}  // namespace pellam
