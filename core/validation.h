#pragma once
// The one gate every archive passes on its way in or out: a fixed list of rules checked
// in a fixed order; the first broken rule decides the message. Nothing is repaired.
#include <string_view>

#include "core/data_error.h"
#include "core/instant.h"
#include "core/records.h"

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

// Throws DataError with the message of the first broken rule. `now` is the wall-clock
// instant against which a running entry's age is measured.
void validate(const Archive& archive, Instant now);
// The same, reading the wall clock once.
void validate(const Archive& archive);

// The archive, unchanged, when valid (Archive::validated() does the same).
Archive validated(Archive archive);
Archive validated(Archive archive, Instant now);

}  // namespace pellam
