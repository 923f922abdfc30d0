#pragma once
// Case-insensitive "contains" the way users expect it in any script: both sides are
// folded with ICU's NFKC case-fold normaliser before searching, so "STRASSE" finds
// "straße" and "acme" finds "ACME Corp".
#include <string>
#include <string_view>

namespace pellam {

// A search text folded once, to be looked for in many texts.
class FoldedQuery {
 public:
  explicit FoldedQuery(std::string_view query);

  bool empty() const { return folded_.empty(); }
  // True when the folded text contains the folded query; an empty query is found anywhere.
  bool foundIn(std::string_view text) const;

 private:
  std::string folded_;
};

// The NFKC case-folded form of UTF-8 text (invalid sequences become U+FFFD).
std::string caseFolded(std::string_view text);

// True when `text` contains `query` without regard to letter case.
bool containsIgnoringCase(std::string_view text, std::string_view query);

}  // namespace pellam
