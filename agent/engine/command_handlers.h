#pragma once
// The shape of the engine's command handlers: each family file (agent/engine/<family>.cpp)
// exports one table that names the function of each of its commands; the dispatcher
// (agent/engine/dispatch.cpp) finds a command's function through its row in the command table.
#include <optional>
#include <span>
#include <string_view>

#include "agent/engine/archive_indexes.h"
#include "agent/engine/entry_journal.h"
#include "agent/wire/wire.h"
#include "core/instant.h"
#include "core/json.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

// What one command runs with. Its arguments are already checked against its row.
struct CommandCall {
  const AgentRequest& request;
  Archive& archive;  // changed in place
  Instant now;
  // The timer and entries families record their changes of `archive.entries` here.
  EntryJournal& journal;
  // What is kept of `archive` between commands, when its owner keeps it; only commands that
  // change nothing may read it.
  ArchiveIndexes* indexes = nullptr;
};

using CommandHandler = Json (*)(const CommandCall& call);

struct HandlerRow {
  std::string_view command;
  CommandHandler handler;
};

struct FamilyHandlers {
  std::span<const HandlerRow> handlers;
  // For the families that take every name under their prefix: the message that refuses a
  // name they do not know ("Unknown jobs operation."); none for the others.
  std::optional<std::string_view> unknownOperation;
};

}  // namespace pellam::agent::engine
