#pragma once
// The arguments a command accepts, as its row in the command table lists them. An argument's
// name is the option without its dashes (`daily-overtime`); every value travels as text.
#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

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
    {"name", "name"},
    {"color", "color"},
    {"rate", "rate"},
    {"currency", "currency"},
    {"withholding", "withholding"},
    {"mileage-rate", "mileageRate"},
    {"daily-overtime", "dailyOvertime"},
    {"daily-double-time", "dailyDoubleTime"},
    {"weekly-overtime", "weeklyOvertime"},
    {"overtime-multiplier", "overtimeMultiplier"},
    {"double-time-multiplier", "doubleTimeMultiplier"},
    {"rounding", "rounding"},
    {"rounding-minutes", "roundingMinutes"},
    {"auto-break-after-hours", "autoBreakAfterHours"},
    {"auto-break-minutes", "autoBreakMinutes"},
    {"target-hours", "targetHours"},
    {"schedule", "schedule"},
    {"pay-anchor", "payAnchor"},
    {"archived", "archived"},
    {"notes", "notes"},
    {"latitude", "latitude"},
    {"longitude", "longitude"},
    {"location-radius", "locationRadius"},
    {"location-mode", "locationMode"},
}};

inline constexpr std::array<CommandArgument, 14> entryFields = {{
    {"job-id", "jobID"},
    {"start", "start"},
    {"end", "end"},
    {"pauses", "pauses"},
    {"break-minutes", "manualBreakMinutes"},
    {"time-adjustment-minutes", "timeAdjustmentMinutes"},
    {"rate", "rate"},
    {"tips", "tips"},
    {"miles", "miles"},
    {"adjustment", "adjustment"},
    {"adjustment-taxable", "adjustmentTaxable"},
    {"comment", "comment"},
    {"tags", "tags"},
    {"source", "source"},
}};

inline constexpr std::array<CommandArgument, 7> filterFields = {{
    {"name", "name"},
    {"query", "query"},
    {"tag", "tag"},
    {"job-id", "jobID"},
    {"range", "range"},
    {"from", "from"},
    {"through", "through"},
}};

inline constexpr std::array<CommandArgument, 9> preferenceFields = {{
    {"multiple-timers", "multipleTimers"},
    {"decimal-hours", "decimalHours"},
    {"week-starts-on", "weekStartsOn"},
    {"time-zone", "timeZone"},
    {"lock-on-launch", "lockOnLaunch"},
    {"reminders-enabled", "remindersEnabled"},
    {"reminder-hour", "reminderHour"},
    {"reminder-minute", "reminderMinute"},
    {"reminder-weekdays", "reminderWeekdays"},
}};

// The arguments that select entries by job, dates, text, tag and range, shared by
// entries.list, the reports, export and reports.print.
inline constexpr auto selectionArguments = plainArguments("job", "from", "through", "query", "tag", "range");

}  // namespace pellam::agent
