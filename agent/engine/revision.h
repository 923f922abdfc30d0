#pragma once
// Revision tokens for optimistic concurrency: SHA-256 over a record's complete JSON form
// (keys sorted, dates as seconds since 2001), so any change of any field changes the
// token and equal records always share one.
#include <string>

#include "agent/wire/wire.h"
#include "core/json.h"
#include "core/records/record_json.h"

namespace pellam::agent::engine {

// The token of a record already in its archive JSON form: 64 lower-case hex digits.
std::string revisionOfJson(const Json& archiveForm);

template <typename Record>
std::string revision(const Record& record) {
  return revisionOfJson(toJson(record, DateStyle::ArchiveNumbers));
}

// When the request has `if-match`, it must equal `currentRevision` exactly; otherwise the
// command fails with a retryable conflict.
void matchRevision(const AgentRequest& request, const std::string& currentRevision);

// The --if-match check against the record as it is stored now.
template <typename Record>
void match(const AgentRequest& request, const Record& record) {
  if (request.arguments.count("if-match") == 0) return;
  matchRevision(request, revision(record));
}

}  // namespace pellam::agent::engine
