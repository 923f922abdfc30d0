#pragma once
// Walks UTF-8 text one user-perceived character (extended grapheme cluster) at a time, as
// ICU's character break iterator sees it: CR LF is one character, and so is a quote
// followed by a combining mark (U+0301) or a zero-width joiner.
//
// Between two ASCII characters only CR LF is not a boundary (no ASCII character extends,
// prepends to or pairs with another), so ASCII runs are walked without asking ICU; ICU
// finds every boundary next to a non-ASCII byte. Invalid UTF-8 bytes are kept: they end up
// inside clusters like any other byte.
#include <cstddef>
#include <memory>
#include <string_view>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class BreakIterator;
U_NAMESPACE_END

namespace pellam {

class GraphemeClusters {
 public:
  // `text` must outlive the walk. Texts of 2 GiB or more throw std::length_error.
  explicit GraphemeClusters(std::string_view text);
  ~GraphemeClusters();
  GraphemeClusters(const GraphemeClusters&) = delete;
  GraphemeClusters& operator=(const GraphemeClusters&) = delete;

  // The next cluster, or an empty view once the text is used up.
  std::string_view next();

 private:
  std::string_view text_;
  std::size_t position_ = 0;
  std::unique_ptr<icu::BreakIterator> breaks_;  // set on the first non-ASCII byte met
};

}  // namespace pellam
