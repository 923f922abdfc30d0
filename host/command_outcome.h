#pragma once
#include <functional>
#include <optional>
#include <string>

#include "agent/wire.h"
#include "core/instant.h"
#include "core/records.h"

namespace pellam::host {

// A change of the data file that a command asks for.
struct ArchiveChange {
  Archive archive;
  // Replace an unreadable data file (keeping a copy in Recovery) instead of saving over a
  // readable one with a backup first.
  bool replacesUnreadableFile = false;
};

// What one command produced: its result document and, when it changes the records, the
// archive to save before the answer is published.
struct CommandOutcome {
  std::string result;
  std::optional<ArchiveChange> change;
};

// The command engine as the host calls it: the request, the current archive, the time.
using Engine = std::function<CommandOutcome(const agent::AgentRequest&, const Archive&, Instant)>;

// The real engine (agent/engine), adapted.
Engine commandEngine();

}  // namespace pellam::host
