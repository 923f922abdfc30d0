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

}  // namespace

GraphemeClusters::GraphemeClusters(std::string_view text) : text_(text) {
  if (text.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::length_error("Text too long to split into characters.");
  }
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
  const std::size_t size = text_.size();
  if (start >= size) return {};
  const auto byteAt = [&](std::size_t at) { return static_cast<unsigned char>(text_[at]); };
  if (byteAt(start) < 0x80 && (start + 1 == size || byteAt(start + 1) < 0x80)) {
    position_ += (text_[start] == '\r' && start + 1 < size && text_[start + 1] == '\n') ? 2 : 1;
  } else {
    if (!breaks_) {
      breaks_ = borrowIterator();
      UErrorCode status = U_ZERO_ERROR;
      // The iterator keeps its own shallow copy of the UText, reading the bytes in place.
      UText utf8 = UTEXT_INITIALIZER;
      utext_openUTF8(&utf8, text_.data(), static_cast<int64_t>(size), &status);
      breaks_->setText(&utf8, status);
      utext_close(&utf8);
      if (U_FAILURE(status)) throw std::runtime_error("ICU could not read the text.");
    }
    // `start` is a boundary, so the next one is the end of this cluster.
    const std::int32_t end = breaks_->following(static_cast<std::int32_t>(start));
    position_ = end == icu::BreakIterator::DONE ? size : static_cast<std::size_t>(end);
  }
  return text_.substr(start, position_ - start);
}

}  // namespace pellam
