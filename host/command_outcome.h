#pragma once
#include <functional>
#include <optional>
#include <string>

#include "agent/engine/archive_indexes.h"
#include "agent/wire/command_table.h"
#include "agent/wire/wire.h"
#include "core/records/entry_origins.h"
#include "core/instant.h"
#include "core/records/records.h"
#include "core/validation/validation_index.h"

namespace pellam::host {

// A whole new archive to save in place of the current one (a restored backup).
struct ArchiveReplacement {
  Archive archive;
  // Replace an unreadable data file (keeping a copy in Recovery) instead of saving over a
  // readable one with a backup first.
  bool replacesUnreadableFile = false;
};

// What one command produced: its result document and whether the records changed, either
// in place in the archive the command was given or as a whole replacement.
struct CommandOutcome {
  std::string result;
  bool changedInPlace = false;
  std::optional<ArchiveReplacement> replacement;
  // With a change in place, when the engine knows it: where each entry came from, the change
  // already checked against the ValidationIndex the engine was given. Without it the change
  // is validated and encoded whole before it is saved.
  std::optional<EntryOrigins> entryOrigins;

  bool changes() const { return changedInPlace || replacement.has_value(); }
};

// The command engine as the host calls it: the request and its row in the command table
// (null for a name outside the catalogue), the host's own archive (changed in place when the
// command changes the records; left exactly as it was when it throws), what the host knows
// of its validity, what the engine keeps of it between commands (told of every change the
// host keeps), the time.
using Engine = std::function<CommandOutcome(const agent::AgentRequest&, const agent::CommandRow*, Archive&,
                                            const ValidationIndex&, agent::ArchiveIndexes&, Instant)>;

// The real engine (agent/engine), adapted.
Engine commandEngine();

}  // namespace pellam::host
