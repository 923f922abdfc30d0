#pragma once
// Runs a command through its row in the command table (agent/wire/command_table.h): the row
// names the handler, from the handler table of its family (agent/engine/families.h).
#include <span>

#include "agent/engine/command_handlers.h"
#include "agent/engine/entry_journal.h"
#include "agent/wire/command_table.h"
#include "agent/wire/wire.h"
#include "core/instant.h"
#include "core/json.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

// The command's result document; changes `archive` in place. `row` is the request's row,
// null for a name outside the catalogue. Arguments the row does not list are refused before
// the handler runs. Names outside every family fail with unknown_command, unknown names
// inside a family (app commands included) with that family's message. The timer and entries
// families record their changes of `archive.entries` in `journal`.
// `indexes`, when given, stand for `archive` and are handed to read-only commands only.
Json run(const AgentRequest& request, const CommandRow* row, Archive& archive, Instant now, EntryJournal& journal,
         ArchiveIndexes* indexes = nullptr);
// The same, looking the row up, where nothing needs to be put back.
Json run(const AgentRequest& request, Archive& archive, Instant now);

// The engine's handler of an engine command's row; null for any other row.
CommandHandler handlerFor(const CommandRow& row);

// Every family's handler table.
std::span<const FamilyHandlers* const> familyHandlers();

// Whether the command belongs to a family that changes entries only through a journal.
bool journalsEntries(const CommandRow* row);

}  // namespace pellam::agent::engine
