#pragma once
// The plain value records that make up the user's whole data set. Records are compared
// field by field; the rules that decide whether a set of records is acceptable live in
// core/validation/validation.h, their JSON form in core/records/record_json.h.
//
// Every record has two kinds of constructor:
//  - the default constructor gives a blank record for readers to fill in: every field at
//    its new-record value, but the nil UUID for `id` and the 2001 epoch for dates given by
//    the caller or the clock. It never touches the clock or the random generator, so
//    reading 100,000 entries stays cheap.
//  - the constructors with arguments make a new record as the app does: a fresh random
//    `id` and the clock-dependent defaults.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/decimal.h"
#include "core/instant.h"
#include "core/records/record_choices.h"
#include "core/uuid.h"

namespace pellam {

class ReportingCalendar;

// How worked time is rounded.
enum class Rounding { none, nearest, up, down };
// Pay period length.
enum class PaySchedule { weekly, biweekly, semimonthly, monthly };

// Every case, in declared order.
inline constexpr std::array<Rounding, 4> kAllRoundings = {Rounding::none, Rounding::nearest, Rounding::up,
                                                          Rounding::down};
inline constexpr std::array<PaySchedule, 4> kAllPaySchedules = {PaySchedule::weekly, PaySchedule::biweekly,
                                                                PaySchedule::semimonthly, PaySchedule::monthly};

// The JSON text of each case ("None", "Every two weeks", ...).
std::string_view rawValue(Rounding rounding);
std::string_view rawValue(PaySchedule schedule);
// The case whose text equals `text` exactly (case-sensitive, no trimming), or none.
std::optional<Rounding> roundingFromRawValue(std::string_view text);
std::optional<PaySchedule> payScheduleFromRawValue(std::string_view text);

// One employer or client whose hours are tracked.
struct Job {
  Uuid id;
  std::string name;
  std::string color = "blue";
  Decimal rate = 0;
  std::string currency = "USD";
  Decimal withholding = 0;  // percent of gross
  Decimal mileageRate = 0;
  double dailyOvertime = 8;
  double dailyDoubleTime = 12;
  double weeklyOvertime = 40;
  Decimal overtimeMultiplier = Decimal::scaled(15, -1);
  Decimal doubleTimeMultiplier = 2;
  Rounding rounding = Rounding::none;
  std::int64_t roundingMinutes = 6;
  double autoBreakAfterHours = 0;
  double autoBreakMinutes = 30;
  double targetHours = 8;
  PaySchedule schedule = PaySchedule::biweekly;
  Instant payAnchor;
  bool archived = false;
  std::string notes;
  double latitude = 0;
  double longitude = 0;
  double locationRadius = 200;
  std::string locationMode = "Off";

  Job() = default;
  // Copied, moved and destroyed field by field, in core/records/records.cpp: defined once
  // there rather than again in every unit that handles records (so for Entry and Archive).
  Job(const Job&);
  Job(Job&&) noexcept;
  Job& operator=(const Job&);
  Job& operator=(Job&&) noexcept;
  ~Job();
  // A new job: fresh id, `payAnchor` the start of today in the machine's time zone.
  explicit Job(std::string name);

  bool operator==(const Job&) const = default;
};

// One break inside a time entry.
struct TimePause {
  Uuid id;
  Instant start;
  std::optional<Instant> end;  // none while the break is open
  bool paid = false;
  std::string kind = "Break";

  TimePause() = default;
  // A new break with a fresh id.
  explicit TimePause(Instant start, std::optional<Instant> end = std::nullopt, bool paid = false,
                     std::string kind = "Break");

  bool isOpen() const { return !end.has_value(); }

  bool operator==(const TimePause&) const = default;
};

// One span of work for one job.
struct Entry {
  Uuid id;
  Uuid jobID;
  Instant start;
  std::optional<Instant> end;  // none while the timer runs
  std::vector<TimePause> pauses;
  double manualBreakMinutes = 0;
  double timeAdjustmentMinutes = 0;
  Decimal rate = 0;
  Decimal tips = 0;
  double miles = 0;
  Decimal adjustment = 0;
  bool adjustmentTaxable = true;
  std::string comment;
  std::vector<std::string> tags;
  std::string source = "Manual";

  Entry() = default;
  Entry(const Entry&);
  Entry(Entry&&) noexcept;
  Entry& operator=(const Entry&);
  Entry& operator=(Entry&&) noexcept;
  ~Entry();
  // A new entry with a fresh id.
  Entry(Uuid jobID, Instant start, std::optional<Instant> end, Decimal rate);

  bool isRunning() const { return !end.has_value(); }
  // The open break: searching from the last break towards the first, the first one without
  // an end; none when every break is closed.
  std::optional<std::size_t> openPauseIndex() const;
  const TimePause* openPause() const;
  TimePause* openPause();

  bool operator==(const Entry&) const = default;
};

// The user's settings, one per archive.
struct Preferences {
  bool multipleTimers = false;
  bool decimalHours = false;
  std::int64_t weekStartsOn = 2;  // 1 = Sunday ... 7 = Saturday
  std::string timeZone;           // IANA identifier
  bool lockOnLaunch = false;
  bool remindersEnabled = false;
  std::int64_t reminderHour = 9;
  std::int64_t reminderMinute = 0;
  std::vector<std::int64_t> reminderWeekdays = {2, 3, 4, 5, 6};

  // The defaults, with `timeZone` the machine's current zone (read once, here).
  Preferences();

  bool operator==(const Preferences&) const = default;
};

// The calendar of the user's reports: the preferences' time zone and first weekday
// (core/calendar/reporting_calendar.h).
ReportingCalendar reportingCalendar(const Preferences& preferences);

// A saved view of the records.
struct SavedFilter {
  Uuid id;
  std::string name;
  std::string query;
  std::string tag;
  std::optional<Uuid> jobID;
  std::string range = "This week";
  Instant from;
  Instant through;

  SavedFilter() = default;
  // A new saved view: fresh id, `from` and `through` the current instant.
  explicit SavedFilter(std::string name);

  bool operator==(const SavedFilter&) const = default;
};

// The whole data set: the unit that is validated, saved, backed up, exported and imported.
struct Archive {
  static constexpr std::string_view kFormat = "PellamDesktop";
  static constexpr std::int64_t kCurrentVersion = 2;

  std::string format{kFormat};
  std::int64_t version = kCurrentVersion;
  std::vector<Job> jobs;
  std::vector<Entry> entries;
  Preferences preferences;
  std::vector<SavedFilter> filters;

  // Format "PellamDesktop", version 2, no records, `Preferences()`.
  Archive() = default;
  Archive(const Archive&);
  Archive(Archive&&) noexcept;
  Archive& operator=(const Archive&);
  Archive& operator=(Archive&&) noexcept;
  ~Archive();

  // This archive, unchanged, when every validation rule holds; otherwise throws the
  // DataError of the first broken rule (see core/validation/validation.h). Reads the wall clock once.
  Archive validated() const;

  bool operator==(const Archive&) const = default;
};

}  // namespace pellam
