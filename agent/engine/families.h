#pragma once
// One handler per command family, each in its own file under agent/engine/. A handler
// matches the full command name itself and refuses a name under its prefix that it does
// not know with the family's own message.
#include <string_view>

#include "agent/engine/entry_journal.h"
#include "agent/wire/failure.h"
#include "agent/wire/wire.h"
#include "core/instant.h"
#include "core/json.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

Json capabilities(const AgentRequest& request);                           // capabilities.cpp
Json jobs(const AgentRequest& request, Archive& archive, Instant now);     // jobs.cpp
// The two families that change `archive.entries` only through `journal`.
Json entries(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal);  // entries.cpp
Json timer(const AgentRequest& request, Archive& archive, Instant now, EntryJournal& journal);    // timer.cpp
Json preferences(const AgentRequest& request, Archive& archive, Instant now);
Json tags(const AgentRequest& request, Archive& archive, Instant now);
Json filters(const AgentRequest& request, Archive& archive, Instant now);
Json reports(const AgentRequest& request, Archive& archive, Instant now);
Json exportRecords(const AgentRequest& request, Archive& archive, Instant now);  // `export`
Json importRecords(const AgentRequest& request, Archive& archive, Instant now);  // `import.preview`, `import.apply`

// Whether `command` belongs to a family that changes entries only through a journal.
bool journalsEntries(std::string_view command);

// "Unknown command: <name>. Run pellam capabilities or pellam help." (unknown_command).
AgentFailure unknownCommand(std::string_view name);

}  // namespace pellam::agent::engine
