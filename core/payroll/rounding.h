#pragma once
// How a job rounds an entry's payable time.
#include <cstdint>

#include "core/records/records.h"

namespace pellam {

// `seconds` rounded to whole steps of `increment` minutes: `nearest` rounds halves away
// from zero (7.5 minutes at a 15-minute step become 15), `up` takes the ceiling, `down`
// the floor. Mode `none` or an increment of 0 or less leave the value as it is. The
// result is never negative.
double apply(Rounding rounding, double seconds, std::int64_t increment);

}  // namespace pellam
