#include "core/exchange/csv_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/data_error.h"
#include "core/exchange/csv_entry_export.h"
#include "core/record_fixtures.h"
#include "core/validation/validation.h"

namespace pellam {
namespace {

using namespace testing;

const std::string kRequiredMessage =
    "Required CSV columns: Job, Start, End. Dates must be ISO 8601 with a timezone. See Help \xE2\x86\x92 Import Guide.";
const std::string kDatesMessage2 =
    "CSV row 2: check the job and ISO 8601 start/end dates. Running entries cannot be imported from CSV.";

Archive base() {
  Archive archive;
  archive.preferences = fixedPreferences();
  archive.jobs = {plainJob(kJobA, "Acme")};
  archive.entries = {plainEntry(kEntry1, kJobA, at("2026-03-02T09:00:00Z"), at("2026-03-02T17:00:00Z"))};
  return archive;
}

ImportPreview run(const std::string& text, const Archive& archive = base()) {
  return CSV::importFile(text, archive);
}

std::string failure(const std::string& text, const Archive& archive = base()) {
  try {
    run(text, archive);
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(no failure)";
}

const std::string kRow = "Acme,2026-03-03T09:00:00Z,2026-03-03T10:00:00Z";

TEST(CsvImport, RefusesWithTheFirstBrokenRuleAndItsRowNumber) {
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"", "The CSV has no entries."},
      {"Job,Start,End\r\n", "The CSV has no entries."},
      {"Job,Start,End\n\n,,\n", "The CSV has no entries."},
      {"Job,Start,job,End\n" + kRow + ",x\n", "Duplicate CSV column names."},
      {"Job,Start\nAcme,2026-03-03T09:00:00Z\n", kRequiredMessage},
      {"Job,Start,Finish\n" + kRow + "\n", kRequiredMessage},
      {"Job,Start,End\n" + kRow + ",extra\n", "CSV row 2 has the wrong number of columns."},
      // Blank rows are not counted: the bad row is the third data row read.
      {"Job,Start,End\n" + kRow + "\n\n,,\n" + kRow + "\nAcme,2026-03-03T09:00:00Z,\n",
       "CSV row 4: check the job and ISO 8601 start/end dates. Running entries cannot be imported from CSV."},
      {"Job,Start,End\n \t,2026-03-03T09:00:00Z,2026-03-03T10:00:00Z\n", kDatesMessage2},
      {"Job,Start,End\nAcme,2026-03-03 09:00:00,2026-03-03T10:00:00Z\n", kDatesMessage2},
      {"Job,Start,End\nAcme,2026-03-03T09:00:00Z,2026-03-03T08:59:59Z\n", kDatesMessage2},
      {"Job,Start,End,Rate\n" + kRow + ",\"1,200\"\n", "Invalid rate. Use numbers without currency symbols."},
      {"Job,Start,End,Rate\n" + kRow + ",$12\n", "Invalid rate. Use numbers without currency symbols."},
      {"Job,Start,End,Rate\n" + kRow + ",12.\n", "Invalid rate. Use numbers without currency symbols."},
      {"Job,Start,End,Rate\n" + kRow + ",+12\n", "Invalid rate. Use numbers without currency symbols."},
      {"Job,Start,End,Rate\n" + kRow + ", 12\n", "Invalid rate. Use numbers without currency symbols."},
      {"Job,Start,End,Tips\n" + kRow + ",.5\n", "Invalid tips. Use numbers without currency symbols."},
      {"Job,Start,End,Adjustment\n" + kRow + ",1e3\n", "Invalid adjustment. Use numbers without currency symbols."},
      {"Job,Start,End,Break Minutes\n" + kRow + ",abc\n", "Invalid break minutes."},
      {"Job,Start,End,Time Adjustment Minutes\n" + kRow + ",abc\n", "Invalid time adjustment."},
      {"Job,Start,End,Mileage\n" + kRow + ",inf\n", "Invalid miles."},
      {"Job,Start,End,Miles\n" + kRow + ",1e999\n", "Invalid miles."},
      // A present column with an empty cell is not its default.
      {"Job,Start,End,Taxable\n" + kRow + ",\n", "Taxable must be true or false."},
      {"Job,Start,End,Taxable\n" + kRow + ",yes\n", "Taxable must be true or false."},
      {"Job,Start,End\n\"Acme,2026\n", "Unclosed quote in CSV."},
      // The created job's negative rate fails validation of the merged archive.
      {"Job,Start,End,Rate\nNew,2026-03-03T09:00:00Z,2026-03-03T10:00:00Z,-3\n",
       std::string(kJobSettingsMessagePrefix) + "New."},
      // An empty currency cell is the empty currency (not USD): a new job that fails validation.
      {"Job,Start,End,Currency\n" + kRow + ",\n", std::string(kJobSettingsMessagePrefix) + "Acme."},
  };
  for (const auto& c : cases) EXPECT_EQ(failure(c.text), c.message) << c.text;
}

TEST(CsvImport, BadTagAndBreakListsFailWithTheJsonReadersError) {
  EXPECT_NE(failure("Job,Start,End,Tags\n" + kRow + ",\"[1]\"\n"), "(no failure)");
  EXPECT_NE(failure("Job,Start,End,Tags\n" + kRow + ",[oops\n"), "(no failure)");
  EXPECT_NE(failure("Job,Start,End,Pauses JSON\n" + kRow + ",{}\n"), "(no failure)");
  EXPECT_EQ(failure("Job,Start,End,Pauses JSON\n" + kRow + ",\"[{\"\"start\"\":1}]\"\n"),
            "The required field \"pauses[0].id\" is missing.");
}

TEST(CsvImport, ReadsHeadersWhateverTheirCaseAndSpacing) {
  const struct {
    std::string header;
  } cases[] = {{"Job,Start ,END"}, {"\xEF\xBB\xBFJob,Start,End"}, {"job name,start date,end date"},
               {" JOB NAME\t,Start Date,End Date,Ignored column"}};
  for (const auto& c : cases) {
    const std::string extra = c.header.find("Ignored") != std::string::npos ? ",whatever" : "";
    const ImportPreview preview = run(c.header + "\r\n" + kRow + extra + "\r\n");
    ASSERT_EQ(preview.archive.entries.size(), 2u) << c.header;
    EXPECT_EQ(preview.archive.entries[1].jobID, kJobA) << c.header;
  }
}

TEST(CsvImport, TheFirstAcceptedNameWins) {
  const ImportPreview preview = run(
      "Notes,Comment,Job Name,Job,Start,End,Mileage,Miles\n"
      "note,comment,Other,Acme,2026-03-03T09:00:00Z,2026-03-03T10:00:00Z,1,2\n");
  const Entry& entry = preview.archive.entries.back();
  EXPECT_EQ(entry.comment, "comment");
  EXPECT_EQ(entry.jobID, kJobA);
  EXPECT_EQ(entry.miles, 2);
}

TEST(CsvImport, ReadsEveryValueForm) {
  const ImportPreview preview = run(
      "Job,Start,End,Rate,Currency,Break Minutes,Time Adjustment Minutes,Tips,Miles,Adjustment,Taxable,Comments,Tags,"
      "Entry ID,Pauses JSON\n"
      "\xEF\xBB\xBF" "Acme,2026-03-03T09:00:00.250+01:00,2026-03-03T10:00:00Z,12.50,usd,15.5,-7,0012,3.25,-3,FALSE,"
      " as is ,a;;b;,A1A1A1A1-0000-4000-8000-00000000000f,"
      "\"[{\"\"id\"\":\"\"B2B2B2B2-0000-4000-8000-000000000001\"\",\"\"start\"\":\"\"2026-03-03T09:10:00Z\"\","
      "\"\"end\"\":\"\"2026-03-03T09:20:00Z\"\",\"\"paid\"\":true,\"\"kind\"\":\"\"Lunch\"\"}]\"\n"
      "Acme,2026-03-03T11:00:00Z,2026-03-03T11:00:00Z,,EUR,,,,,,true,,\"[\"\"a;b\"\"]\",not an id,\n");
  ASSERT_EQ(preview.archive.entries.size(), 3u);
  const Entry& first = preview.archive.entries[1];
  EXPECT_EQ(first.id, uuid("A1A1A1A1-0000-4000-8000-00000000000F"));
  EXPECT_EQ(first.start, at("2026-03-03T08:00:00.250Z"));
  EXPECT_EQ(first.rate, dec("12.5"));
  EXPECT_EQ(first.manualBreakMinutes, 15.5);
  EXPECT_EQ(first.timeAdjustmentMinutes, -7);
  EXPECT_EQ(first.tips, dec("12"));
  EXPECT_EQ(first.miles, 3.25);
  EXPECT_EQ(first.adjustment, dec("-3"));
  EXPECT_FALSE(first.adjustmentTaxable);
  EXPECT_EQ(first.comment, " as is ");
  EXPECT_EQ(first.tags, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(first.source, "CSV import");
  ASSERT_EQ(first.pauses.size(), 1u);
  EXPECT_EQ(first.pauses[0].kind, "Lunch");
  EXPECT_TRUE(first.pauses[0].paid);
  // "usd" upper-cases to the existing job's currency; EUR makes a new job with the row's rate.
  EXPECT_EQ(first.jobID, kJobA);
  const Entry& second = preview.archive.entries[2];
  EXPECT_EQ(second.tags, (std::vector<std::string>{"a;b"}));
  EXPECT_EQ(second.rate, dec("0"));
  EXPECT_TRUE(second.adjustmentTaxable);
  ASSERT_EQ(preview.archive.jobs.size(), 2u);
  EXPECT_EQ(preview.archive.jobs[1].name, "Acme");
  EXPECT_EQ(preview.archive.jobs[1].currency, "EUR");
  EXPECT_EQ(second.jobID, preview.archive.jobs[1].id);
  EXPECT_EQ(preview.detail, "Add 2 entries and 1 jobs. Skip 0 duplicates. Existing entries stay as they are.");
}

TEST(CsvImport, MatchesJobsByExactNameAndCurrency) {
  Archive archive = base();
  archive.jobs[0].rate = dec("40");
  const ImportPreview preview = run(
      "Job,Start,End,Currency\n"
      "acme,2026-03-03T09:00:00Z,2026-03-03T10:00:00Z,USD\n"   // letter case differs: a new job
      "acme,2026-03-03T11:00:00Z,2026-03-03T12:00:00Z,usd\n"   // finds the job made two rows up
      "Acme,2026-03-03T13:00:00Z,2026-03-03T14:00:00Z,USD\n",  // the existing job, its rate unused
      archive);
  ASSERT_EQ(preview.archive.jobs.size(), 2u);
  EXPECT_EQ(preview.archive.jobs[1].name, "acme");
  EXPECT_EQ(preview.archive.entries[2].jobID, preview.archive.jobs[1].id);
  EXPECT_EQ(preview.archive.entries[3].jobID, kJobA);
  EXPECT_EQ(preview.archive.entries[3].rate, dec("0"));
}

TEST(CsvImport, SkipsDuplicatesOfTheArchiveAndOfEarlierRows) {
  const ImportPreview preview = run(
      "Job,Start,End,Comment,Entry ID\n"
      // the archive's entry by id, with other times
      "Acme,2026-03-05T09:00:00Z,2026-03-05T10:00:00Z,,A1A1A1A1-0000-4000-8000-000000000001\n"
      // the archive's entry by job, times and comment
      "Acme,2026-03-02T09:00:00Z,2026-03-02T17:00:00Z,,\n"
      "Acme,2026-03-02T09:00:00Z,2026-03-02T17:00:00Z,different,\n"
      // a repeat of the row above, and a repeat of its id
      "Acme,2026-03-02T09:00:00Z,2026-03-02T17:00:00Z,different,\n"
      "Acme,2026-03-06T09:00:00Z,2026-03-06T10:00:00Z,x,A1A1A1A1-0000-4000-8000-000000000009\n"
      "Acme,2026-03-07T09:00:00Z,2026-03-07T10:00:00Z,y,a1a1a1a1-0000-4000-8000-000000000009\n"
      // a duplicate keeps the job it created
      "New,2026-03-07T09:00:00Z,2026-03-07T10:00:00Z,z,A1A1A1A1-0000-4000-8000-000000000001\n");
  EXPECT_EQ(preview.archive.entries.size(), 3u);
  EXPECT_EQ(preview.archive.jobs.size(), 2u);
  EXPECT_EQ(preview.detail, "Add 2 entries and 1 jobs. Skip 5 duplicates. Existing entries stay as they are.");
}

TEST(CsvImport, ReadsItsOwnExportBackAndAddsNothingTheSecondTime) {
  const Archive source = richArchive();
  std::vector<const Entry*> order;
  for (const Entry& entry : source.entries) order.push_back(&entry);
  const std::string file = CSV::exportEntries(source, order);

  Archive fresh;
  fresh.preferences = fixedPreferences();
  const ImportPreview first = run(file, fresh);
  std::size_t finished = 0;
  for (const Entry& entry : source.entries) {
    if (!entry.end) continue;
    ++finished;
    const Entry* copy = nullptr;
    for (const Entry& imported : first.archive.entries) {
      if (imported.id == entry.id) copy = &imported;
    }
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->comment, entry.comment);
    EXPECT_EQ(copy->tags, entry.tags);
    EXPECT_EQ(copy->rate, entry.rate);
    EXPECT_EQ(copy->pauses.size(), entry.pauses.size());
  }
  EXPECT_EQ(first.archive.entries.size(), finished);
  const ImportPreview second = run(file, first.archive);
  EXPECT_EQ(second.archive, first.archive);
  EXPECT_EQ(second.detail, "Add 0 entries and 0 jobs. Skip " + std::to_string(finished) +
                               " duplicates. Existing entries stay as they are.");
}

TEST(CsvImport, LeavesTheInputArchiveAlone) {
  const Archive archive = base();
  const Archive copy = archive;
  run("Job,Start,End\nNew," + kRow.substr(5) + "\n", archive);
  EXPECT_EQ(archive, copy);
}

}  // namespace
}  // namespace pellam
