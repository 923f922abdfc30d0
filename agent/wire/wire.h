#pragma once
// The records that cross between the command-line program and the app, and what both
// sides must agree on byte for byte: JSON settings, size limits, the request fingerprint.
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "agent/wire/failure.h"
#include "core/instant.h"
#include "core/json.h"
#include "core/uuid.h"

namespace pellam::agent {

inline constexpr std::int64_t kProtocolVersion = 1;

struct AgentRequest {
  std::int64_t version = kProtocolVersion;
  Uuid id;
  Instant createdAt;
  std::string command;
  std::map<std::string, std::string> arguments;
  bool dryRun = false;

  bool operator==(const AgentRequest&) const = default;
};

struct AgentResponse {
  std::int64_t version = kProtocolVersion;
  Uuid id;
  bool ok = false;
  std::optional<std::string> data;  // the result document's bytes; Base64 in JSON
  std::optional<AgentFailure> error;
  std::optional<std::string> requestFingerprint;

  bool operator==(const AgentResponse&) const = default;
};

struct AgentStatus {
  std::int64_t version = kProtocolVersion;
  bool enabled = false;
  bool locked = false;
  Instant updatedAt;
  std::optional<std::string> websiteURL;
  std::string appVersion;

  bool operator==(const AgentStatus&) const = default;
};

// A record's JSON that cannot be decoded: a missing key, a wrong type, a bad date or UUID.
class WireDecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace AgentWire {

inline constexpr std::size_t maximumRequestBytes = 1'048'576;
inline constexpr std::size_t maximumImportBytes = 600'000;
// The largest answer either side writes or reads; a larger one is response_too_large.
inline constexpr std::size_t maximumResponseBytes = 32'000'000;

// JSON form of each record (dates as internet date-time, UUIDs upper-case, data as Base64,
// absent optionals left out).
Json toJson(const AgentRequest& request);
Json toJson(const AgentResponse& response);
Json toJson(const AgentStatus& status);
Json toJson(const AgentFailure& failure);

// Compact JSON with sorted keys and unescaped slashes.
std::string encode(const Json& value);
// A response's bytes, written straight out: its data (an export's answer can be tens of
// megabytes) is Base64-encoded in place, never held twice. The same bytes as its JSON form.
std::string encode(const AgentResponse& response);
// The exact length encode(response) gives, worked out without building it.
std::size_t encodedSize(const AgentResponse& response);
template <typename Record>
std::string encode(const Record& record) {
  return encode(toJson(record));
}

// Each throws WireDecodeError (or JsonParseError for text that is not JSON).
AgentRequest decodeRequest(std::string_view bytes);
AgentResponse decodeResponse(std::string_view bytes);
AgentStatus decodeStatus(std::string_view bytes);
AgentRequest requestFromJson(const Json& json);
AgentResponse responseFromJson(const Json& json);
AgentStatus statusFromJson(const Json& json);
AgentFailure failureFromJson(const Json& json);

// SHA-256 over the canonical {arguments, command, dryRun, version} text, lower-case hex.
std::string fingerprint(const AgentRequest& request);

}  // namespace AgentWire
}  // namespace pellam::agent
