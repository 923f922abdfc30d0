#include "cli/run.h"

#include "agent/client/client.h"
#include "agent/wire/failure.h"
#include "agent/wire/wire.h"
#include "cli/help_text.h"
#include "cli/output.h"
#include "cli/remote_command.h"
#include "cli/url_check.h"
#include "core/utf8.h"

namespace pellam::cli {

using agent::AgentClient;
using agent::AgentFailure;

namespace {

int version(const CLIOptions& options, bool json, std::ostream& out) {
  options.requireArguments({});
  Json data = Json::object();
  data["version"] = "1.0";
  data["protocol"] = 1;
  data["product"] = "vantry-cli";
  output(out, true, data, std::nullopt, std::nullopt, json, "Vantry CLI 1.0 (vantry-cli; protocol 1)");
  return 0;
}

int help(const CLIOptions& options, bool json, std::ostream& out) {
  options.requireArguments({});
  Json data = Json::object();
  data["help"] = helpText();
  output(out, true, data, std::nullopt, std::nullopt, json, helpText());
  return 0;
}

int doctor(const CLIOptions& options, bool json, std::ostream& out) {
  options.requireArguments({});
  AgentClient client(options.dataDirectory);
  agent::AgentStatus status = client.status();
  bool fresh = AgentClient::isFresh(status, Instant::now());
  Json data = Json::object();
  data["status"] = agent::AgentWire::toJson(status);
  data["fresh"] = fresh;
  data["ready"] = fresh && status.enabled && !status.locked;
  data["dataDirectory"] = options.dataDirectory;
  output(out, true, data, std::nullopt, std::nullopt, json);
  return 0;
}

int docs(const CLIOptions& options, bool json, std::ostream& out) {
  options.requireArguments({"website-url"});
  std::optional<std::string> address;
  if (auto given = options.arguments.find("website-url"); given != options.arguments.end()) {
    address = given->second;
  } else if (const char* env = std::getenv("VANTRY_WEBSITE_URL")) {
    address = env;
  } else if (const char* env = std::getenv("PELLAM_WEBSITE_URL")) {
    address = env;
  } else {
    try {
      address = AgentClient(options.dataDirectory).status().websiteURL;
    } catch (const std::exception&) {
      // the app's advertised address is only a preference; fall back to ours
    }
  }
  std::string url = address.value_or(kDefaultDocumentationURL);
  if (!isHttpsURLWithHost(url)) throw AgentFailure::invalidArgument("The documentation URL must be an HTTPS URL.");
  Json data = Json::object();
  data["url"] = url;
  output(out, true, data, std::nullopt, std::nullopt, json, url);
  return 0;
}

}  // namespace

int run(const std::vector<std::string>& rawArgs, std::ostream& out) {
  std::vector<std::string> args;
  args.reserve(rawArgs.size());
  for (const auto& arg : rawArgs) args.push_back(repairedUtf8(arg));

  bool json = false;
  for (const auto& arg : args) json = json || arg == "--json";
  std::optional<Uuid> requestID;

  AgentFailure failure = AgentFailure::operationFailed("");
  try {
    CLIOptions options = CLIOptions::parse(args);
    const auto& words = options.words;
    if (options.version) return version(options, json, out);
    if (options.help || words.empty() || words == std::vector<std::string>{"help"}) return help(options, json, out);
    if (words == std::vector<std::string>{"doctor"}) return doctor(options, json, out);
    if (words == std::vector<std::string>{"docs"}) return docs(options, json, out);
    return runRemoteCommand(options, json, requestID, out);
  } catch (const AgentFailure& caught) {
    failure = caught;
  } catch (const std::exception& caught) {
    failure.message = repairedUtf8(caught.what());
  } catch (...) {
    failure.message = "An unexpected error occurred.";
  }
  try {
    output(out, false, Json(), failure, requestID, json);
  } catch (const std::exception&) {
    // Nothing else can be printed; the status still tells the caller.
  }
  return agent::exitStatusOf(failure.code);
}

}  // namespace pellam::cli
