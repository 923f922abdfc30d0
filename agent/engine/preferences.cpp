// preferences.get and preferences.set: the archive's one Preferences record. It has no
// identifier; its revision covers the whole record.
#include "agent/engine/arguments.h"
#include "agent/engine/families.h"
#include "agent/engine/patch.h"
#include "agent/engine/record_result.h"

namespace pellam::agent::engine {

namespace {

// No preferences field accepts a JSON null.
Json get(const AgentRequest& request, const Archive& archive) {
  return record("preferences", archive.preferences, request);
}

// The values themselves (week start, zone, reminder times and days) are checked by archive
// validation after the command.
Json set(const AgentRequest& request, Archive& archive) {
  match(request, archive.preferences);
  archive.preferences = patch(request, preferenceFields, kNoNullable, archive.preferences);
  return record("preferences", archive.preferences, request);
}

constexpr HandlerRow kPreferencesHandlers[] = {
    {"preferences.get", [](const CommandCall& c) { return get(c.request, c.archive); }},
    {"preferences.set", [](const CommandCall& c) { return set(c.request, c.archive); }},
};

}  // namespace

const FamilyHandlers preferencesFamily{kPreferencesHandlers, "Unknown preferences operation."};

}  // namespace pellam::agent::engine
