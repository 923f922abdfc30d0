#include "agent/engine/lookup.h"

#include <optional>

#include "agent/engine/arguments.h"

namespace pellam::agent::engine {

std::size_t jobIndex(std::string_view key, const Archive& archive) {
  // A key equal to a canonical identifier text ignoring case is exactly a key that parses
  // as that identifier.
  const std::optional<Uuid> id = Uuid::parse(key);
  std::optional<std::size_t> found;
  bool several = false;
  for (std::size_t i = 0; i < archive.jobs.size(); ++i) {
    const Job& job = archive.jobs[i];
    if ((id && job.id == *id) || job.name == key) {
      if (found) {
        several = true;
        break;
      }
      found = i;
    }
  }
  constexpr const char* message = "Choose a unique job UUID from pellam jobs list.";
  if (several) throw AgentFailure::ambiguousJob(message);
  if (!found) throw AgentFailure::notFound(message);
  return *found;
}

std::size_t entryIndex(const Archive& archive, std::string_view name, const AgentRequest& request) {
  const Uuid id = uuid(required(name, request), name);
  for (std::size_t i = 0; i < archive.entries.size(); ++i) {
    if (archive.entries[i].id == id) return i;
  }
  throw AgentFailure::notFound("That entry no longer exists.");
}

}  // namespace pellam::agent::engine
