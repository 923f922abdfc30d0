// Archive validation: one broken rule per case, checked against its exact message, plus
// cases where several rules break and the earliest one must win.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>

#include "core/storage/archive_io.h"
#include "core/record_fixtures.h"
#include "core/records/record_json.h"
#include "core/validation/validation.h"
#include "core/validation/validation_index.h"

namespace pellam {
namespace {

using testing::at;
using testing::dec;
using testing::kNow;

const std::string kUnsupported(kUnsupportedFormatMessage);
const std::string kDuplicates(kDuplicateIdentifiersMessage);
const std::string kSavedView(kSavedViewMessage);
const std::string kTimers(kRunningTimersMessage);
const std::string kPreferences(kPreferencesMessage);
const std::string kEntry(kEntryMessage);
const std::string kBreaks(kBreaksMessage);
std::string jobMessage(const std::string& name) { return std::string(kJobSettingsMessagePrefix) + name + "."; }

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInfinity = std::numeric_limits<double>::infinity();

struct Case {
  const char* name;
  std::function<void(Archive&)> change;
  std::string message;  // empty: the archive stays valid
  // The message when a command made the change, where it differs: the rules that bind only
  // what a change makes.
  std::optional<std::string> asChange = std::nullopt;
};

// A small valid archive: two jobs, a finished entry of job A with two breaks
// [10:00-10:30] and [12:00-12:30], a running entry of job B with one open break, and one
// saved view. "Now" is 2026-03-03T11:00Z.
Archive baseArchive() {
  Archive archive;
  archive.preferences = testing::fixedPreferences();
  archive.jobs = {testing::plainJob(testing::kJobA, "Cafe"), testing::plainJob(testing::kJobB, "Studio")};
  Entry done = testing::plainEntry(testing::kEntry1, testing::kJobA, at("2026-03-02T09:00:00Z"),
                                   at("2026-03-02T17:00:00Z"));
  done.pauses = {testing::pause(testing::kPause1, at("2026-03-02T10:00:00Z"), at("2026-03-02T10:30:00Z")),
                 testing::pause(testing::kPause2, at("2026-03-02T12:00:00Z"), at("2026-03-02T12:30:00Z"))};
  Entry running = testing::plainEntry(testing::kEntry2, testing::kJobB, at("2026-03-03T09:00:00Z"), std::nullopt);
  running.pauses = {testing::pause(testing::kPause3, at("2026-03-03T10:00:00Z"), std::nullopt)};
  archive.entries = {done, running};
  SavedFilter filter;
  filter.id = testing::kFilter1;
  filter.name = "Week";
  archive.filters = {filter};
  return archive;
}

Job& jobA(Archive& a) { return a.jobs[0]; }
Entry& done(Archive& a) { return a.entries[0]; }
Entry& running(Archive& a) { return a.entries[1]; }

Entry extraEntry(Uuid jobID, std::optional<Instant> end) {
  return testing::plainEntry(testing::uuid("A1A1A1A1-0000-4000-8000-0000000000FF"), jobID,
                             at("2026-03-03T08:00:00Z"), end);
}

// Each case is checked whole, and as a change of the base archive, which must give the same
// message: with the entries told apart by comparing them, and with every entry counted as changed.
void runCases(const std::vector<Case>& cases) {
  using testing::messageOf;
  const Archive base = baseArchive();
  const ValidationIndex known(base);
  for (const Case& c : cases) {
    Archive archive = base;
    c.change(archive);
    try {
      Archive result = validated(archive);
      EXPECT_TRUE(c.message.empty()) << c.name << ": passed, expected \"" << c.message << "\"";
      EXPECT_EQ(result, archive) << c.name;
    } catch (const DataError& error) {
      EXPECT_EQ(error.what(), c.message) << c.name;
    }
    const std::string asChange = c.asChange.value_or(c.message);
    const EntryOrigins compared = EntryOrigins::between(base.entries, archive.entries);
    EXPECT_EQ(messageOf([&] { known.checkChange(archive, compared, kNow); }), asChange) << c.name << " (as a change)";
    const EntryOrigins all = EntryOrigins::allChanged(base.entries.size(), archive.entries.size());
    EXPECT_EQ(messageOf([&] { known.checkChange(archive, all, kNow); }), asChange) << c.name << " (all changed)";
  }
}

TEST(ValidationTest, TheBaseArchiveAndTheRichFixtureAreValid) {
  EXPECT_NO_THROW(validate(baseArchive()));
  EXPECT_NO_THROW(validate(testing::richArchive()));
  Archive empty;
  empty.preferences = testing::fixedPreferences();
  EXPECT_EQ(validated(empty), empty);
}

TEST(ValidationTest, FormatAndVersion) {
  runCases({
      {"version 1", [](Archive& a) { a.version = 1; }, ""},
      {"version 3", [](Archive& a) { a.version = 3; }, kUnsupported},
      {"version 0", [](Archive& a) { a.version = 0; }, kUnsupported},
      {"version -2", [](Archive& a) { a.version = -2; }, kUnsupported},
      {"other format", [](Archive& a) { a.format = "PellamMobile"; }, kUnsupported},
      {"format case", [](Archive& a) { a.format = "pellamdesktop"; }, kUnsupported},
      {"format blank", [](Archive& a) { a.format = "PellamDesktop "; }, kUnsupported},
  });
}

TEST(ValidationTest, UniqueIdentities) {
  runCases({
      {"two jobs share an id", [](Archive& a) { a.jobs[1].id = a.jobs[0].id; }, kDuplicates},
      {"two entries share an id", [](Archive& a) { a.entries[1].id = a.entries[0].id; }, kDuplicates},
      {"a job and an entry share an id", [](Archive& a) { a.entries[0].id = a.jobs[0].id; }, ""},
      {"two breaks of different entries share an id",
       [](Archive& a) { running(a).pauses[0].id = done(a).pauses[0].id; }, ""},
      {"two filters share an id",
       [](Archive& a) {
         a.filters.push_back(a.filters[0]);
         a.filters[1].name = "Other";
       },
       kSavedView},
  });
}

TEST(ValidationTest, SavedFilters) {
  runCases({
      {"blank name", [](Archive& a) { a.filters[0].name = " \n\t "; }, kSavedView},
      {"name of Unicode spaces", [](Archive& a) { a.filters[0].name = "\xE3\x80\x80\xC2\xA0\xE2\x80\xA8"; },
       kSavedView},
      {"empty name", [](Archive& a) { a.filters[0].name = ""; }, kSavedView},
      {"unknown job", [](Archive& a) { a.filters[0].jobID = testing::kEntry1; }, kSavedView},
      {"known job", [](Archive& a) { a.filters[0].jobID = testing::kJobB; }, ""},
      {"lower-case range", [](Archive& a) { a.filters[0].range = "this week"; }, kSavedView},
      {"every range",
       [](Archive& a) {
         for (std::string_view range : kSavedFilterRanges) {
           SavedFilter f = a.filters[0];
           f.id = Uuid::random();
           f.range = std::string(range);
           a.filters.push_back(f);
         }
       },
       ""},
      {"NaN from", [](Archive& a) { a.filters[0].from = Instant{kNaN}; }, kSavedView},
      {"infinite through", [](Archive& a) { a.filters[0].through = Instant{kInfinity}; }, kSavedView},
      {"through before from", [](Archive& a) { a.filters[0].through = Instant{a.filters[0].from.seconds - 86400}; },
       ""},
  });
}

TEST(ValidationTest, RunningTimers) {
  runCases({
      {"two jobs, multiple timers on",
       [](Archive& a) {
         a.preferences.multipleTimers = true;
         a.entries.push_back(extraEntry(testing::kJobA, std::nullopt));
       },
       ""},
      {"two jobs, multiple timers off", [](Archive& a) { a.entries.push_back(extraEntry(testing::kJobA, std::nullopt)); },
       kTimers},
      {"same job, multiple timers on",
       [](Archive& a) {
         a.preferences.multipleTimers = true;
         a.entries.push_back(extraEntry(testing::kJobB, std::nullopt));
       },
       kTimers},
      {"same job, multiple timers off", [](Archive& a) { a.entries.push_back(extraEntry(testing::kJobB, std::nullopt)); },
       kTimers},
  });
}

TEST(ValidationTest, Preferences) {
  runCases({
      {"week starts on 0", [](Archive& a) { a.preferences.weekStartsOn = 0; }, kPreferences},
      {"week starts on 8", [](Archive& a) { a.preferences.weekStartsOn = 8; }, kPreferences},
      {"week starts on 7", [](Archive& a) { a.preferences.weekStartsOn = 7; }, ""},
      {"unknown zone", [](Archive& a) { a.preferences.timeZone = "Mars/Olympus_Mons"; }, kPreferences},
      {"zone in the wrong case", [](Archive& a) { a.preferences.timeZone = "america/new_york"; }, kPreferences},
      {"empty zone", [](Archive& a) { a.preferences.timeZone = ""; }, kPreferences},
      {"UTC", [](Archive& a) { a.preferences.timeZone = "UTC"; }, ""},
      {"Kolkata", [](Archive& a) { a.preferences.timeZone = "Asia/Kolkata"; }, ""},
      {"hour 24", [](Archive& a) { a.preferences.reminderHour = 24; }, kPreferences},
      {"hour -1", [](Archive& a) { a.preferences.reminderHour = -1; }, kPreferences},
      {"minute 60", [](Archive& a) { a.preferences.reminderMinute = 60; }, kPreferences},
      {"hour 23 minute 59",
       [](Archive& a) {
         a.preferences.reminderHour = 23;
         a.preferences.reminderMinute = 59;
       },
       ""},
      {"weekday 0", [](Archive& a) { a.preferences.reminderWeekdays = {2, 0}; }, kPreferences},
      {"weekday 8", [](Archive& a) { a.preferences.reminderWeekdays = {8}; }, kPreferences},
      {"no weekdays", [](Archive& a) { a.preferences.reminderWeekdays.clear(); }, ""},
      {"repeated weekdays", [](Archive& a) { a.preferences.reminderWeekdays = {1, 1, 7}; }, ""},
  });
}

TEST(ValidationTest, Jobs) {
  const std::string cafe = jobMessage("Cafe");
  runCases({
      {"blank name", [](Archive& a) { jobA(a).name = " \r\n"; }, jobMessage(" \r\n")},
      {"padded name and rate above a million",
       [](Archive& a) {
         jobA(a).name = "  Cafe  ";
         jobA(a).rate = dec("1000000.01");
       },
       jobMessage("  Cafe  ")},
      {"rate a million", [](Archive& a) { jobA(a).rate = dec("1000000"); }, ""},
      {"negative rate", [](Archive& a) { jobA(a).rate = dec("-0.01"); }, cafe},
      {"withholding 100", [](Archive& a) { jobA(a).withholding = dec("100"); }, ""},
      {"withholding above 100", [](Archive& a) { jobA(a).withholding = dec("100.000000000000000000000000001"); },
       cafe},
      {"mileage rate above a million", [](Archive& a) { jobA(a).mileageRate = dec("1000001"); }, cafe},
      {"daily overtime NaN", [](Archive& a) { jobA(a).dailyOvertime = kNaN; }, cafe},
      {"daily double time above 168", [](Archive& a) { jobA(a).dailyDoubleTime = 168.5; }, cafe},
      {"weekly overtime negative", [](Archive& a) { jobA(a).weeklyOvertime = -1; }, cafe},
      {"weekly overtime 168", [](Archive& a) { jobA(a).weeklyOvertime = 168; }, ""},
      {"overtime multiplier below 1", [](Archive& a) { jobA(a).overtimeMultiplier = dec("0.99"); }, cafe},
      {"overtime multiplier above 10",
       [](Archive& a) {
         jobA(a).overtimeMultiplier = dec("10.5");
         jobA(a).doubleTimeMultiplier = dec("10.5");
       },
       cafe},
      {"double time below overtime multiplier", [](Archive& a) { jobA(a).doubleTimeMultiplier = dec("1.49"); },
       cafe},
      {"double time equal to overtime multiplier", [](Archive& a) { jobA(a).doubleTimeMultiplier = dec("1.5"); },
       ""},
      {"double time multiplier above 10", [](Archive& a) { jobA(a).doubleTimeMultiplier = dec("10.01"); }, cafe},
      {"daily double time below daily overtime",
       [](Archive& a) {
         jobA(a).dailyOvertime = 8;
         jobA(a).dailyDoubleTime = 6;
       },
       cafe},
      {"daily double time 0",
       [](Archive& a) {
         jobA(a).dailyOvertime = 8;
         jobA(a).dailyDoubleTime = 0;
       },
       ""},
      {"daily overtime 0",
       [](Archive& a) {
         jobA(a).dailyOvertime = 0;
         jobA(a).dailyDoubleTime = 6;
       },
       ""},
      {"rounding minutes 0", [](Archive& a) { jobA(a).roundingMinutes = 0; }, cafe},
      {"rounding minutes 121", [](Archive& a) { jobA(a).roundingMinutes = 121; }, cafe},
      {"rounding minutes 120", [](Archive& a) { jobA(a).roundingMinutes = 120; }, ""},
      {"auto break after infinite", [](Archive& a) { jobA(a).autoBreakAfterHours = kInfinity; }, cafe},
      {"auto break minutes 1441", [](Archive& a) { jobA(a).autoBreakMinutes = 1441; }, cafe},
      {"target hours 24.5", [](Archive& a) { jobA(a).targetHours = 24.5; }, cafe},
      {"latitude 90.1", [](Archive& a) { jobA(a).latitude = 90.1; }, cafe},
      {"latitude -90", [](Archive& a) { jobA(a).latitude = -90; }, ""},
      {"longitude -180.5", [](Archive& a) { jobA(a).longitude = -180.5; }, cafe},
      {"longitude NaN", [](Archive& a) { jobA(a).longitude = kNaN; }, cafe},
      {"radius 49.9", [](Archive& a) { jobA(a).locationRadius = 49.9; }, cafe},
      {"radius 50", [](Archive& a) { jobA(a).locationRadius = 50; }, ""},
      {"radius above 100000", [](Archive& a) { jobA(a).locationRadius = 100000.5; }, cafe},
      {"location mode lower case", [](Archive& a) { jobA(a).locationMode = "off"; }, cafe},
      {"location mode Remind", [](Archive& a) { jobA(a).locationMode = "Remind"; }, ""},
      {"currency lower case", [](Archive& a) { jobA(a).currency = "usd"; }, ""},
      {"currency two letters", [](Archive& a) { jobA(a).currency = "US"; }, cafe},
      {"currency with digit", [](Archive& a) { jobA(a).currency = "US1"; }, cafe},
      {"currency with non-ASCII letter", [](Archive& a) { jobA(a).currency = "\xC3\x89UR"; }, cafe},
      {"currency four letters", [](Archive& a) { jobA(a).currency = "EURO"; }, cafe},
      {"second job named in the message", [](Archive& a) { a.jobs[1].roundingMinutes = 0; }, jobMessage("Studio")},
      {"first failing job wins",
       [](Archive& a) {
         a.jobs[1].roundingMinutes = 0;
         jobA(a).currency = "X";
       },
       cafe},
      {"archived job with bad settings", [](Archive& a) {
         jobA(a).archived = true;
         jobA(a).targetHours = -1;
       },
       cafe},
  });
}

TEST(ValidationTest, Entries) {
  runCases({
      {"unknown job", [](Archive& a) { done(a).jobID = testing::kFilter1; }, kEntry},
      {"archived job counts", [](Archive& a) { jobA(a).archived = true; }, ""},
      {"NaN start", [](Archive& a) { done(a).start = Instant{kNaN}; }, kEntry},
      {"end before start", [](Archive& a) { done(a).end = at("2026-03-02T08:59:59Z"); }, kEntry},
      {"end equal to start",
       [](Archive& a) {
         done(a).pauses.clear();
         done(a).end = done(a).start;
       },
       ""},
      {"infinite end", [](Archive& a) { done(a).end = Instant{kInfinity}; }, kEntry},
      {"366 days long",
       [](Archive& a) {
         done(a).pauses.clear();
         done(a).end = Instant{done(a).start.seconds + 31'622'400};
       },
       ""},
      {"366 days and a second long",
       [](Archive& a) {
         done(a).pauses.clear();
         done(a).end = Instant{done(a).start.seconds + 31'622'401};
       },
       kEntry},
      {"running 366 days",
       [](Archive& a) {
         running(a).pauses.clear();
         running(a).start = Instant{kNow.seconds - 31'622'400};
       },
       ""},
      {"running 366 days and a second",
       [](Archive& a) {
         running(a).pauses.clear();
         running(a).start = Instant{kNow.seconds - 31'622'401};
       },
       "", kEntry},
      {"running, started in the future", [](Archive& a) {
         running(a).pauses.clear();
         running(a).start = Instant{kNow.seconds + 3600};
       },
       ""},
      {"rate above a million", [](Archive& a) { done(a).rate = dec("1000000.5"); }, kEntry},
      {"negative rate", [](Archive& a) { done(a).rate = dec("-1"); }, kEntry},
      {"negative manual break", [](Archive& a) { done(a).manualBreakMinutes = -0.5; }, kEntry},
      {"huge manual break", [](Archive& a) { done(a).manualBreakMinutes = 1e12; }, ""},
      {"NaN manual break", [](Archive& a) { done(a).manualBreakMinutes = kNaN; }, kEntry},
      {"adjustment of minus a week", [](Archive& a) { done(a).timeAdjustmentMinutes = -10'080; }, ""},
      {"adjustment beyond a week", [](Archive& a) { done(a).timeAdjustmentMinutes = 10'080.5; }, kEntry},
      {"negative miles", [](Archive& a) { done(a).miles = -1; }, kEntry},
      {"miles above a million", [](Archive& a) { done(a).miles = 1'000'001; }, kEntry},
      {"infinite miles", [](Archive& a) { done(a).miles = kInfinity; }, kEntry},
      {"negative tips", [](Archive& a) { done(a).tips = dec("-0.01"); }, kEntry},
      {"tips a million", [](Archive& a) { done(a).tips = dec("1000000"); }, ""},
      {"adjustment of minus a million", [](Archive& a) { done(a).adjustment = dec("-1000000"); }, ""},
      {"adjustment below minus a million", [](Archive& a) { done(a).adjustment = dec("-1000000.01"); }, kEntry},
      {"two open breaks",
       [](Archive& a) {
         running(a).pauses.push_back(testing::pause(testing::kPause1, at("2026-03-03T10:30:00Z"), std::nullopt));
       },
       kEntry},
  });
}

TEST(ValidationTest, Breaks) {
  runCases({
      {"open break after closed ones",
       [](Archive& a) {
         running(a).pauses.insert(running(a).pauses.begin(),
                                  testing::pause(testing::kPause1, at("2026-03-03T09:10:00Z"),
                                                 at("2026-03-03T09:20:00Z")));
       },
       ""},
      {"open break before a closed one",
       [](Archive& a) {
         running(a).pauses.push_back(
             testing::pause(testing::kPause1, at("2026-03-03T10:10:00Z"), at("2026-03-03T10:20:00Z")));
       },
       kBreaks},
      {"closed break starting with an open one",
       [](Archive& a) {
         running(a).pauses.push_back(
             testing::pause(testing::kPause1, at("2026-03-03T10:00:00Z"), at("2026-03-03T10:20:00Z")));
       },
       kBreaks},
      {"open break far after the open one's start",
       [](Archive& a) {
         // Later than any calendar date, yet finite: still after the open break.
         running(a).pauses.push_back(testing::pause(testing::kPause1, Instant{1e15}, Instant{1e15 + 1}));
       },
       kBreaks},
      {"finished entry with an open break", [](Archive& a) { done(a).pauses[1].end.reset(); }, kBreaks},
      {"break before the entry's start",
       [](Archive& a) {
         done(a).pauses = {testing::pause(testing::kPause1, at("2026-03-02T08:59:00Z"), at("2026-03-02T09:30:00Z"))};
       },
       kBreaks},
      {"break ending after the entry", [](Archive& a) { done(a).pauses[1].end = at("2026-03-02T17:00:01Z"); },
       kBreaks},
      {"break ending with the entry", [](Archive& a) { done(a).pauses[1].end = at("2026-03-02T17:00:00Z"); }, ""},
      {"adjacent breaks",
       [](Archive& a) {
         done(a).pauses = {
             testing::pause(testing::kPause1, at("2026-03-02T09:00:00Z"), at("2026-03-02T10:00:00Z")),
             testing::pause(testing::kPause2, at("2026-03-02T10:00:00Z"), at("2026-03-02T10:30:00Z"))};
       },
       ""},
      {"overlapping breaks",
       [](Archive& a) {
         done(a).pauses = {
             testing::pause(testing::kPause1, at("2026-03-02T09:00:00Z"), at("2026-03-02T10:00:00Z")),
             testing::pause(testing::kPause2, at("2026-03-02T09:59:00Z"), at("2026-03-02T10:30:00Z"))};
       },
       kBreaks},
      {"stored out of order", [](Archive& a) { std::swap(done(a).pauses[0], done(a).pauses[1]); }, ""},
      {"overlapping breaks stored out of order",
       [](Archive& a) {
         done(a).pauses = {
             testing::pause(testing::kPause2, at("2026-03-02T09:59:00Z"), at("2026-03-02T10:30:00Z")),
             testing::pause(testing::kPause1, at("2026-03-02T09:00:00Z"), at("2026-03-02T10:00:00Z"))};
       },
       kBreaks},
      {"open break stored before an earlier closed one",
       [](Archive& a) {
         std::vector<TimePause>& pauses = running(a).pauses;
         pauses.push_back(testing::pause(testing::kPause1, at("2026-03-03T09:10:00Z"), at("2026-03-03T09:20:00Z")));
       },
       ""},
      {"zero-length break", [](Archive& a) { done(a).pauses[0].end = done(a).pauses[0].start; }, ""},
      {"break ending before it starts", [](Archive& a) { done(a).pauses[0].end = at("2026-03-02T09:59:00Z"); },
       kBreaks},
      {"NaN break start", [](Archive& a) { done(a).pauses[1].start = Instant{kNaN}; }, kBreaks},
      {"NaN start of a second break stored first",
       [](Archive& a) {
         done(a).pauses.insert(done(a).pauses.begin(), testing::pause(testing::kPause3, Instant{kNaN}, std::nullopt));
         done(a).pauses[0].end = at("2026-03-02T11:00:00Z");
       },
       kBreaks},
      {"infinite break end", [](Archive& a) {
         running(a).pauses[0].end = Instant{kInfinity};
       },
       kBreaks},
  });
}

TEST(ValidationTest, TheFirstBrokenRuleDecides) {
  runCases({
      {"format before duplicates",
       [](Archive& a) {
         a.version = 9;
         a.jobs[1].id = a.jobs[0].id;
       },
       kUnsupported},
      {"duplicate jobs before duplicate filters",
       [](Archive& a) {
         a.entries[1].id = a.entries[0].id;
         a.filters.push_back(a.filters[0]);
       },
       kDuplicates},
      {"saved view before timers",
       [](Archive& a) {
         a.filters[0].range = "Someday";
         a.entries.push_back(extraEntry(testing::kJobB, std::nullopt));
       },
       kSavedView},
      {"timers before preferences",
       [](Archive& a) {
         a.entries.push_back(extraEntry(testing::kJobB, std::nullopt));
         a.preferences.weekStartsOn = 0;
       },
       kTimers},
      {"preferences before jobs",
       [](Archive& a) {
         a.preferences.timeZone = "Nowhere";
         jobA(a).currency = "";
       },
       kPreferences},
      {"jobs before entries",
       [](Archive& a) {
         a.jobs[1].locationMode = "On";
         done(a).miles = -5;
       },
       jobMessage("Studio")},
      {"an entry's breaks before the next entry",
       [](Archive& a) {
         done(a).pauses[0].end = at("2026-03-02T18:00:00Z");
         running(a).tips = dec("-1");
       },
       kBreaks},
      {"an entry before its own breaks",
       [](Archive& a) {
         done(a).pauses[0].end = at("2026-03-02T18:00:00Z");
         done(a).tips = dec("-1");
       },
       kEntry},
      {"two open breaks give the entry message",
       [](Archive& a) { done(a).pauses[0].end.reset(), done(a).pauses[1].end.reset(); }, kEntry},
  });
}

// A date outside the years 0001 to 9999 is kept where it was saved, and refused in whatever a
// change makes: named for an entry, with the job's message for a pay anchor, with the saved
// view's message for a view.
TEST(ValidationTest, DatesOutsideTheCalendar) {
  const Instant year20000{5.68e11};
  const Instant beforeYearOne{-63113904001.0};
  const std::string doneOutside = entryOutsideCalendarMessage(testing::kEntry1);
  runCases({
      {"entry in year 20000",
       [&](Archive& a) {
         done(a).pauses.clear();
         done(a).start = year20000;
         done(a).end = Instant{year20000.seconds + 3600};
       },
       "", doneOutside},
      {"entry ending in year 20000", [&](Archive& a) { done(a).pauses.clear(), done(a).end = year20000; }, kEntry},
      {"entry before year 1",
       [&](Archive& a) {
         done(a).pauses.clear();
         done(a).start = beforeYearOne;
         done(a).end = Instant{beforeYearOne.seconds + 60};
       },
       "", doneOutside},
      {"entry at the first instant of year 1",
       [&](Archive& a) {
         done(a).pauses.clear();
         done(a).start = at("0001-01-01T00:00:00Z");
         done(a).end = at("0001-01-01T01:00:00Z");
       },
       ""},
      {"running entry started in year 20000",
       [&](Archive& a) {
         running(a).pauses.clear();
         running(a).start = year20000;
       },
       "", entryOutsideCalendarMessage(testing::kEntry2)},
      {"pay anchor in year 20000", [&](Archive& a) { a.jobs[1].payAnchor = year20000; }, "", jobMessage("Studio")},
      {"pay anchor at the last second of 9999", [](Archive& a) { a.jobs[1].payAnchor = at("9999-12-31T23:59:59Z"); },
       ""},
      {"pay anchor not finite", [](Archive& a) { a.jobs[0].payAnchor = Instant{kInfinity}; }, "", jobMessage("Cafe")},
      {"saved view from before year 1", [&](Archive& a) { a.filters[0].from = beforeYearOne; }, "", kSavedView},
      {"saved view through year 20000", [&](Archive& a) { a.filters[0].through = year20000; }, "", kSavedView},
  });
}

// What a change left alone keeps passing, whatever it holds; a change that touches the record
// is judged by every rule.
TEST(ValidationTest, RulesOfAChangeBindOnlyWhatItTouches) {
  using testing::messageOf;
  Archive base = baseArchive();
  running(base).pauses.clear();
  running(base).start = Instant{kNow.seconds - 400 * 86400.0};  // a timer left running for 400 days
  base.jobs[0].payAnchor = Instant{5.68e11};
  ASSERT_EQ(base.validated(), base);
  const ValidationIndex known(base);

  Archive other = base;  // a change to the finished entry and to the other job only
  done(other).comment = "mended";
  other.jobs[1].name = "Studio 2";
  const EntryOrigins otherOrigins = EntryOrigins::between(base.entries, other.entries);
  EXPECT_EQ(messageOf([&] { known.checkChange(other, otherOrigins, kNow); }), "");

  Archive timer = base;  // the old timer itself changed, still running
  running(timer).comment = "still running";
  const EntryOrigins timerOrigins = EntryOrigins::between(base.entries, timer.entries);
  EXPECT_EQ(messageOf([&] { known.checkChange(timer, timerOrigins, kNow); }), kEntry);
  // Brought back as it was kept (an import of a backup), the timer's age is not the change's.
  EXPECT_EQ(messageOf([&] { known.checkChange(timer, timerOrigins, kNow, RunningAge::Exempt); }), "");

  Archive job = base;  // the job with the far pay anchor renamed, its anchor kept
  job.jobs[0].name = "Cafe 2";
  const EntryOrigins unchanged = EntryOrigins::unchanged(base.entries.size());
  EXPECT_EQ(messageOf([&] { known.checkChange(job, unchanged, kNow); }), jobMessage("Cafe 2"));
  job.jobs[0].payAnchor = at("2026-03-02T00:00:00Z");
  EXPECT_EQ(messageOf([&] { known.checkChange(job, unchanged, kNow); }), "");
}

// Dates kept as text by another writer, outside the calendar once their offset is applied,
// are read like such numbers: the file stays readable.
TEST(ValidationTest, AKeptTextDateOutsideTheCalendarIsRead) {
  Archive archive = baseArchive();
  done(archive).pauses.clear();
  Json json = toJson(archive, DateStyle::WireText);
  Json& entry = json["entries"].asArray()[0];
  entry["start"] = Json("0001-01-01T00:30:00+01:00");  // 0000-12-31T23:30:00Z
  entry["end"] = Json("0000-12-31T23:45:00Z");
  const Archive read = ArchiveIO::decode(writeJson(json));
  EXPECT_EQ(read.entries[0].start, Instant{-63113904000.0 - 1800});
  EXPECT_EQ(read.entries[0].end, Instant{-63113904000.0 - 900});
}

TEST(ValidationTest, TheMemberFormReadsNoClock) {
  Archive archive = baseArchive();
  running(archive).pauses.clear();
  running(archive).start = Instant{Instant::now().seconds - 31'622'401 - 60};
  EXPECT_EQ(archive.validated(), archive);
}

}  // namespace
}  // namespace pellam
