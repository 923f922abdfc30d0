#pragma once
// The texts a record's enumerated text fields may hold, each list once: the records' JSON form
// and their validation check against them, and the command table offers them as the values of
// the options that set those fields.
#include <array>
#include <string_view>

namespace pellam {

// Job.rounding, in the order of the Rounding cases.
inline constexpr std::array<std::string_view, 4> kRoundingTexts = {"None", "Nearest", "Up", "Down"};

// Job.schedule, in the order of the PaySchedule cases.
inline constexpr std::array<std::string_view, 4> kPayScheduleTexts = {"Weekly", "Every two weeks", "Twice a month",
                                                                      "Monthly"};

// Job.locationMode.
inline constexpr std::array<std::string_view, 3> kLocationModes = {"Off", "Remind", "Automatic"};

// The `range` texts a saved view may hold.
inline constexpr std::array<std::string_view, 7> kSavedFilterRanges = {
    "Today", "This week", "This month", "This year", "Pay period", "All time", "Custom"};

}  // namespace pellam
