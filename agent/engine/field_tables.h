#pragma once
// Which option sets which record field. A table's options are also the option names its
// commands accept; fields not listed (every `id`, for one) cannot be patched.
#include <array>
#include <string_view>

namespace pellam::agent::engine {

struct FieldRow {
  std::string_view option;  // the argument name, as in --daily-overtime
  std::string_view field;   // the record's JSON key, as in dailyOvertime
};

inline constexpr std::array<FieldRow, 24> jobFields = {{
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

inline constexpr std::array<FieldRow, 14> entryFields = {{
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

inline constexpr std::array<FieldRow, 7> filterFields = {{
    {"name", "name"},
    {"query", "query"},
    {"tag", "tag"},
    {"job-id", "jobID"},
    {"range", "range"},
    {"from", "from"},
    {"through", "through"},
}};

inline constexpr std::array<FieldRow, 9> preferenceFields = {{
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

// The model fields that patches treat as timestamps, whichever record holds them.
inline constexpr std::array<std::string_view, 5> dateFields = {"start", "end", "payAnchor", "from", "through"};

}  // namespace pellam::agent::engine
