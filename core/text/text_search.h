#pragma once
// Case-insensitive "contains" the way users expect it in any script: both sides are
// folded with ICU's NFKC case-fold normaliser before searching, so "STRASSE" finds
// "straße" and "acme" finds "ACME Corp".
#include <string>
#include <string_view>
#include <unordered_map>

namespace pellam {

// A search text folded once, to be looked for in many texts.
class FoldedQuery {
 public:
  explicit FoldedQuery(std::string_view query);

  bool empty() const { return folded_.empty(); }
  // True when the folded text contains the folded query; an empty query is found anywhere.
  bool foundIn(std::string_view text) const;
  // The same for a text already folded with caseFolded or FoldedTexts.
  bool foundInFolded(std::string_view foldedText) const;

 private:
  std::string folded_;
};

// Folds many texts, remembering the first few thousand distinct non-ASCII ones (job
// names, tags and comments repeat). Pieces may be folded one by one and joined with single
// spaces: a space is normalisation-inert, so nothing composes or reorders across it and
// the result equals folding the joined text whole.
class FoldedTexts {
 public:
  // Appends the folded form of `text` to `out`.
  void append(std::string& out, std::string_view text);

 private:
  std::unordered_map<std::string, std::string> cache_;
};

// The NFKC case-folded form of UTF-8 text (invalid sequences become U+FFFD).
std::string caseFolded(std::string_view text);

// True when `text` contains `query` without regard to letter case.
bool containsIgnoringCase(std::string_view text, std::string_view query);

}  // namespace pellam
