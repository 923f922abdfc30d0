#include "core/exchange/csv_entry_export.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exchange/csv_codec.h"
#include "core/json.h"
#include "core/records/record_json.h"
#include "core/record_fixtures.h"
#include "support/python_oracle.h"

namespace pellam {
namespace {

using namespace testing;

const std::string kHeader =
    "\"Entry ID\",\"Job\",\"Start\",\"End\",\"Break Minutes\",\"Time Adjustment Minutes\",\"Rate\",\"Tips\","
    "\"Miles\",\"Adjustment\",\"Taxable\",\"Tags\",\"Comment\",\"Currency\",\"Pauses JSON\"\r\n";

// A finished entry with every field set, one whose job is missing, and a running one.
struct Sample {
  Archive archive;
  std::vector<const Entry*> order;  // as a selection hands them over: running in the middle
};

Sample sample() {
  Sample s;
  s.archive.preferences = fixedPreferences();
  Job acme = plainJob(kJobA, "Acme, \"Ltd\"");
  acme.currency = "EUR";
  s.archive.jobs = {acme};
  Entry full = plainEntry(kEntry1, kJobA, at("2026-03-02T14:00:00Z"), at("2026-03-02T22:00:00Z"));
  full.manualBreakMinutes = 30;
  full.timeAdjustmentMinutes = -7.5;
  full.rate = dec("25.50");
  full.tips = dec("12.5");
  full.miles = 3.25;
  full.adjustment = -3;
  full.adjustmentTaxable = false;
  full.tags = {"a/b", "Caf\xC3\xA9"};
  full.comment = "He said \"hi\", then\nleft\r\n";
  TimePause lunch;
  lunch.id = kPause1;
  lunch.start = at("2026-03-02T16:00:00Z");
  lunch.end = at("2026-03-02T16:30:00Z");
  lunch.kind = "Lunch";
  TimePause open;
  open.id = kPause2;
  open.start = at("2026-03-02T20:00:00Z");
  open.paid = true;
  full.pauses = {lunch, open};
  Entry orphan = plainEntry(kEntry2, kJobB, at("2026-03-01T10:00:00Z"), at("2026-03-01T11:00:00.5Z"));
  orphan.rate = 0;
  Entry running = plainEntry(uuid("A1A1A1A1-0000-4000-8000-000000000003"), kJobA, at("2026-03-03T09:00:00Z"),
                             std::nullopt);
  s.archive.entries = {orphan, running, full};
  s.order = {&s.archive.entries[2], &s.archive.entries[1], &s.archive.entries[0]};
  return s;
}

TEST(CsvEntryExportTest, HeaderAndOneQuotedRowPerFinishedEntry) {
  const Sample s = sample();
  EXPECT_EQ(CSV::exportEntries(s.archive, s.order),
            kHeader +
                "\"A1A1A1A1-0000-4000-8000-000000000001\",\"Acme, \"\"Ltd\"\"\",\"2026-03-02T14:00:00Z\","
                "\"2026-03-02T22:00:00Z\",\"30.0\",\"-7.5\",\"25.5\",\"12.5\",\"3.25\",\"-3\",\"false\","
                "\"[\"\"a\\/b\"\",\"\"Caf\xC3\xA9\"\"]\",\"He said \"\"hi\"\", then\nleft\r\n\",\"EUR\","
                "\"[{\"\"end\"\":\"\"2026-03-02T16:30:00Z\"\",\"\"id\"\":\"\"B2B2B2B2-0000-4000-8000-000000000001\"\","
                "\"\"kind\"\":\"\"Lunch\"\",\"\"paid\"\":false,\"\"start\"\":\"\"2026-03-02T16:00:00Z\"\"},"
                "{\"\"id\"\":\"\"B2B2B2B2-0000-4000-8000-000000000002\"\",\"\"kind\"\":\"\"Break\"\","
                "\"\"paid\"\":true,\"\"start\"\":\"\"2026-03-02T20:00:00Z\"\"}]\"\r\n"
                // No job: no name, and US dollars. Dates keep whole seconds.
                "\"A1A1A1A1-0000-4000-8000-000000000002\",\"\",\"2026-03-01T10:00:00Z\",\"2026-03-01T11:00:00Z\","
                "\"0.0\",\"0.0\",\"0\",\"0\",\"0.0\",\"0\",\"true\",\"[]\",\"\",\"USD\",\"[]\"\r\n");
  EXPECT_EQ(CSV::exportEntries(s.archive, {}), kHeader);
  EXPECT_EQ(CSV::exportEntries(s.archive, std::vector<const Entry*>{s.order[1]}), kHeader);
}

TEST(CsvEntryExportTest, PythonsCsvModuleReadsTheSameFields) {
  const Sample s = sample();
  const Json rows = parseJson(runPython(
      "import csv, io, json, sys\n"
      "text = sys.stdin.buffer.read().decode('utf-8')\n"
      "rows = list(csv.reader(io.StringIO(text, newline=''), strict=True))\n"
      "print(json.dumps({'rows': rows, 'tags': json.loads(rows[1][11]), 'pauses': json.loads(rows[1][14])}))\n",
      CSV::exportEntries(s.archive, s.order)));
  const Json::Array& read = rows.find("rows")->asArray();
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0].asArray().size(), 15u);
  EXPECT_EQ(read[0].asArray()[14].asString(), "Pauses JSON");
  const Json::Array& full = read[1].asArray();
  EXPECT_EQ(full[1].asString(), "Acme, \"Ltd\"");
  EXPECT_EQ(full[12].asString(), "He said \"hi\", then\nleft\r\n");
  EXPECT_EQ(writeJson(*rows.find("tags")), "[\"a/b\",\"Caf\xC3\xA9\"]");
  const Json::Array& pauses = rows.find("pauses")->asArray();
  ASSERT_EQ(pauses.size(), 2u);
  EXPECT_EQ(pauses[0].find("end")->asString(), "2026-03-02T16:30:00Z");
  EXPECT_EQ(pauses[1].find("end"), nullptr);  // still open
  EXPECT_EQ(read[2].asArray()[13].asString(), "USD");
}

// The Tags and Pauses JSON cells are the compact JSON the general writer gives for the same
// values, "/" escaped, whatever the text holds.
TEST(CsvEntryExportTest, TagsAndPausesCellsAreTheGeneralWritersCompactJson) {
  struct Case {
    std::vector<std::string> tags;
    std::vector<TimePause> pauses;
  };
  TimePause closed;
  closed.id = kPause1;
  closed.start = at("2026-03-02T16:00:00Z");
  closed.end = at("2026-03-02T16:30:00.75Z");
  closed.kind = "a/b \"q\" \\ \t\x01\x1f Caf\xC3\xA9 \xF0\x9F\x98\x80";
  TimePause open;
  open.id = kPause2;
  open.start = at("1999-12-31T23:59:59Z");
  open.paid = true;
  open.kind = "";
  const std::vector<Case> cases = {
      {{}, {}},
      {{""}, {open}},
      {{"/", "//x/", "\"", "\\", "\n\r\b\f", std::string("nul\0byte", 8)}, {closed}},
      {{"plain", "Caf\xC3\xA9", "\x7f"}, {closed, open, closed}},
  };
  for (const Case& c : cases) {
    Archive archive;
    archive.jobs = {plainJob(kJobA, "Acme")};
    Entry entry = plainEntry(kEntry1, kJobA, at("2026-03-02T14:00:00Z"), at("2026-03-02T22:00:00Z"));
    entry.tags = c.tags;
    entry.pauses = c.pauses;
    archive.entries = {entry};
    const std::vector<CSV::Row> rows = CSV::parse(CSV::exportEntries(archive, std::vector<const Entry*>{&archive.entries[0]}));
    ASSERT_EQ(rows.size(), 2u);
    Json::Array tags(c.tags.begin(), c.tags.end());
    Json::Array pauses;
    for (const TimePause& pause : c.pauses) pauses.push_back(toJson(pause, DateStyle::WireText));
    const JsonFormat compact{.escapeSlash = true};
    EXPECT_EQ(rows[1][11], writeJson(Json(std::move(tags)), compact));
    EXPECT_EQ(rows[1][14], writeJson(Json(std::move(pauses)), compact));
  }
}

}  // namespace
}  // namespace pellam
