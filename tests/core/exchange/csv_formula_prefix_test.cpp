#include "core/exchange/csv_formula_prefix.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "core/exchange/csv_entry_export.h"
#include "core/exchange/csv_import.h"
#include "core/json.h"
#include "core/record_fixtures.h"
#include "support/python_oracle.h"

namespace pellam {
namespace {

using namespace testing;

TEST(CsvFormulaPrefix, ExportAddsOneQuoteWhereAFormulaWouldStart) {
  // value, as exported
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"=1+2", "'=1+2"},     {"+1", "'+1"},         {"-3", "'-3"},          {"@SUM(A1)", "'@SUM(A1)"},
      {"\tx", "'\tx"},       {"\rx", "'\rx"},       {"=", "'="},            {"'=x", "''=x"},
      {"''@", "'''@"},       {"'-", "''-"},
      // Nothing a spreadsheet evaluates: unchanged.
      {"", ""},              {"'", "'"},            {"''", "''"},           {"'a", "'a"},
      {"a=1", "a=1"},        {" =1", " =1"},        {"\n=1", "\n=1"},       {"x-", "x-"},
      {"\xEF\xBC\x9D" "1", "\xEF\xBC\x9D" "1"},  // a full-width equals sign is not a formula
  };
  for (const auto& [value, exported] : cases) {
    EXPECT_EQ(CSV::withFormulaPrefix(value), exported) << value;
    EXPECT_EQ(CSV::withoutFormulaPrefix(exported), value) << exported;  // every value round-trips
  }
}

TEST(CsvFormulaPrefix, ImportTakesExactlyOneQuoteFromAFormulaShapedCell) {
  // cell, as imported
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"'=x", "=x"}, {"''=x", "'=x"}, {"'''+1", "''+1"}, {"'-3", "-3"}, {"'@a", "@a"}, {"'\t", "\t"},
      {"'\r\n", "\r\n"},
      // Any other cell stays as it is, a raw formula included.
      {"=x", "=x"}, {"'", "'"}, {"''", "''"}, {"'a", "'a"}, {"' =x", "' =x"}, {"", ""}, {"a'=x", "a'=x"},
  };
  for (const auto& [cell, read] : cases) EXPECT_EQ(CSV::withoutFormulaPrefix(cell), read) << cell;
}

// One job per name and one entry per comment, each an hour long, in file order.
Archive archiveOf(const std::vector<std::string>& jobNames, const std::vector<std::string>& comments) {
  Archive archive;
  archive.preferences = fixedPreferences();
  char id[64];
  for (std::size_t i = 0; i < jobNames.size(); ++i) {
    std::snprintf(id, sizeof id, "11111111-1111-4111-8111-%012zu", i);
    archive.jobs.push_back(plainJob(uuid(id), jobNames[i]));
  }
  const Instant first = at("2026-01-05T09:00:00Z");
  for (std::size_t i = 0; i < comments.size(); ++i) {
    std::snprintf(id, sizeof id, "A1A1A1A1-0000-4000-8000-%012zu", i);
    const Instant start{first.seconds + 3600.0 * static_cast<double>(i)};
    Entry entry = plainEntry(uuid(id), archive.jobs[i % jobNames.size()].id, start, Instant{start.seconds + 3600});
    entry.comment = comments[i];
    archive.entries.push_back(std::move(entry));
  }
  return archive;
}

std::vector<const Entry*> newestFirst(const Archive& archive) {
  std::vector<const Entry*> order;
  for (auto it = archive.entries.rbegin(); it != archive.entries.rend(); ++it) order.push_back(&*it);
  return order;
}

std::string jobNameOf(const Archive& archive, const Entry& entry) {
  for (const Job& job : archive.jobs) {
    if (job.id == entry.jobID) return job.name;
  }
  return "(no job)";
}

// The job name and comment of every entry, by entry id.
std::map<std::string, std::pair<std::string, std::string>> valuesOf(const Archive& archive) {
  std::map<std::string, std::pair<std::string, std::string>> values;
  for (const Entry& entry : archive.entries) values[entry.id.text()] = {jobNameOf(archive, entry), entry.comment};
  return values;
}

Archive emptyArchive() {
  Archive archive;
  archive.preferences = fixedPreferences();
  return archive;
}

TEST(CsvFormulaPrefix, ExportWritesTheQuoteAndImportReadsTheValueBack) {
  const Archive archive = archiveOf({"=HYPERLINK(\"http://x\",\"y\")", "Night crew"},
                                    {"@SUM(A1)", "-", "'+1", "plain"});
  const std::string file = CSV::exportEntries(archive, newestFirst(archive));
  EXPECT_NE(file.find(",\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\","), std::string::npos) << file;
  EXPECT_NE(file.find(",\"'@SUM(A1)\","), std::string::npos) << file;
  EXPECT_NE(file.find(",\"'-\","), std::string::npos) << file;
  EXPECT_NE(file.find(",\"''+1\","), std::string::npos) << file;
  EXPECT_NE(file.find(",\"Night crew\","), std::string::npos) << file;
  EXPECT_NE(file.find(",\"plain\","), std::string::npos) << file;

  EXPECT_EQ(valuesOf(CSV::importFile(file, emptyArchive()).archive), valuesOf(archive));
}

// Characters that join their neighbours into one user-perceived character (a combining mark,
// a zero-width joiner, a variation selector, a prepend character), the codec's own characters,
// and the starts of a formula.
const std::vector<std::string> kPieces = {
    "\xCC\x81", "\xE2\x80\x8D", "\xEF\xB8\x8F", "\xD8\x80",                        // joiners
    "\"", "\"\"", ",", "\r\n", "\n", "\r",                                      // separators
    "=", "+", "-", "@", "\t", "'", "'=", "''+",                                 // formulas
};

// Every piece and every pair of pieces at the start, in the middle and at the end.
std::vector<std::string> generatedComments() {
  std::vector<std::string> values;
  for (const std::string& first : kPieces) {
    values.push_back(first);
    for (const std::string& second : kPieces) {
      values.push_back(first + second + "ab");
      values.push_back("a" + first + second + "b");
      values.push_back("ab" + first + second);
    }
  }
  return values;
}

// Job names are trimmed on import, so none begins or ends with white space.
const std::vector<std::string> kJobNames = {
    "Plain",          "=1+2",          "'=1+2",         "''@home",          "-5 crew",          "+1",
    "@home",          "\xCC\x81" "Night", "Night\xD8\x80", "a\xCC\x81\"b",    "\"\xE2\x80\x8D\"", "x,\"\xEF\xB8\x8F",
    "'",              "'a",            "Night\r\nShift",
};

// Python's csv reads our file as a spreadsheet user would see it (with the prefix), and
// writes the values as another program would (without it) for our import to read.
TEST(CsvFormulaPrefix, PythonsCsvAgreesOnEveryGeneratedValue) {
  const std::vector<std::string> comments = generatedComments();
  const Archive archive = archiveOf(kJobNames, comments);
  const std::string ours = CSV::exportEntries(archive, newestFirst(archive));

  Json::Array originals;
  for (const Entry& entry : archive.entries) {
    originals.push_back(Json(Json::Array{Json(entry.id.text()), Json(jobNameOf(archive, entry)), Json(entry.comment)}));
  }
  Json::Object input;
  input["file"] = Json(ours);
  input["values"] = Json(std::move(originals));
  // The expected values come from Python's re, not from our code: the export's prefix where
  // a value matches ^'*[=+\-@\t\r], and one quote less on import where a cell matches
  // ^'+[=+\-@\t\r].
  const Json answer = parseJson(runPython(
      "import csv, io, json, re, sys\n"
      "given = json.loads(sys.stdin.buffer.read().decode('utf-8'))\n"
      "rows = list(csv.reader(io.StringIO(given['file'], newline=''), strict=True))\n"
      "header = rows[0]\n"
      "read = {row[0]: [row[header.index('Job')], row[header.index('Comment')]] for row in rows[1:]}\n"
      "times = {row[0]: [row[header.index('Start')], row[header.index('End')]] for row in rows[1:]}\n"
      "exported = lambda v: \"'\" + v if re.match(r\"'*[=+\\-@\\t\\r]\", v) else v\n"
      "imported = lambda v: v[1:] if re.match(r\"'+[=+\\-@\\t\\r]\", v) else v\n"
      "mismatches = [[i, read.get(i), [exported(j), exported(c)]] for i, j, c in given['values']\n"
      "              if read.get(i) != [exported(j), exported(c)]]\n"
      "out = io.StringIO(newline='')\n"
      "writer = csv.writer(out, lineterminator='\\r\\n')\n"
      "writer.writerow(['Entry ID', 'Job', 'Start', 'End', 'Comment'])\n"
      "expected = {}\n"
      "for i, j, c in given['values']:\n"
      "    writer.writerow([i, j] + times[i] + [c])\n"
      "    expected[i] = [imported(j), imported(c)]\n"
      "print(json.dumps({'rows': len(rows), 'mismatches': mismatches, 'file': out.getvalue(), 'expected': expected}))\n",
      writeJson(Json(std::move(input)))));
  EXPECT_EQ(answer.find("rows")->numberLexeme(), std::to_string(comments.size() + 1));
  EXPECT_EQ(writeJson(*answer.find("mismatches")), "[]");

  const auto values = valuesOf(CSV::importFile(answer.find("file")->asString(), emptyArchive()).archive);
  const Json::Object& expected = answer.find("expected")->asObject();
  ASSERT_EQ(values.size(), expected.size());
  for (const auto& [id, pair] : expected) {
    const Json::Array& wanted = pair.asArray();
    ASSERT_TRUE(values.contains(id)) << id;
    EXPECT_EQ(values.at(id).first, wanted[0].asString()) << id;
    EXPECT_EQ(values.at(id).second, wanted[1].asString()) << id;
  }

  // Our own file reads back to the very values.
  EXPECT_EQ(valuesOf(CSV::importFile(ours, emptyArchive()).archive), valuesOf(archive));
}

}  // namespace
}  // namespace pellam
