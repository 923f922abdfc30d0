#include "cli/output.h"

#include "agent/wire/wire.h"

namespace pellam::cli {

void output(std::ostream& out, bool ok, Json data, const std::optional<agent::AgentFailure>& failure,
            const std::optional<Uuid>& requestID, bool json, const std::optional<std::string>& text) {
  if (text && !json) {
    out << *text << '\n';
    return;
  }
  Json envelope = Json::object();
  envelope["schema"] = 1;
  envelope["ok"] = ok;
  envelope["data"] = std::move(data);  // a long list is not copied on its way out
  // The failure goes through the wire encoding so its keys are exactly the record's.
  envelope["error"] = failure ? parseJson(agent::AgentWire::encode(*failure)) : Json();
  envelope["requestID"] = requestID ? Json(requestID->text()) : Json();
  out << writeJson(envelope, JsonFormat{.pretty = !json}) << '\n';
}

}  // namespace pellam::cli
