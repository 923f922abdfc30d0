#include "agent/wire/wire.h"

#include "core/base64.h"
#include "core/sha256.h"

namespace pellam::agent::AgentWire {

namespace {

Json argumentsJson(const std::map<std::string, std::string>& arguments) {
  Json object = Json::object();
  for (const auto& [name, value] : arguments) object[name] = value;
  return object;
}

// Reads the members of one record, naming the key that is missing or of the wrong type.
class Fields {
 public:
  Fields(const Json& json, const char* record) : json_(json), record_(record) {
    if (!json.isObject()) throw WireDecodeError(std::string("The ") + record + " is not a JSON object.");
  }

  const Json* optional(const char* key) const {
    const Json* value = json_.find(key);
    return value && !value->isNull() ? value : nullptr;
  }

  const Json& required(const char* key) const {
    const Json* value = json_.find(key);
    if (!value || value->isNull()) throw error(key, "is missing");
    return *value;
  }

  std::int64_t integer(const char* key) const {
    const Json& value = required(key);
    if (!value.isNumber() || !value.asInt64()) throw error(key, "must be a whole number");
    return *value.asInt64();
  }

  bool boolean(const char* key) const { return boolean(required(key), key); }
  bool boolean(const Json& value, const char* key) const {
    if (!value.isBool()) throw error(key, "must be true or false");
    return value.asBool();
  }

  std::string string(const char* key) const { return string(required(key), key); }
  std::string string(const Json& value, const char* key) const {
    if (!value.isString()) throw error(key, "must be a string");
    return value.asString();
  }

  Uuid uuid(const char* key) const {
    auto parsed = Uuid::parse(string(key));
    if (!parsed) throw error(key, "must be a UUID");
    return *parsed;
  }

  Instant date(const char* key) const {
    auto parsed = parseInternetDateTime(string(key), FractionalSeconds::Refused);
    if (!parsed) throw error(key, "must be an ISO 8601 date-time with a time zone and whole seconds");
    return *parsed;
  }

  WireDecodeError error(const char* key, const char* problem) const {
    return WireDecodeError(std::string("The ") + record_ + " key \"" + key + "\" " + problem + ".");
  }

 private:
  const Json& json_;
  const char* record_;
};

}  // namespace

Json toJson(const AgentRequest& request) {
  Json json = Json::object();
  json["version"] = request.version;
  json["id"] = request.id.text();
  json["createdAt"] = formatInternetDateTime(request.createdAt);
  json["command"] = request.command;
  json["arguments"] = argumentsJson(request.arguments);
  json["dryRun"] = request.dryRun;
  return json;
}

Json toJson(const AgentFailure& failure) { return failure.toJson(); }

Json toJson(const AgentResponse& response) {
  Json json = Json::object();
  json["version"] = response.version;
  json["id"] = response.id.text();
  json["ok"] = response.ok;
  if (response.data) json["data"] = base64Encode(*response.data);
  if (response.error) json["error"] = response.error->toJson();
  if (response.requestFingerprint) json["requestFingerprint"] = *response.requestFingerprint;
  return json;
}

Json toJson(const AgentStatus& status) {
  Json json = Json::object();
  json["version"] = status.version;
  json["enabled"] = status.enabled;
  json["locked"] = status.locked;
  json["updatedAt"] = formatInternetDateTime(status.updatedAt);
  if (status.websiteURL) json["websiteURL"] = *status.websiteURL;
  json["appVersion"] = status.appVersion;
  return json;
}

std::string encode(const Json& value) { return writeJson(value); }

namespace {

// The members of a response after `data`, in key order: "error", "id", "ok",
// "requestFingerprint", "version".
std::string responseTail(const AgentResponse& response) {
  std::string out;
  if (response.error) {
    out += "\"error\":";
    out += writeJson(response.error->toJson());
    out += ',';
  }
  out += "\"id\":";
  appendJsonString(out, response.id.text());
  out += response.ok ? ",\"ok\":true," : ",\"ok\":false,";
  if (response.requestFingerprint) {
    out += "\"requestFingerprint\":";
    appendJsonString(out, *response.requestFingerprint);
    out += ',';
  }
  out += "\"version\":";
  out += std::to_string(response.version);
  out += '}';
  return out;
}

constexpr std::string_view kDataKey = "{\"data\":\"";

}  // namespace

std::string encode(const AgentResponse& response) {
  const std::string tail = responseTail(response);
  std::string out;
  if (!response.data) {
    out.reserve(1 + tail.size());
    out += '{';
  } else {
    out.reserve(encodedSize(response));
    out += kDataKey;
    appendBase64(out, *response.data);  // the alphabet needs no JSON escape
    out += "\",";
  }
  out += tail;
  return out;
}

std::size_t encodedSize(const AgentResponse& response) {
  const std::size_t tail = responseTail(response).size();
  if (!response.data) return 1 + tail;
  return kDataKey.size() + base64Length(response.data->size()) + 2 + tail;
}

AgentFailure failureFromJson(const Json& json) {
  Fields fields(json, "failure");
  return AgentFailure(fields.string("code"), fields.string("message"), fields.boolean("retryable"));
}

AgentRequest requestFromJson(const Json& json) {
  Fields fields(json, "request");
  AgentRequest request;
  request.version = fields.integer("version");
  request.id = fields.uuid("id");
  request.createdAt = fields.date("createdAt");
  request.command = fields.string("command");
  const Json& arguments = fields.required("arguments");
  if (!arguments.isObject()) throw fields.error("arguments", "must be an object of strings");
  for (const auto& [name, value] : arguments.asObject()) {
    if (!value.isString()) throw fields.error("arguments", "must be an object of strings");
    request.arguments.emplace(name, value.asString());
  }
  request.dryRun = fields.boolean("dryRun");
  return request;
}

namespace {

// `dataText`: the text of the data member when the reader left it aside (it is then an
// empty string in `json`).
AgentResponse responseFrom(const Json& json, std::optional<std::string_view> dataText) {
  Fields fields(json, "response");
  AgentResponse response;
  response.version = fields.integer("version");
  response.id = fields.uuid("id");
  response.ok = fields.boolean("ok");
  if (const Json* data = fields.optional("data")) {
    auto bytes = dataText ? base64Decode(*dataText) : base64Decode(fields.string(*data, "data"));
    if (!bytes) throw fields.error("data", "must be Base64 text");
    response.data = std::move(*bytes);
  }
  if (const Json* error = fields.optional("error")) response.error = failureFromJson(*error);
  if (const Json* print = fields.optional("requestFingerprint")) {
    response.requestFingerprint = fields.string(*print, "requestFingerprint");
  }
  return response;
}

}  // namespace

AgentResponse responseFromJson(const Json& json) { return responseFrom(json, std::nullopt); }

AgentStatus statusFromJson(const Json& json) {
  Fields fields(json, "status");
  AgentStatus status;
  status.version = fields.integer("version");
  status.enabled = fields.boolean("enabled");
  status.locked = fields.boolean("locked");
  status.updatedAt = fields.date("updatedAt");
  if (const Json* url = fields.optional("websiteURL")) status.websiteURL = fields.string(*url, "websiteURL");
  status.appVersion = fields.string("appVersion");
  return status;
}

AgentRequest decodeRequest(std::string_view bytes) { return requestFromJson(parseJson(bytes)); }
AgentResponse decodeResponse(std::string_view bytes) {
  // The data's Base64 is decoded where it lies in `bytes`, not copied out first.
  JsonStringAside data{"data", std::nullopt};
  const Json json = parseJson(bytes, data);
  return responseFrom(json, data.text);
}
AgentStatus decodeStatus(std::string_view bytes) { return statusFromJson(parseJson(bytes)); }

std::string fingerprint(const AgentRequest& request) {
  Json canonical = Json::object();
  canonical["version"] = request.version;
  canonical["command"] = request.command;
  canonical["arguments"] = argumentsJson(request.arguments);
  canonical["dryRun"] = request.dryRun;
  return sha256Hex(writeJson(canonical));
}

}  // namespace pellam::agent::AgentWire
