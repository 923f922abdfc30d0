#pragma once
// The command engine's entry points for the host: one named command against an in-memory
// archive, as a pure function of the request, the archive and the time.
#include <optional>
#include <string>

#include "agent/engine/archive_indexes.h"
#include "agent/wire/command_table.h"
#include "agent/wire/wire.h"
#include "core/instant.h"
#include "core/records/entry_origins.h"
#include "core/records/records.h"
#include "core/validation/validation_index.h"

namespace pellam::agent {

// The outcome of one engine run; never encoded.
struct AgentExecution {
  Archive archive;       // after the command; for a dry run, the input archive as it was
  std::string result;    // the command's result document, UTF-8 JSON
  bool changed = false;  // the archive differs from the input and must be saved
};

// The outcome of a run in place: the archive itself holds the result.
struct AgentInPlaceExecution {
  std::string result;
  bool changed = false;
  // When changed: where each entry came from among those the archive held before.
  std::optional<EntryOrigins> entryOrigins;
};

namespace AgentCommands {

// Checks the protocol version, validates the archive, runs the command, validates the
// result and reports whether anything changed. Throws AgentFailure for the engine's own
// rules; DataError (invalid archive) and JsonParseError (a patch that is not JSON) pass
// through for the host to report. `now` stands for the current time in every
// time-dependent rule, validation's age limit of running entries included.
AgentExecution execute(const AgentRequest& request, Archive archive, Instant now);

// The same on the caller's own archive, without copying it whole: on success it holds the
// command's result (for a dry run, what it held before); when anything throws it is left
// exactly as it was.
AgentInPlaceExecution executeInPlace(const AgentRequest& request, Archive& archive, Instant now);

// The same on an archive whose validation `known` stands for: the archive is not validated
// whole again, only where the command changed it (with the same messages). `known` is left
// as it is; the caller adopts the change into it (ValidationIndex::adopt with entryOrigins).
AgentInPlaceExecution executeInPlace(const AgentRequest& request, Archive& archive, Instant now,
                                     const ValidationIndex& known);

// The same for a request whose row the caller has already looked up in the command table
// (null for a name outside the catalogue), as the host does once per request.
AgentInPlaceExecution executeInPlace(const AgentRequest& request, const CommandRow* row, Archive& archive, Instant now,
                                     const ValidationIndex& known);
// The same with what the caller keeps of the archive between commands (agent/engine/
// archive_indexes.h), which read-only commands read instead of looking at every entry. The
// caller tells `indexes` of a change it keeps (ArchiveIndexes::adopt with entryOrigins).
AgentInPlaceExecution executeInPlace(const AgentRequest& request, const CommandRow* row, Archive& archive, Instant now,
                                     const ValidationIndex& known, ArchiveIndexes& indexes);

}  // namespace AgentCommands
}  // namespace pellam::agent
