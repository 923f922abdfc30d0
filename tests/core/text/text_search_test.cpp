#include "core/text/text_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text/text_case.h"

namespace pellam {
namespace {

struct ContainsCase {
  const char* text;
  const char* query;
  bool found;
};

TEST(TextSearchTest, ContainsIgnoringCaseFoldsBothSides) {
  const ContainsCase cases[] = {
      {"ACME Corp", "acme", true},
      {"acme corp", "CORP", true},
      {"Straße", "STRASSE", true},
      {"STRASSE", "straße", true},
      {"Émile", "émi", true},
      {"ÉMILE", "émile", true},
      {"ﬁle", "FI", true},          // the ligature folds to "fi"
      {"Ｒｅｄ", "red", true},      // full-width letters fold to ASCII
      {"anything", "", true},
      {"", "", true},
      {"", "a", false},
      {"Acme", "acme corp", false},
      {"résumé", "resume", false},  // accents are not ignored
      {"tab\there", "TAB\tH", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.query);
    EXPECT_EQ(containsIgnoringCase(c.text, c.query), c.found);
    FoldedQuery query(c.query);
    EXPECT_EQ(query.foundIn(c.text), c.found);
  }
}

TEST(TextSearchTest, FoldingPiecesJoinedBySpacesEqualsFoldingTheWhole) {
  // Pieces that would interact with a neighbour if nothing stood between them: combining
  // marks, Hangul jamo that compose, iota subscript, a broken UTF-8 sequence, controls.
  const std::vector<std::string> pieces = {
      "ACME Corp", "\u0301accent first", "Stra\u00dfe", "\u1100", "\u1161\u11a8", "\u0345", "\xc3",
      "\u00a8\u0308", "\u0130stanbul", "caf\u00e9", "e", "\u0327", "", "tab\there", "\u212a", "fi\ufb01"};
  FoldedTexts folding;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    for (std::size_t j = 0; j < pieces.size(); ++j) {
      const std::string whole = pieces[i] + " " + pieces[j] + " " + pieces[(i + j) % pieces.size()];
      std::string byPieces;
      folding.append(byPieces, pieces[i]);
      byPieces += ' ';
      folding.append(byPieces, pieces[j]);
      byPieces += ' ';
      folding.append(byPieces, pieces[(i + j) % pieces.size()]);
      EXPECT_EQ(byPieces, caseFolded(whole)) << whole;
    }
  }
  FoldedQuery query("CORP \u0301ACCENT");
  std::string folded;
  folding.append(folded, "acme corp");
  folded += ' ';
  folding.append(folded, "\u0301Accent first");
  EXPECT_TRUE(query.foundInFolded(folded));
  EXPECT_TRUE(FoldedQuery("").foundInFolded(""));
}

struct CaseCase {
  const char* text;
  const char* upper;
  const char* lower;
};

TEST(TextCaseTest, DefaultFullCaseMapping) {
  const CaseCase cases[] = {
      {"eur", "EUR", "eur"},
      {"Usd", "USD", "usd"},
      {"ß", "SS", "ß"},
      {"é1-x", "É1-X", "é1-x"},
      {"ǅ", "Ǆ", "ǆ"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(uppercased(c.text), c.upper);
    EXPECT_EQ(lowercased(c.text), c.lower);
  }
}

}  // namespace
}  // namespace pellam
