// import.preview and import.apply through the engine: the token, the result's members, the
// conflict and dry-run paths, the JSON backup import and the refusals. Python's hashlib
// checks the token.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/storage/archive_json.h"
#include "core/base64.h"
#include "core/validation/validation.h"
#include "engine_fixtures.h"
#include "support/python_oracle.h"

namespace pellam::agent::testing {
namespace {

using pellam::testing::hexText;
using pellam::testing::runPython;

const std::string kCsv =
    "Job,Start,End,Comment\r\n"
    "Acme,2026-03-03T14:00:00Z,2026-03-03T15:00:00Z,one\r\n"
    "Gamma,2026-03-03T16:00:00Z,2026-03-03T17:00:00Z,two\r\n";

Arguments importing(const std::string& bytes, const std::string& format = "csv", const std::string& token = "") {
  Arguments arguments{{"content", base64Encode(bytes)}, {"format", format}};
  if (!token.empty()) arguments["preview"] = token;
  return arguments;
}

std::string tokenOf(const Outcome& outcome) {
  const Json result = outcome.result();
  return result.isObject() ? result.find("preview")->asString() : "";
}

TEST(ImportTest, PreviewDescribesTheImportAndChangesNothing) {
  const Outcome outcome = run(sampleArchive(), "import.preview", importing(kCsv));
  const Json result = outcome.result();
  ASSERT_TRUE(result.isObject());
  EXPECT_EQ(writeJson(result),
            "{\"applied\":false,\"detail\":\"Add 2 entries and 1 jobs. Skip 0 duplicates. Existing entries stay as "
            "they are.\",\"dryRun\":false,\"entries\":4,\"jobs\":4,\"preview\":\"" +
                tokenOf(outcome) + "\"}");
  EXPECT_FALSE(outcome.execution->changed);
  EXPECT_EQ(outcome.execution->archive, sampleArchive());
}

TEST(ImportTest, TheTokenIsTheDigestOfTagFormatRecordsAndInput) {
  const Archive archive = sampleArchive();
  const std::string token = tokenOf(run(archive, "import.preview", importing(kCsv)));
  const std::string oracle = runPython(
      "import hashlib, sys\n"
      "parts = [bytes.fromhex(line) for line in sys.stdin.read().split()]\n"
      "print(hashlib.sha256(b'pellam-import-v1\\0' + parts[0] + b'\\0' + parts[1] + b'\\0' + parts[2]).hexdigest(),"
      " end='')\n",
      hexText("csv") + "\n" + hexText(encodeArchiveJson(archive)) + "\n" + hexText(kCsv) + "\n");
  EXPECT_EQ(token, oracle);
  EXPECT_EQ(token.size(), 64u);

  // The same inputs give the same token; each of the three changes it.
  EXPECT_EQ(tokenOf(run(archive, "import.preview", importing(kCsv))), token);
  Archive changed = archive;
  changed.entries[0].comment = "edited";
  std::string otherByte = kCsv;
  otherByte[otherByte.size() - 3] = 'p';  // "two" becomes "twp"
  const std::vector<std::string> others = {
      tokenOf(run(changed, "import.preview", importing(kCsv))),
      tokenOf(run(archive, "import.preview", importing(otherByte))),
  };
  for (const std::string& other : others) EXPECT_NE(other, token);
}

TEST(ImportTest, ApplyNeedsTheTokenOfTheSameFileFormatAndRecords) {
  const Archive archive = sampleArchive();
  const std::string token = tokenOf(run(archive, "import.preview", importing(kCsv)));
  Archive grown = archive;
  grown.entries.push_back(plainEntry(uuid("A1A1A1A1-0000-4000-8000-0000000000AA"), kAcme, at("2026-03-01T14:00:00Z"),
                                at("2026-03-01T15:00:00Z")));
  const std::string conflict =
      "preview_conflict: The file or current records changed, or the preview token is missing. Run import preview "
      "again.";
  const struct {
    const char* what;
    Archive archive;
    Arguments arguments;
  } cases[] = {
      {"no token", archive, importing(kCsv)},
      {"an entry added since", grown, importing(kCsv, "csv", token)},
      {"one byte changed", archive, importing(kCsv + "\r\n", "csv", token)},
      {"upper-case token", archive, importing(kCsv, "csv", std::string(64, 'A'))},
  };
  for (const auto& c : cases) {
    const Outcome outcome = run(c.archive, "import.apply", c.arguments);
    EXPECT_EQ(summary(outcome), conflict) << c.what;
    if (outcome.failure) {
      EXPECT_TRUE(outcome.failure->retryable) << c.what;
    }
  }
  // A backup handed the CSV's token.
  EXPECT_EQ(summary(run(archive, "import.apply", importing(encodeArchiveJson(archive), "json", token))), conflict);
}

TEST(ImportTest, ApplyReplacesTheRecordsUnlessItIsADryRun) {
  const Archive archive = sampleArchive();
  const std::string token = tokenOf(run(archive, "import.preview", importing(kCsv)));

  const Outcome dry = run(archive, "import.apply", importing(kCsv, "csv", token), true);
  EXPECT_EQ(dry.result().find("applied")->asBool(), false);
  EXPECT_EQ(dry.result().find("dryRun")->asBool(), true);
  EXPECT_EQ(dry.execution->archive, archive);
  EXPECT_FALSE(dry.execution->changed);

  const Outcome applied = run(archive, "import.apply", importing(kCsv, "csv", token));
  EXPECT_EQ(applied.result().find("applied")->asBool(), true);
  EXPECT_EQ(applied.result().find("preview")->asString(), token);
  EXPECT_TRUE(applied.execution->changed);
  ASSERT_EQ(applied.execution->archive.entries.size(), 4u);
  EXPECT_EQ(applied.execution->archive.entries[2].comment, "one");
  EXPECT_EQ(applied.execution->archive.jobs.back().name, "Gamma");

  // Once applied, the same file adds nothing and says so.
  const Archive after = applied.execution->archive;
  const Json again = run(after, "import.preview", importing(kCsv)).result();
  EXPECT_EQ(again.find("detail")->asString(),
            "Add 0 entries and 0 jobs. Skip 2 duplicates. Existing entries stay as they are.");
}

TEST(ImportTest, AJsonBackupReplacesEveryRecord) {
  Archive backup = sampleArchive();
  backup.jobs.pop_back();
  backup.preferences.multipleTimers = true;
  backup.entries.push_back(plainEntry(uuid("A1A1A1A1-0000-4000-8000-0000000000BB"), kAcme, at("2026-03-04T14:00:00Z"),
                                 std::nullopt));
  const std::string bytes = encodeArchiveJson(backup);
  const Archive current = sampleArchive();
  const std::string token = tokenOf(run(current, "import.preview", importing(bytes, "json")));
  const Outcome applied = run(current, "import.apply", importing(bytes, "json", token));
  const Json result = applied.result();
  EXPECT_EQ(result.find("detail")->asString(),
            "Replace all records with 2 jobs and 3 entries. The app saves a local backup first. 2 running timers "
            "resume from their original starts.");
  EXPECT_EQ(applied.execution->archive, backup);

  // Two running timers are valid only where the backup's own preferences allow them.
  backup.preferences.multipleTimers = false;
  EXPECT_EQ(summary(run(current, "import.preview", importing(encodeArchiveJson(backup), "json"))),
            "data_error: " + std::string(kRunningTimersMessage));
}

TEST(ImportTest, AJsonImportWithAStringThatNeverClosesNamesWhereItOpened) {
  const std::string backup = encodeArchiveJson(sampleArchive());
  const std::size_t name = backup.find("\"Acme\"");
  ASSERT_NE(name, std::string::npos);
  const std::string csv = "Job,Start,End,Comment\r\nAcme,2026-03-03T14:00:00Z,2026-03-03T15:00:00Z,\"C:\\\"\r\n";
  const struct {
    std::string name;
    std::string bytes;
    std::size_t opened;
  } cases[] = {
      {"a backup cut inside a job's name", backup.substr(0, name + 3), name},
      {"a CSV whose last field ends in a backslash", csv, csv.find('"')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(summary(run(sampleArchive(), "import.preview", importing(c.bytes, "json"))),
              "json_parse_error: The JSON text is invalid at byte " + std::to_string(c.opened) +
                  ": A string is opened, but never closed.")
        << c.name;
  }
}

TEST(ImportTest, RefusesBadRequestsAndBadFiles) {
  const std::string base64Message = "invalid_argument: The input must be base64 data of at most 600000 bytes.";
  const struct {
    Arguments arguments;
    std::string expected;
  } cases[] = {
      {{{"content", base64Encode(kCsv)}}, "invalid_argument: Supply --format."},
      {{{"format", "csv"}}, "invalid_argument: Supply --content."},
      {{{"content", base64Encode(kCsv)}, {"format", "csv"}, {"other", "x"}},
       "invalid_argument: Unknown arguments for import.preview: other."},
      {{{"content", "not base64!"}, {"format", "csv"}}, base64Message},
      {{{"content", base64Encode(kCsv).insert(4, "\n")}, {"format", "csv"}}, base64Message},
      {importing(std::string(600'001, 'a')), base64Message},
      {importing(kCsv, "CSV"), "invalid_argument: Imports support json and csv."},
      {importing(kCsv, "xlsx"), "invalid_argument: Imports support json and csv."},
      {importing("Job,Start,End\n\xC0\xAF,x,y\n"), "invalid_argument: CSV must use UTF-8 encoding."},
      {importing("Job,Start,End\n\xED\xA0\x80,x,y\n"), "invalid_argument: CSV must use UTF-8 encoding."},
      {importing("Job,Start,End\nA\xE2\x82"), "invalid_argument: CSV must use UTF-8 encoding."},
      {importing("\xFF"), "invalid_argument: CSV must use UTF-8 encoding."},
      {importing("Job,Start,End\n"), "data_error: The CSV has no entries."},
      {importing("Job,Start,End\nAcme,2026-03-03T14:00:00Z,\n"),
       "data_error: CSV row 2: check the job and ISO 8601 start/end dates. Running entries cannot be imported from "
       "CSV."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(summary(run(sampleArchive(), "import.preview", c.arguments)), c.expected);
  }
  // Random bytes as JSON are refused by the reader, never a crash.
  const Outcome random = run(sampleArchive(), "import.preview", importing("\x01\x02{[", "json"));
  ASSERT_TRUE(random.failure.has_value());
  EXPECT_EQ(random.failure->code, "json_parse_error");
}

TEST(ImportTest, AFailedApplyKeepsNothing) {
  const std::string bad = kCsv + "Delta,2026-03-03T18:00:00Z,2026-03-03T19:00:00Z,x,extra\r\n";
  const Outcome outcome = run(sampleArchive(), "import.apply", importing(bad, "csv", std::string(64, '0')));
  EXPECT_EQ(summary(outcome), "data_error: CSV row 4 has the wrong number of columns.");
}

}  // namespace
}  // namespace pellam::agent::testing
