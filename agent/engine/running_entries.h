#pragma once
// Ending an entry and preparing one to run: the two routines every command that starts or
// stops a timer goes through, the timer commands and the entries commands alike.
#include "agent/engine/entry_journal.h"
#include "core/instant.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

// Ends `entry` at `at`, and every break of it that is still open at `at` too; neither ends
// before it started (a clock running behind gives an entry, or a break, of zero length).
void closeEntry(Entry& entry, Instant at);

// Refuses, naming the two ways to mend it, to end or change a timer that has run longer than
// an entry may last (366 days): ending it now would record more than any entry may hold, and
// ending it at the limit would pay hours nobody worked.
void refuseOutrunTimer(const Entry& entry, Instant now);

// For an entry about to be stored as running (nothing otherwise): its job must exist and be
// active, else invalid_argument "Unarchive this job before running a timer."; with one
// timer at a time (`multipleTimers` false), every other running entry of the archive is
// ended at `now`, in stored order, through `journal` (refused as refuseOutrunTimer says
// when one of them has run too long). `entry` itself may already be stored
// (an update): the stored copy, found by its identifier, is left alone.
void prepareRunning(const Entry& entry, Archive& archive, Instant now, EntryJournal& journal);

}  // namespace pellam::agent::engine
