#include "core/text_search.h"

#include <gtest/gtest.h>

#include "core/text_case.h"

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
