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
  static const ArgumentNames allowed{};
  checkArguments(request, allowed);
  return record("preferences", archive.preferences, request);
}

// The values themselves (week start, zone, reminder times and days) are checked by archive
// validation after the command.
Json set(const AgentRequest& request, Archive& archive) {
  static const ArgumentNames allowed{preferenceFields, {"patch", "if-match"}};
  checkArguments(request, allowed);
  match(request, archive.preferences);
  archive.preferences = patch(request, preferenceFields, kNoNullable, archive.preferences);
  return record("preferences", archive.preferences, request);
}

}  // namespace

Json preferences(const AgentRequest& request, Archive& archive, Instant) {
  const std::string& command = request.command;
  if (command == "preferences.get") return get(request, archive);
  if (command == "preferences.set") return set(request, archive);
  throw AgentFailure::invalidArgument("Unknown preferences operation.");
}

}  // namespace pellam::agent::engine
