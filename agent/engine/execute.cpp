#include "agent/engine/execute.h"

#include <optional>
#include <stdexcept>

#include "agent/engine/archive_snapshot.h"
#include "agent/engine/dispatch.h"
#include "core/validation.h"

namespace pellam::agent::AgentCommands {

namespace {

// Builds without NDEBUG (tests under sanitizers) check that a command said not to write
// the entries really leaves them alone.
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

  void check(const Archive& archive, const std::string& command) const {
    if (entries_ && *entries_ != archive.entries) {
      throw std::logic_error(command + " changed entries it is listed as leaving alone.");
    }
  }

 private:
  std::optional<std::vector<Entry>> entries_;
};

}  // namespace

AgentInPlaceExecution executeInPlace(const AgentRequest& request, Archive& archive, Instant now) {
  if (request.version != kProtocolVersion) {
    throw AgentFailure("unsupported_version", "Update Vantry and the CLI to the same protocol version.", false);
  }
  validate(archive, now);

  // The command works on the archive itself; the snapshot is the copy it can be put
  // back from.
  const bool entriesSaved = engine::mayChangeEntries(request.command);
  engine::ArchiveSnapshot before(archive, entriesSaved);
  const EntriesWitness witness(archive, entriesSaved);
  AgentInPlaceExecution execution;
  bool same = true;
  try {
    execution.result = AgentWire::encode(engine::run(request, archive, now));
    witness.check(archive, request.command);
    same = before.matches(archive);
    // An unchanged archive passed validation as the input; only a changed one needs the gate.
    if (!same) validate(archive, now);
  } catch (...) {
    before.restoreInto(archive);
    throw;
  }
  if (request.dryRun) {
    before.restoreInto(archive);
  } else {
    execution.changed = !same;
  }
  return execution;
}

AgentExecution execute(const AgentRequest& request, Archive archive, Instant now) {
  AgentInPlaceExecution execution = executeInPlace(request, archive, now);
  return AgentExecution{std::move(archive), std::move(execution.result), execution.changed};
}

}  // namespace pellam::agent::AgentCommands
