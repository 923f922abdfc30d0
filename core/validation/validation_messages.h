#pragma once
// What each validation rule says when it is broken: the whole check (validation.h) and the
// rules one by one (validation_rules.h) name the same sentences.
#include <string>
#include <string_view>

#include "core/uuid.h"

namespace pellam {

// The messages, one per rule, in rule order. A job message is kJobSettingsMessagePrefix +
// the job's name exactly as stored + ".".
inline constexpr std::string_view kUnsupportedFormatMessage = "Unsupported backup format or version.";
inline constexpr std::string_view kDuplicateIdentifiersMessage = "The file contains duplicate identifiers.";
inline constexpr std::string_view kSavedViewMessage = "A saved view contains an invalid name, job, or date range.";
inline constexpr std::string_view kRunningTimersMessage =
    "Keep one running timer per job. Enable multiple job timers in Settings to run different jobs together.";
inline constexpr std::string_view kPreferencesMessage = "Invalid preferences.";
inline constexpr std::string_view kJobSettingsMessagePrefix = "Check the pay, rounding, or location settings for ";
inline constexpr std::string_view kEntryMessage = "A time entry contains invalid dates, amounts, or a missing job.";
inline constexpr std::string_view kBreaksMessage =
    "Breaks must be ordered, non-overlapping, and inside their time entry.";

// A changed entry with a date outside the calendar: names it and the two ways to mend it.
std::string entryOutsideCalendarMessage(const Uuid& id);

}  // namespace pellam
