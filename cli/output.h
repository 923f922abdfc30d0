#pragma once
#include <optional>
#include <ostream>
#include <string>

#include "agent/wire/failure.h"
#include "core/json.h"
#include "core/uuid.h"

namespace pellam::cli {

// Prints `text` and a line break when there is one and JSON mode is off; otherwise the
// envelope {schema, ok, data, error, requestID}: compact in JSON mode, pretty otherwise.
void output(std::ostream& out, bool ok, Json data, const std::optional<agent::AgentFailure>& failure,
            const std::optional<Uuid>& requestID, bool json, const std::optional<std::string>& text = std::nullopt);

}  // namespace pellam::cli
