// export through the engine: the four formats, the result's members, and the refusals.
// Python's base64, hashlib, csv, zipfile and openpyxl check the files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "agent/engine/report_lines.h"
#include "agent/engine/text_report.h"
#include "core/storage/archive_json.h"
#include "core/base64.h"
#include "report_fixtures.h"
#include "support/python_oracle.h"

namespace pellam::agent::testing {
namespace {

using pellam::testing::hexText;
using pellam::testing::runPython;

Outcome exported(const Archive& archive, Arguments arguments, Instant now = kReportNow) {
  return run(archive, request("export", std::move(arguments)), now);
}

// The file an export carried.
std::string fileOf(const Outcome& outcome) {
  const Json result = outcome.result();
  if (!result.isObject()) return "";
  return base64Decode(result.find("base64")->asString()).value_or("(not Base64)");
}

TEST(ExportTest, FormatsGiveTheirNamesAndEveryResultDescribesItsBytes) {
  struct Case {
    Arguments arguments;
    const char* filename;
    const char* mimeType;
  };
  const std::vector<Case> cases = {
      {{}, "Vantry Backup.json", "application/json"},
      {{{"format", "json"}, {"at", "2026-10-22T09:00:00-04:00"}}, "Vantry Backup.json", "application/json"},
      {{{"format", "csv"}}, "Vantry Entries.csv", "text/csv"},
      {{{"format", "xlsx"}}, "Vantry Report.xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
      {{{"format", "txt"}}, "Vantry Report.txt", "text/plain; charset=utf-8"},
      {{{"format", "text"}}, "Vantry Report.txt", "text/plain; charset=utf-8"},
  };
  Json::Array results;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filename);
    const Outcome outcome = exported(twoCurrencies(), c.arguments);
    const Json result = outcome.result();
    ASSERT_TRUE(result.isObject());
    EXPECT_EQ(result.asObject().size(), 5u);
    EXPECT_EQ(result.find("filename")->asString(), c.filename);
    EXPECT_EQ(result.find("mimeType")->asString(), c.mimeType);
    EXPECT_FALSE(outcome.execution->changed);
    results.push_back(result);
  }
  // Python decodes the Base64 strictly and takes the digest and length itself.
  const Json checks = parseJson(runPython(
      "import base64, hashlib, json, sys\n"
      "out = []\n"
      "for r in json.load(sys.stdin):\n"
      "    data = base64.b64decode(r['base64'], validate=True)\n"
      "    out.append([base64.b64encode(data).decode() == r['base64'], hashlib.sha256(data).hexdigest() == r['sha256'],\n"
      "                len(data) == r['bytes']])\n"
      "print(json.dumps(out))\n",
      writeJson(Json(results))));
  EXPECT_EQ(writeJson(checks), "[[true,true,true],[true,true,true],[true,true,true],[true,true,true],[true,true,true],"
                               "[true,true,true]]");
  // txt and text are one file; a moment given as `at` changes nothing in a backup.
  EXPECT_EQ(results[4], results[5]);
  EXPECT_EQ(results[0], results[1]);
}

TEST(ExportTest, TheBackupIsTheArchiveFileAndTheReportTheTextReport) {
  const Archive archive = twoCurrencies();
  EXPECT_EQ(fileOf(exported(archive, {})), encodeArchiveJson(archive));

  const Arguments selection = {{"format", "txt"}, {"range", "week"}, {"at", "2026-10-23T01:00:00Z"}};
  const AgentRequest r = request("export", selection);
  const std::string text = fileOf(exported(archive, selection));
  EXPECT_EQ(text, engine::formattedReport(r, archive, at("2026-10-23T01:00:00Z")));
  EXPECT_TRUE(text.starts_with("VANTRY \xE2\x80\x94 REPORT\nGenerated 2026-10-23T01:00:00Z\n")) << text;
}

TEST(ExportTest, RefusalsComeBeforeAnyFile) {
  const std::string backup =
      "invalid_argument: JSON exports are complete backups. Use CSV or XLSX for a filtered export.";
  const std::string format = "invalid_argument: --format must be json, csv, xlsx, or txt (text is an alias).";
  const std::string stamp =
      "invalid_argument: Use an ISO 8601 timestamp with timezone, such as 2026-10-22T09:00:00-04:00.";
  const std::string range = "invalid_argument: --range must be all, today, week, month, year, or pay-period.";
  struct Case {
    Arguments arguments;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{{"format", "JSON"}}, format},
      {{{"format", ""}}, format},
      {{{"format", "xls"}, {"range", "weekly"}}, format},
      {{{"range", "all"}}, backup},
      {{{"format", "json"}, {"query", ""}}, backup},
      {{{"tag", "x"}, {"at", "2026-10-22T09:00:00Z"}}, backup},
      {{{"format", "csv"}, {"at", "2026-10-22"}}, stamp},
      {{{"format", "JSON"}, {"at", "2026-10-22"}}, stamp},
      {{{"format", "csv"}, {"out", "x.csv"}, {"at", "2026-10-22"}}, "invalid_argument: Unknown arguments for export: out."},
      {{{"format", "csv"}, {"range", "weekly"}}, range},
      {{{"format", "xlsx"}, {"range", "weekly"}}, range},
      {{{"format", "txt"}, {"from", "2026-02-30"}}, "invalid_argument: Invalid calendar date: 2026-02-30."},
      {{{"format", "xlsx"}, {"job", "Nobody"}}, "not_found: Choose a unique job UUID from pellam jobs list."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(summary(exported(twoCurrencies(), c.arguments)), c.expected);
  }
  EXPECT_EQ(summary(run(twoCurrencies(), "export.csv")),
            "unknown_command: Unknown command: export.csv. Run pellam capabilities or pellam help.");
}

TEST(ExportTest, CsvHoldsTheSelectedFinishedEntriesNewestFirst) {
  Archive archive = twoCurrencies();
  Entry running = reportEntry(kEntryRunning, kZulu, "2026-10-22T12:00:00Z", "2026-10-22T12:00:00Z", "25");
  running.end.reset();
  archive.entries.push_back(running);
  const Json rows = parseJson(runPython(
      "import csv, io, json, sys\n"
      "print(json.dumps(list(csv.reader(io.StringIO(sys.stdin.buffer.read().decode(), newline=''), strict=True))))\n",
      fileOf(exported(archive, {{"format", "csv"}, {"range", "week"}}))));
  std::vector<std::string> ids;
  for (const Json& row : rows.asArray()) ids.push_back(row.asArray()[0].asString());
  EXPECT_EQ(ids, (std::vector<std::string>{"Entry ID", kNight.text(), kSecond.text(), kFirst.text()}));
  EXPECT_EQ(rows.asArray()[1].asArray()[1].asString(), "Beta\r\nSouth\nside");

  EXPECT_EQ(fileOf(exported(archive, {{"format", "csv"}, {"range", "today"}, {"at", "2026-11-02T12:00:00Z"}})),
            "\"Entry ID\",\"Job\",\"Start\",\"End\",\"Break Minutes\",\"Time Adjustment Minutes\",\"Rate\",\"Tips\","
            "\"Miles\",\"Adjustment\",\"Taxable\",\"Tags\",\"Comment\",\"Currency\",\"Pauses JSON\"\r\n");
}

// What openpyxl reads from the exported workbook: every row's values as text, and whether
// Python's zipfile finds every entry stored with a good CRC.
Json workbook(const std::string& file) {
  return parseJson(runPython(
      "import binascii, io, json, sys, zipfile\n"
      "data = binascii.unhexlify(sys.stdin.read().strip())\n"
      "archive = zipfile.ZipFile(io.BytesIO(data))\n"
      "stored = all(i.compress_type == zipfile.ZIP_STORED for i in archive.infolist()) and archive.testzip() is None\n"
      "try:\n"
      "    import openpyxl\n"
      "except ImportError:\n"
      "    sys.path.append('/usr/lib/python3/dist-packages')\n"
      "    try:\n"
      "        import openpyxl\n"
      "    except ImportError as error:\n"
      "        print(json.dumps({'skip': str(error)}))\n"
      "        sys.exit(0)\n"
      "sheet = openpyxl.load_workbook(io.BytesIO(data)).active\n"
      "rows = []\n"
      "for row in sheet.iter_rows():\n"
      "    rows.append(' | '.join(c.value.date().isoformat() if c.is_date else str(c.value) for c in row))\n"
      "print(json.dumps({'stored': stored, 'rows': rows, 'freeze': sheet.freeze_panes}))\n",
      hexText(file)));
}

TEST(ExportTest, XlsxHasOneRowPerPayLineByDayThenJob) {
  const Json sheet = workbook(fileOf(exported(twoCurrencies(), {{"format", "xlsx"}})));
  if (const Json* skip = sheet.find("skip")) {
    GTEST_SKIP() << "openpyxl cannot be imported (install the Debian package python3-openpyxl): " << skip->asString();
  }
  EXPECT_TRUE(sheet.find("stored")->asBool());
  EXPECT_EQ(sheet.find("freeze")->asString(), "A2");
  std::vector<std::string> rows;
  for (const Json& row : sheet.find("rows")->asArray()) rows.push_back(row.asString());
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "Date | Job | Currency | Hours | Regular hours | Overtime hours | Double-time hours | Gross | "
                      "Withholding | Mileage | Net",
                      "2026-10-20 | Zulu Works | USD | 8 | 8 | 0 | 0 | 200 | 20 | 0 | 180",
                      "2026-10-20 | Zulu Works | USD | 1 | 0 | 1 | 0 | 37.5 | 3.75 | 0 | 33.75",
                      // The carriage return of a line break survives (written as a reference).
                      "2026-10-20 | Beta\r\nSouth\nside | EUR | 2 | 2 | 0 | 0 | 40 | 5 | 0 | 35",
                      "2026-10-21 | Beta\r\nSouth\nside | EUR | 2 | 2 | 0 | 0 | 42 | 5.25 | 5 | 41.75",
                  }));
}

TEST(ExportTest, XlsxDatesAreTheLocalCalendarDay) {
  // East of UTC a day starts on the day before in UTC; the sheet still shows the local day.
  Archive archive = exampleArchive();
  archive.preferences.timeZone = "Asia/Tokyo";
  archive.entries[0].end = at("2026-10-20T21:20:00Z");
  const Json sheet = workbook(fileOf(exported(archive, {{"format", "xlsx"}})));
  if (sheet.find("skip")) GTEST_SKIP() << "openpyxl cannot be imported";
  std::vector<std::string> rows;
  for (const Json& row : sheet.find("rows")->asArray()) rows.push_back(row.asString());
  ASSERT_EQ(rows.size(), 3u);
  // 13:00Z is 22:00 in Tokyo: 2 h on the 20th, 6 h 20 min on the 21st, each below the daily
  // threshold. (openpyxl reads the cells' decimals as doubles.)
  EXPECT_EQ(rows[1], "2026-10-20 | Acme | USD | 2 | 2 | 0 | 0 | 50 | 5 | 0 | 45");
  EXPECT_EQ(rows[2], "2026-10-21 | Acme | USD | 6.333333333333333 | 6.333333333333333 | 0 | 0 | 158.33333333333334 | "
                     "15.833333333333334 | 0 | 142.5");
}

}  // namespace
}  // namespace pellam::agent::testing

namespace pellam::agent::testing {
namespace {

// A workbook whose answer could never be sent is refused by the engine (from its pay lines,
// before its sheet is built), with the answer the host gives a response too large.
TEST(ExportTest, AWorkbookTooLargeToSendIsRefusedByTheEngine) {
  Archive archive = exampleArchive();
  archive.entries.clear();
  // 48,000 hours, four a day: more rows than 32 MB can carry twice in Base64.
  const Instant first = at("1990-01-01T13:00:00Z");
  char id[37];
  for (int n = 0; n < 48000; ++n) {
    std::snprintf(id, sizeof id, "A1A1A1A1-0000-4000-8000-%012X", n + 100);
    const Instant start{first.seconds + double(n / 4) * 86400 + double(n % 4) * 3600};
    Entry entry = plainEntry(uuid(id), kAcme, start, Instant{start.seconds + 3000});
    archive.entries.push_back(entry);
  }
  const Outcome outcome = exported(archive, {{"format", "xlsx"}, {"range", "all"}});
  ASSERT_TRUE(outcome.failure);
  EXPECT_EQ(outcome.failure->code, "response_too_large");
  EXPECT_EQ(outcome.failure->message, "The response exceeds 32 MB. Narrow the export or list filters.");
  EXPECT_FALSE(outcome.failure->retryable);
}

}  // namespace
}  // namespace pellam::agent::testing
