#pragma once
// The values of the arguments that take one of a fixed few, each list once. The command table
// hands them out as an argument's choices (agent tools, manuals, completions); the engine's
// checks of the same arguments are held to them by the agent tests.
#include <array>
#include <string_view>

#include "core/records/record_choices.h"

namespace pellam::agent {

// `range` of a selection (compared after lower-casing).
inline constexpr std::array<std::string_view, 6> kReportRanges = {"all", "today", "week", "month", "year",
                                                                  "pay-period"};

// `format` of export (`text` is an alias of `txt`).
inline constexpr std::array<std::string_view, 5> kExportFormats = {"json", "csv", "xlsx", "txt", "text"};

// `format` of import.preview and import.apply.
inline constexpr std::array<std::string_view, 2> kImportFormats = {"json", "csv"};

// Week days by number, 1 Sunday through 7 Saturday (`week-starts-on`).
inline constexpr std::array<std::string_view, 7> kWeekDays = {"1", "2", "3", "4", "5", "6", "7"};

// The fields a record holds as one of a few texts.
using pellam::kLocationModes;
using pellam::kPayScheduleTexts;
using pellam::kRoundingTexts;
using pellam::kSavedFilterRanges;

}  // namespace pellam::agent
