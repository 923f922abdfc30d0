#include "core/grapheme_clusters.h"

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <cstdint>
#include <limits>
#include <stdexcept>

namespace pellam {

namespace {

// A character break iterator is costly to build; each thread keeps one to lend out.
thread_local std::unique_ptr<icu::BreakIterator> spareIterator;

std::unique_ptr<icu::BreakIterator> borrowIterator() {
  if (spareIterator) return std::move(spareIterator);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> iterator(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || !iterator) throw std::runtime_error("ICU's character break iterator is not available.");
  return iterator;
}

bool isAscii(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

GraphemeClusters::GraphemeClusters(std::string_view text) : text_(text) {
  if (text.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::length_error("Text too long to split into characters.");
  }
  if (isAscii(text)) return;
  breaks_ = borrowIterator();
  UErrorCode status = U_ZERO_ERROR;
  // The iterator keeps its own shallow copy of the UText, reading the bytes in place.
  UText utf8 = UTEXT_INITIALIZER;
  utext_openUTF8(&utf8, text.data(), static_cast<int64_t>(text.size()), &status);
  breaks_->setText(&utf8, status);
  utext_close(&utf8);
  if (U_FAILURE(status)) throw std::runtime_error("ICU could not read the text.");
}

GraphemeClusters::~GraphemeClusters() {
  if (breaks_) {
    UErrorCode status = U_ZERO_ERROR;
    UText empty = UTEXT_INITIALIZER;
    utext_openUTF8(&empty, "", 0, &status);  // drop the reference to our caller's text
    breaks_->setText(&empty, status);
    utext_close(&empty);
    spareIterator = std::move(breaks_);
  }
}

std::string_view GraphemeClusters::next() {
  const std::size_t start = position_;
  if (start >= text_.size()) return {};
  if (!breaks_) {
    position_ += (text_[start] == '\r' && start + 1 < text_.size() && text_[start + 1] == '\n') ? 2 : 1;
  } else {
    const std::int32_t end = breaks_->next();
    position_ = end == icu::BreakIterator::DONE ? text_.size() : static_cast<std::size_t>(end);
  }
  return text_.substr(start, position_ - start);
}

}  // namespace pellam
