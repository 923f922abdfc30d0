#pragma once
// How long an entry may last (366 days), and the one rule of it that depends on the time: a
// running entry grows older every day, so its age is checked only where a change makes it.
#include <optional>

#include "core/instant.h"
#include "core/records/records.h"

namespace pellam {

// Whether a change's running entries are held to the age limit. A restored backup brings its
// timers back from their original starts, so a timer it holds is not the change's doing.
enum class RunningAge { Checked, Exempt };

// Whether an entry from `start` to `end` (running at `now` when it has no end) lasts at most
// 366 days.
bool withinAgeLimit(Instant start, const std::optional<Instant>& end, Instant now);

// Whether a running entry has, at `now`, run longer than an entry may last (366 days).
bool hasOutrunLengthLimit(const Entry& entry, Instant now);

}  // namespace pellam
