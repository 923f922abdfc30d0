#pragma once
// The one gate every archive passes on its way in or out: a fixed list of rules checked
// in a fixed order; the first broken rule decides the message. Nothing is repaired.
//
// Two rules bind only what a change makes, because time or an older version can break them
// in records nobody touched: a running entry may be at most 366 days old, and every date
// lies in the years 0001 to 9999. A timer left running for a year, or a date saved before
// dates were bounded, must not lock the user out of every record (the file would not load,
// and no command could end the timer or correct the date); so such a record is read,
// listed, reported and saved as it is until a change touches it.
#include <string>
#include <string_view>
#include <vector>

#include "core/data_error.h"
#include "core/instant.h"
#include "core/records/records.h"
#include "core/validation/running_age.h"
#include "core/validation/validation_messages.h"

namespace pellam {

class EntryOrigins;

// Throws DataError with the message of the first broken rule every archive keeps.
void validate(const Archive& archive);

// What a change made of an archive that passed validate(): its saved views and jobs before,
// its entries before (all of them, or at least those untouchedEntriesToKeep() gives), and
// where its entries came from. An entry counts as changed only when no entry before was
// identical to it, whatever the origins say.
struct ArchiveChange {
  const std::vector<Job>& jobsBefore;
  const std::vector<SavedFilter>& filtersBefore;
  const std::vector<Entry>& entriesBefore;
  const EntryOrigins& entries;
};

// The entries that may break a rule that binds only what a change makes (running ones, which
// grow old, and those with a date outside the calendar), as they are.
std::vector<Entry> untouchedEntriesToKeep(const std::vector<Entry>& entries);

// validate(after), then the rules that bind what the change made, with `now` the instant
// against which a changed running entry's age is measured.
void validateChange(const Archive& after, const ArchiveChange& change, Instant now,
                    RunningAge age = RunningAge::Checked);

// The first record of `archive` with a date outside the calendar, as a DataError with
// `message`; for an archive brought in whole, whose every date enters.
void checkDatesWithinCalendar(const Archive& archive, std::string_view message);

// The archive, unchanged, when valid (Archive::validated() does the same).
Archive validated(Archive archive);

}  // namespace pellam
