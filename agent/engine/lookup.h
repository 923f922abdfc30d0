#pragma once
// Finding the record a command names.
#include <cstddef>
#include <string_view>

#include "agent/wire/wire.h"
#include "core/records/records.h"

namespace pellam::agent::engine {

// The position in archive.jobs of the one job whose identifier equals `key` in any letter
// case, or whose name equals `key` exactly. None fails with not_found, several with
// ambiguous_job.
std::size_t jobIndex(std::string_view key, const Archive& archive);

// The position in archive.entries of the first entry whose identifier is in argument
// `name` (required, a UUID); none fails with not_found.
std::size_t entryIndex(const Archive& archive, std::string_view name, const AgentRequest& request);

}  // namespace pellam::agent::engine
