#include "core/exchange/csv_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/data_error.h"
#include "core/json.h"
#include "support/python_oracle.h"

namespace pellam {
namespace {

using Rows = std::vector<CSV::Row>;

constexpr const char* kAcute = "\xCC\x81";             // U+0301 COMBINING ACUTE ACCENT
constexpr const char* kArabicNumberSign = "\xD8\x80";  // U+0600, joins the character after it


// What parse gives: the rows, or the error's message.
std::string outcome(const std::string& text) {
  try {
    std::string shown;
    for (const auto& row : CSV::parse(text)) {
      shown += "[";
      for (std::size_t i = 0; i < row.size(); ++i) shown += (i ? "|" : "") + row[i];
      shown += "]";
    }
    return shown;
  } catch (const DataError& error) {
    return error.message();
  }
}

TEST(CsvQuoteTest, EnclosesAndDoublesQuoteCharacters) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "\"\""},
      {"\"", "\"\"\"\""},
      {"a\"b", "\"a\"\"b\""},
      {" a, b\r\nc\n", "\" a, b\r\nc\n\""},              // commas, breaks and spaces stay
      {"Caf\xC3\xA9 \"x\"", "\"Caf\xC3\xA9 \"\"x\"\"\""},  // quotes doubled beside other text
      // Every quote is doubled, whatever character follows or precedes it.
      {"x\"" + std::string(kAcute) + "y", "\"x\"\"" + std::string(kAcute) + "y\""},
      {std::string(kArabicNumberSign) + "\"\"", "\"" + std::string(kArabicNumberSign) + "\"\"\"\"\""},
      {std::string(kAcute) + "\"", "\"" + std::string(kAcute) + "\"\"\""},
  };
  for (const auto& [value, quoted] : cases) {
    EXPECT_EQ(CSV::quote(value), quoted) << value;
    std::string appended = "x,";
    CSV::appendQuoted(appended, value);
    EXPECT_EQ(appended, "x," + quoted);
  }
}

TEST(CsvParseTest, RowsFieldsAndErrors) {
  const std::string acute = kAcute;
  const std::string unexpected = "Unexpected text after a CSV quote.";
  const std::string unclosed = "Unclosed quote in CSV.";
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Line breaks: LF, CR LF and CR alone; blank rows dropped; no row for a final break.
      {"", ""},
      {"\n\r\n\r\r\n\n", ""},
      {"a,b\nc,d", "[a|b][c|d]"},
      {"a,b\r\nc,d\r\n", "[a|b][c|d]"},
      {"a,b\rc,d\r", "[a|b][c|d]"},
      {"a,b\n\n\nc\r\r\nd", "[a|b][c][d]"},
      {",,\na,,\n,", "[a||]"},  // commas only: dropped; a trailing comma adds a field
      {"\"\",\"\"\nx", "[x]"},  // quoted empty fields are empty too
      {" a , b ", "[ a | b ]"},  // nothing trimmed
      {"a\nb,c,d", "[a][b|c|d]"},
      // Quoted sections.
      {"\"x,\ny\",z", "[x,\ny|z]"},
      {"\"a\r\nb\"", "[a\r\nb]"},
      {"\"a\"\"b\",\"\"\"\"", "[a\"b|\"]"},
      {"\"abc\"", "[abc]"},
      {"\"abc\"\r\n", "[abc]"},
      {"a\"b,\"", "[ab,]"},  // a quote may open in the middle of a field
      {"a\"b\"c", unexpected},
      {"\"a\" ,b", unexpected},
      {"\"a\"b", unexpected},
      {"\"a\"\"", unclosed},
      {"\"abc", unclosed},
      {"x\n\"abc\ndef", unclosed},
      {"\"a\" x,\"b", unexpected},  // the first broken rule decides
      // Quotes, commas and line breaks are code points: a mark beside one does not hide it,
      // and the mark is copied byte for byte into the field it stands in.
      {"x,\"" + acute + "y\"", "[x|" + acute + "y]"},
      {"x,\"" + acute + "y", unclosed},
      {"a," + acute + "b,c", "[a|" + acute + "b|c]"},
      {"a" + std::string(kArabicNumberSign) + "\"b\"", "[a" + std::string(kArabicNumberSign) + "b]"},
      {"\"a\"" + acute + "b\"", unexpected},  // a mark right after a closing quote is text
      {"\"a\"" + acute, unexpected},
      {"\"a\"\"" + acute + "\"", "[a\"" + acute + "]"},
      {"\"" + acute + "\"\"" + acute + "\"", "[" + acute + "\"" + acute + "]"},
      {acute + "\r\n" + acute + "\r" + acute + "\n", "[" + acute + "][" + acute + "][" + acute + "]"},
      {"\"Caf\xC3\xA9\"\r\n\xF0\x9F\x98\x80,\xE6\x97\xA5", "[Caf\xC3\xA9][\xF0\x9F\x98\x80|\xE6\x97\xA5]"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(outcome(text), expected) << text;
}

// Rows written through quote, as the export writes them.
std::string written(const Rows& rows) {
  std::string text;
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i) text += ',';
      CSV::appendQuoted(text, row[i]);
    }
    text += "\r\n";
  }
  return text;
}

Rows rowsFromJson(const Json& json) {
  Rows rows;
  for (const Json& row : json.asArray()) {
    rows.emplace_back();
    for (const Json& field : row.asArray()) rows.back().push_back(field.asString());
  }
  return rows;
}

// Characters that combine with their neighbours into one user-perceived character: a
// combining mark, a zero-width joiner and a variation selector join the character before
// them, a prepend character the one after it.
const std::vector<std::string> kJoiners = {kAcute, "\xE2\x80\x8D", "\xEF\xB8\x8F", kArabicNumberSign};
// The codec's own characters.
const std::vector<std::string> kSeparators = {"\"", "\"\"", ",", "\r\n", "\n", "\r"};

// Every joiner and separator, and every pair of them, at the start, in the middle and at the
// end of a value, the header row first.
Rows generatedTable() {
  std::vector<std::string> specials = kJoiners;
  specials.insert(specials.end(), kSeparators.begin(), kSeparators.end());
  std::vector<std::string> values;
  for (const std::string& first : specials) {
    values.push_back(first);
    for (const std::string& second : specials) {
      const std::string pair = first + second;
      values.push_back(pair + "ab");
      values.push_back("a" + pair + "b");
      values.push_back("ab" + pair);
    }
  }
  Rows rows = {{"Entry ID", "Job", "Comment", "Tags"}};
  for (std::size_t i = 0; i < values.size(); i += 3) {
    CSV::Row row = {"row " + std::to_string(rows.size())};  // never an all-empty row
    for (std::size_t j = i; j < values.size() && j < i + 3; ++j) row.push_back(values[j]);
    rows.push_back(std::move(row));
  }
  return rows;
}

// Random fields built of awkward pieces, joiners included.
Rows awkwardTable() {
  std::vector<std::string> pieces = {"",     "a",  "\"",  "\"\"", ",",   "\r\n", "\n",          "\r",
                                     " ",    "x y", "Caf\xC3\xA9", "\xF0\x9F\x98\x80", "\xE6\x97\xA5",
                                     "\t",   "'",  "e\xCC\x81", "=1+2", "\\", "a\"b,c\nd"};
  pieces.insert(pieces.end(), kJoiners.begin(), kJoiners.end());
  Rows rows = {{"Entry ID", "Job", "Comment"}};
  std::uint32_t state = 12345;
  auto pick = [&] {
    state = state * 1103515245u + 12345u;  // a fixed sequence on every platform
    return pieces[(state >> 16) % pieces.size()];
  };
  for (int r = 0; r < 60; ++r) {
    CSV::Row row = {"row " + std::to_string(r)};  // never an all-empty row
    const int fields = 1 + r % 5;
    for (int f = 0; f < fields; ++f) row.push_back(pick() + pick() + pick());
    rows.push_back(row);
  }
  return rows;
}

TEST(CsvRoundTripTest, QuotedRowsReadBackUnchanged) {
  for (const Rows& rows : {generatedTable(), awkwardTable()}) EXPECT_EQ(CSV::parse(written(rows)), rows);
}

TEST(CsvOracleTest, PythonReadsOurRowsAndWeReadPythons) {
  Rows rows = generatedTable();
  const Rows awkward = awkwardTable();
  rows.insert(rows.end(), awkward.begin() + 1, awkward.end());
  const std::string ours = written(rows);
  // Python's csv module reads our text, then writes the same rows its own ways for us to read
  // back: quoting only where needed with CR LF line ends, and quoting all with LF. (Python
  // 3.11 leaves a lone CR unquoted when its line end is LF, so that pairing is not used.)
  const std::string python = testing::runPython(
      "import csv, io, json, sys\n"
      "text = sys.stdin.buffer.read().decode('utf-8')\n"
      "rows = list(csv.reader(io.StringIO(text, newline=''), strict=True))\n"
      "written = []\n"
      "for ending, quoting in [('\\r\\n', csv.QUOTE_MINIMAL), ('\\n', csv.QUOTE_ALL)]:\n"
      "    out = io.StringIO(newline='')\n"
      "    csv.writer(out, lineterminator=ending, quoting=quoting).writerows(rows)\n"
      "    written.append(out.getvalue())\n"
      "print(json.dumps({'read': rows, 'written': written}))\n",
      ours);
  const Json answer = parseJson(python);
  EXPECT_EQ(rowsFromJson(*answer.find("read")), rows);
  for (const Json& text : answer.find("written")->asArray()) {
    EXPECT_EQ(CSV::parse(text.asString()), rows) << text.asString().substr(0, 200);
  }
}

}  // namespace
}  // namespace pellam
