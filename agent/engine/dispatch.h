#pragma once
// Runs a command in the family the command table (agent/wire/command_table.h) gives it.
#include "agent/engine/entry_journal.h"
#include "agent/wire/wire.h"
#include "core/instant.h"
#include "core/json.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

// The command's result document; changes `archive` in place. Names outside every family
// fail with unknown_command, unknown names inside a family with that family's message. The
// timer and entries families record their changes of `archive.entries` in `journal`.
Json run(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal);
// The same where nothing needs to be put back.
Json run(const AgentRequest& request, Archive& archive, Instant now);

}  // namespace pellam::agent::engine
