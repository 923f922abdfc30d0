#include "core/grapheme_clusters.h"

#include <gtest/gtest.h>
#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <memory>
#include <string>
#include <vector>

namespace pellam {
namespace {

std::vector<std::string> ours(const std::string& text) {
  std::vector<std::string> clusters;
  GraphemeClusters walk(text);
  for (std::string_view c = walk.next(); !c.empty(); c = walk.next()) clusters.emplace_back(c);
  return clusters;
}

// ICU's own walk from the first boundary to the last, with no shortcut.
std::vector<std::string> icuAlone(const std::string& text) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> breaks(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  UText utf8 = UTEXT_INITIALIZER;
  utext_openUTF8(&utf8, text.data(), static_cast<int64_t>(text.size()), &status);
  breaks->setText(&utf8, status);
  EXPECT_TRUE(U_SUCCESS(status));
  std::vector<std::string> clusters;
  for (int32_t start = breaks->first(), end = breaks->next(); end != icu::BreakIterator::DONE;
       start = end, end = breaks->next()) {
    clusters.push_back(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
  }
  utext_close(&utf8);
  return clusters;
}

TEST(GraphemeClustersTest, CharactersAsUsersSeeThem) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"", {}},
      {"ab", {"a", "b"}},
      {"a\r\nb\n\r", {"a", "\r\n", "b", "\n", "\r"}},
      {"\"\xCC\x81,", {"\"\xCC\x81", ","}},                 // a quote with a combining acute is one
      {"\xD8\x80\"x", {"\xD8\x80\"", "x"}},                 // U+0600 joins the quote after it
      {"\"\xE2\x80\x8D\"", {"\"\xE2\x80\x8D", "\""}},       // a zero-width joiner extends the quote
      {"\r\n\xCC\x81", {"\r\n", "\xCC\x81"}},               // nothing extends a line break
      {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA\"", {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA", "\""}},  // a flag
  };
  for (const auto& [text, clusters] : cases) EXPECT_EQ(ours(text), clusters) << text;
}

// ASCII runs are walked without ICU; the boundaries must still be ICU's.
TEST(GraphemeClustersTest, SameBoundariesAsIcuAlone) {
  const std::vector<std::string> pieces = {
      "a", "\"", ",", "\r", "\n", "\r\n", " ", "\xCC\x81",                  // combining acute
      "\xD8\x80",                                                           // U+0600, prepended
      "\xE2\x80\x8D",                                                       // zero-width joiner
      "\xE0\xA4\x95\xE0\xA5\x8D\xE0\xA4\xB7",                               // Devanagari conjunct
      "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB",                       // woman technologist
      "\xF0\x9F\x87\xA9", "\xE1\x84\x80", "\xE1\x85\xA1", "\xEA\xB0\x80",   // regional indicator, Hangul
      "\xE0\xB8\xB3", "\xC3\xA9", "\xFF", "\xE2\x82",                       // spacing mark, é, invalid bytes
  };
  std::uint32_t state = 2026;
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int length = 1 + round % 25;
    for (int i = 0; i < length; ++i) {
      state = state * 1103515245u + 12345u;
      text += pieces[(state >> 16) % pieces.size()];
    }
    ASSERT_EQ(ours(text), icuAlone(text)) << text;
  }
}

}  // namespace
}  // namespace pellam
