#include "agent/engine/execute.h"

#include <optional>
#include <stdexcept>

#include "agent/engine/archive_snapshot.h"
#include "agent/engine/dispatch.h"
#include "agent/engine/entry_journal.h"
#include "agent/wire/failure_messages.h"
#include "core/validation/validation.h"

namespace pellam::agent::AgentCommands {

namespace {

// Builds without NDEBUG (tests under sanitizers) check that a command whose entries are not
// saved whole really leaves them alone, but for the changes its journal holds.
class EntriesWitness {
 public:
  EntriesWitness(const Archive& archive, bool entriesSaved) {
#ifndef NDEBUG
    if (!entriesSaved) entries_ = archive.entries;
#else
    (void)archive;
    (void)entriesSaved;
#endif
  }

  void check(const Archive& archive, const engine::EntryJournal& journal, const std::string& command) const {
    if (!entries_) return;
    std::vector<Entry> undone = archive.entries;
    engine::EntryJournal(journal).undo(undone);
    if (undone != *entries_) throw std::logic_error(command + " changed entries it neither saved nor recorded.");
  }

 private:
  std::optional<std::vector<Entry>> entries_;
};

// An import brings records as they were kept elsewhere; its running timers resume from their
// original starts rather than being started by the command.
bool restoresRecords(const std::string& command) { return command == "import.apply"; }

// Runs the command with `known` standing for the archive's validation, or validating the
// archive whole without it.
AgentInPlaceExecution executeWith(const AgentRequest& request, const CommandRow* row, Archive& archive, Instant now,
                                  const ValidationIndex* known, ArchiveIndexes* indexes = nullptr) {
  if (request.version != kProtocolVersion) {
    throw AgentFailure::unsupportedVersion(kProtocolVersionMismatchMessage);
  }
  // A valid archive stays valid as time passes (the rule of a timer's age binds only what a
  // change makes), so one known to be valid needs no second look.
  std::vector<Entry> keptEntries;  // without `known`, for the rules of a change
  if (!known) {
    validate(archive);
    keptEntries = untouchedEntriesToKeep(archive.entries);
  }

  // The command works on the archive itself; the snapshot is the copy it can be put
  // back from, and the journal holds the entries changed by the families that keep one.
  const bool entriesSaved = engine::mayChangeEntries(row) && !engine::journalsEntries(row);
  engine::ArchiveSnapshot before(archive, entriesSaved);
  engine::EntryJournal journal;
  const EntriesWitness witness(archive, entriesSaved);
  AgentInPlaceExecution execution;
  bool same = true;
  auto putBack = [&]() noexcept {
    journal.undo(archive.entries);
    before.restoreInto(archive);
  };
  try {
    execution.result = AgentWire::encode(engine::run(request, row, archive, now, journal, indexes));
    witness.check(archive, journal, request.command);
    same = before.matches(archive) && !journal.changed(archive.entries);
    // An unchanged archive passed validation as the input; only a changed one needs the gate.
    if (!same) {
      EntryOrigins origins = before.entries() ? EntryOrigins::between(*before.entries(), archive.entries)
                                              : journal.origins(archive.entries);
      const RunningAge age = restoresRecords(request.command) ? RunningAge::Exempt : RunningAge::Checked;
      if (known) {
        known->checkChange(archive, origins, now, age);
      } else {
        validateChange(archive, ArchiveChange{before.jobs(), before.filters(), keptEntries, origins}, now, age);
      }
      execution.entryOrigins = std::move(origins);
    }
  } catch (...) {
    putBack();
    throw;
  }
  if (request.dryRun) {
    putBack();
    execution.entryOrigins.reset();
  } else {
    execution.changed = !same;
  }
  return execution;
}

}  // namespace

AgentInPlaceExecution executeInPlace(const AgentRequest& request, Archive& archive, Instant now) {
  return executeWith(request, findCommand(request.command), archive, now, nullptr);
}

AgentInPlaceExecution executeInPlace(const AgentRequest& request, Archive& archive, Instant now,
                                     const ValidationIndex& known) {
  return executeWith(request, findCommand(request.command), archive, now, &known);
}

AgentInPlaceExecution executeInPlace(const AgentRequest& request, const CommandRow* row, Archive& archive, Instant now,
                                     const ValidationIndex& known) {
  return executeWith(request, row, archive, now, &known);
}

AgentInPlaceExecution executeInPlace(const AgentRequest& request, const CommandRow* row, Archive& archive, Instant now,
                                     const ValidationIndex& known, ArchiveIndexes& indexes) {
  return executeWith(request, row, archive, now, &known, &indexes);
}

AgentExecution execute(const AgentRequest& request, Archive archive, Instant now) {
  AgentInPlaceExecution execution = executeInPlace(request, archive, now);
  return AgentExecution{std::move(archive), std::move(execution.result), execution.changed};
}

}  // namespace pellam::agent::AgentCommands
