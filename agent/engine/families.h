#pragma once
// The handler table of each command family, each in its own file under agent/engine/ (the
// capabilities command is a family of one).
#include <span>
#include <string_view>

#include "agent/engine/command_handlers.h"
#include "agent/wire/failure.h"

namespace pellam::agent::engine {

extern const FamilyHandlers capabilitiesFamily;  // capabilities.cpp
extern const FamilyHandlers jobsFamily;          // jobs.cpp
extern const FamilyHandlers entriesFamily;       // entries.cpp: entries changed only through the journal
extern const FamilyHandlers timerFamily;         // timer.cpp: entries changed only through the journal
extern const FamilyHandlers preferencesFamily;   // preferences.cpp
extern const FamilyHandlers tagsFamily;          // tags.cpp
extern const FamilyHandlers filtersFamily;       // filters.cpp
extern const FamilyHandlers reportsFamily;       // reports.cpp
extern const FamilyHandlers exportFamily;        // export.cpp: `export`
extern const FamilyHandlers importFamily;        // import.cpp: `import.preview`, `import.apply`

// "Unknown command: <name>. Run pellam capabilities or pellam help." (unknown_command).
AgentFailure unknownCommand(std::string_view name);

}  // namespace pellam::agent::engine
