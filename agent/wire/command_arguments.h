#pragma once
// The arguments a command accepts, as its row in the command table lists them. An argument's
// name is the option without its dashes (`daily-overtime`); every value travels as text.
#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "agent/wire/argument_choices.h"

namespace pellam::agent {

// What an argument's text must hold. Every value still travels as text; the type says which
// text the engine accepts, for the places that describe arguments (agent tools, manuals,
// completions).
enum class ArgumentType {
  text,        // any text
  integer,     // a whole number in digits
  decimal,     // a decimal number (money, hours, multipliers, coordinates)
  boolean,     // true or false
  date,        // a calendar day, YYYY-MM-DD
  instant,     // a moment with its offset (ISO 8601)
  dayOrInstant,  // either of the two above: a calendar day, or a moment with its offset
  identifier,  // a record's id (or, where the command says so, a name)
  choice,      // one of `choices`
  json,        // a JSON document (patches, pause lists)
  base64,      // file content in Base64
};

struct CommandArgument {
  std::string_view name;
  // For an option that sets one field of a record: the field's JSON key (`dailyOvertime`).
  std::string_view field{};
  ArgumentType type{ArgumentType::text};
  // For a `choice`: every value it accepts.
  std::span<const std::string_view> choices{};
  // One line on what it holds (no quotes or backslashes: it goes into shell scripts).
  std::string_view summary{};
};

using ArgumentList = std::span<const CommandArgument>;

// A list of arguments written once elsewhere.
template <typename... Arguments>
constexpr std::array<CommandArgument, sizeof...(Arguments)> argumentList(const Arguments&... arguments) {
  return {arguments...};
}

// Arguments that set no record field, by name.
template <typename... Names>
constexpr std::array<CommandArgument, sizeof...(Names)> plainArguments(Names... names) {
  return {CommandArgument{names}...};
}

// One list of the given lists, in order.
template <std::size_t... N>
constexpr std::array<CommandArgument, (N + ... + 0)> joinedArguments(const std::array<CommandArgument, N>&... lists) {
  std::array<CommandArgument, (N + ... + 0)> all{};
  std::size_t at = 0;
  ((std::copy(lists.begin(), lists.end(), all.begin() + static_cast<std::ptrdiff_t>(at)), at += N), ...);
  return all;
}

// The names alone, for places that want only those.
template <std::size_t N>
constexpr std::array<std::string_view, N> argumentNames(const std::array<CommandArgument, N>& list) {
  std::array<std::string_view, N> names{};
  for (std::size_t i = 0; i < N; ++i) names[i] = list[i].name;
  return names;
}

constexpr bool accepts(ArgumentList list, std::string_view name) {
  return std::any_of(list.begin(), list.end(), [&](const CommandArgument& argument) { return argument.name == name; });
}

// Which option sets which record field. A table's options are also the option names its
// commands accept; fields not listed (every `id`, for one) cannot be patched.
inline constexpr std::array<CommandArgument, 24> jobFields = {{
    {"name", "name", ArgumentType::text, {}, "Job name"},
    {"color", "color", ArgumentType::text, {}, "Colour name the app shows the job in"},
    {"rate", "rate", ArgumentType::decimal, {}, "Hourly pay rate"},
    {"currency", "currency", ArgumentType::text, {}, "Three-letter currency code"},
    {"withholding", "withholding", ArgumentType::decimal, {}, "Estimated withholding, percent of gross"},
    {"mileage-rate", "mileageRate", ArgumentType::decimal, {}, "Reimbursement per mile"},
    {"daily-overtime", "dailyOvertime", ArgumentType::decimal, {}, "Daily overtime threshold in hours"},
    {"daily-double-time", "dailyDoubleTime", ArgumentType::decimal, {}, "Daily double-time threshold in hours"},
    {"weekly-overtime", "weeklyOvertime", ArgumentType::decimal, {}, "Weekly overtime threshold in hours"},
    {"overtime-multiplier", "overtimeMultiplier", ArgumentType::decimal, {}, "Pay multiplier for overtime hours"},
    {"double-time-multiplier", "doubleTimeMultiplier", ArgumentType::decimal, {},
     "Pay multiplier for double-time hours"},
    {"rounding", "rounding", ArgumentType::choice, kRoundingTexts, "How worked time is rounded"},
    {"rounding-minutes", "roundingMinutes", ArgumentType::integer, {}, "Rounding increment in minutes"},
    {"auto-break-after-hours", "autoBreakAfterHours", ArgumentType::decimal, {},
     "Hours after which the automatic break applies"},
    {"auto-break-minutes", "autoBreakMinutes", ArgumentType::decimal, {}, "Length of the automatic break in minutes"},
    {"target-hours", "targetHours", ArgumentType::decimal, {}, "Daily target hours"},
    {"schedule", "schedule", ArgumentType::choice, kPayScheduleTexts, "Pay period length"},
    {"pay-anchor", "payAnchor", ArgumentType::instant, {}, "A moment on which a pay period begins"},
    {"archived", "archived", ArgumentType::boolean, {}, "Hide the job from active use"},
    {"notes", "notes", ArgumentType::text, {}, "Free notes"},
    {"latitude", "latitude", ArgumentType::decimal, {}, "Latitude of the workplace in degrees"},
    {"longitude", "longitude", ArgumentType::decimal, {}, "Longitude of the workplace in degrees"},
    {"location-radius", "locationRadius", ArgumentType::decimal, {}, "Radius of the workplace"},
    {"location-mode", "locationMode", ArgumentType::choice, kLocationModes, "What the app does at the workplace"},
}};

inline constexpr std::array<CommandArgument, 14> entryFields = {{
    {"job-id", "jobID", ArgumentType::identifier, {}, "ID of the job the entry belongs to"},
    {"start", "start", ArgumentType::instant, {}, "Clock-in moment"},
    {"end", "end", ArgumentType::instant, {}, "Clock-out moment, or null for a running entry"},
    {"pauses", "pauses", ArgumentType::json, {}, "Breaks as a JSON array"},
    {"break-minutes", "manualBreakMinutes", ArgumentType::decimal, {}, "Break minutes entered by hand"},
    {"time-adjustment-minutes", "timeAdjustmentMinutes", ArgumentType::decimal, {},
     "Minutes added to worked time, negative to take off"},
    {"rate", "rate", ArgumentType::decimal, {}, "Hourly pay rate of this entry"},
    {"tips", "tips", ArgumentType::decimal, {}, "Tips earned"},
    {"miles", "miles", ArgumentType::decimal, {}, "Distance driven for the job"},
    {"adjustment", "adjustment", ArgumentType::decimal, {}, "Money added, negative to take off"},
    {"adjustment-taxable", "adjustmentTaxable", ArgumentType::boolean, {}, "Whether the adjustment is taxable pay"},
    {"comment", "comment", ArgumentType::text, {}, "Free text"},
    {"tags", "tags", ArgumentType::text, {}, "Tags, comma-separated or a JSON array"},
    {"source", "source", ArgumentType::text, {}, "How the entry was made"},
}};

inline constexpr std::array<CommandArgument, 7> filterFields = {{
    {"name", "name", ArgumentType::text, {}, "Saved view name"},
    {"query", "query", ArgumentType::text, {}, "Search text the view keeps"},
    {"tag", "tag", ArgumentType::text, {}, "Tag the view shows, empty for any"},
    {"job-id", "jobID", ArgumentType::identifier, {}, "ID of the job the view shows"},
    {"range", "range", ArgumentType::choice, kSavedFilterRanges, "Range the view shows"},
    {"from", "from", ArgumentType::instant, {}, "Start of a custom range"},
    {"through", "through", ArgumentType::instant, {}, "End of a custom range"},
}};

inline constexpr std::array<CommandArgument, 9> preferenceFields = {{
    {"multiple-timers", "multipleTimers", ArgumentType::boolean, {}, "Allow timers of different jobs at once"},
    {"decimal-hours", "decimalHours", ArgumentType::boolean, {}, "Show hours as decimals in the app"},
    {"week-starts-on", "weekStartsOn", ArgumentType::choice, kWeekDays,
     "First day of the week, 1 Sunday to 7 Saturday"},
    {"time-zone", "timeZone", ArgumentType::text, {}, "Reporting time zone, an IANA name"},
    {"lock-on-launch", "lockOnLaunch", ArgumentType::boolean, {}, "Lock the app when it starts"},
    {"reminders-enabled", "remindersEnabled", ArgumentType::boolean, {}, "Daily reminders on"},
    {"reminder-hour", "reminderHour", ArgumentType::integer, {}, "Reminder hour, 0 to 23"},
    {"reminder-minute", "reminderMinute", ArgumentType::integer, {}, "Reminder minute, 0 to 59"},
    {"reminder-weekdays", "reminderWeekdays", ArgumentType::json, {},
     "Reminder days as a JSON array, 1 Sunday to 7 Saturday"},
}};

// The arguments that select entries by job, dates, text, tag and range, shared by
// entries.list, the reports, export and reports.print.
inline constexpr CommandArgument kJobKey{"job", {}, ArgumentType::identifier, {}, "Job ID or exact name"};
inline constexpr std::array<CommandArgument, 6> selectionArguments = {{
    kJobKey,
    {"from", {}, ArgumentType::dayOrInstant, {}, "First day, or moment, of the selection"},
    {"through", {}, ArgumentType::dayOrInstant, {}, "Last day, or moment before which the selection ends"},
    {"query", {}, ArgumentType::text, {}, "Text in the job name, comment or tags"},
    {"tag", {}, ArgumentType::text, {}, "Tag the entries carry"},
    {"range", {}, ArgumentType::choice, kReportRanges, "Named range around now"},
}};

}  // namespace pellam::agent
