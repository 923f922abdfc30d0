#pragma once
// The single-record result {<key>: record, revision, dryRun} of every show, get, create,
// update, copy, set and delete.
#include <string>
#include <string_view>

#include "agent/engine/revision.h"
#include "agent/wire/wire.h"
#include "core/json.h"
#include "core/records/record_json.h"

namespace pellam::agent::engine {

// `wireForm` is the record's wire JSON (dates as ISO 8601 text).
Json recordResult(std::string_view key, Json wireForm, std::string revision, const AgentRequest& request);

template <typename Record>
Json record(std::string_view key, const Record& value, const AgentRequest& request) {
  return recordResult(key, toJson(value, DateStyle::WireText), revision(value), request);
}

}  // namespace pellam::agent::engine
