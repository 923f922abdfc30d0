#pragma once
// The CSV file of time entries: a header row, then one row per finished entry in the order
// given (running entries are left out). Every field is quoted; rows end with CR LF, the
// last one included. Columns:
//   Entry ID, Job, Start, End, Break Minutes, Time Adjustment Minutes, Rate, Tips, Miles,
//   Adjustment, Taxable, Tags, Comment, Currency, Pauses JSON
// Dates are UTC with whole seconds and Z; minutes and miles are doubles in shortest
// round-trip form keeping ".0" on whole numbers; money is plain decimal text; Tags and
// Pauses JSON are compact JSON with "/" written as "\/" (a pause's end left out while it
// is open). An entry whose job is missing has an empty Job and the currency USD.
#include <span>
#include <string>

#include "core/records/records.h"

namespace pellam::CSV {

std::string exportEntries(const Archive& archive, std::span<const Entry* const> entries);

}  // namespace pellam::CSV
