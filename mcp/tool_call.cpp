#include "mcp/tool_call.h"

#include <chrono>

#include "agent/client/client.h"
#include "agent/wire/failure.h"
#include "agent/wire/wire.h"
#include "cli/options.h"
#include "cli/remote_command.h"
#include "cli/request_builder.h"
#include "core/utf8.h"
#include "mcp/tool_catalogue.h"

namespace pellam::mcp {

using agent::AgentFailure;
using agent::ArgumentType;

namespace {

bool isWholeNumber(const Json& value) {
  if (!value.isNumber()) return false;
  return value.numberLexeme().find_first_of(".eE") == std::string::npos;
}

// Whether the value has a JSON type the argument's schema takes, and if not, what it takes.
const char* refusedType(const ToolArgument& argument, const Json& value) {
  if (argument.option) {
    if (*argument.option == ToolOption::dryRun) return value.isBool() ? nullptr : "true or false";
    return value.isString() ? nullptr : "text";
  }
  if (value.isString()) return nullptr;
  switch (argument.argument->type) {
    case ArgumentType::integer: return isWholeNumber(value) ? nullptr : "a whole number or its text";
    case ArgumentType::decimal: return value.isNumber() ? nullptr : "a number or its text";
    case ArgumentType::boolean: return value.isBool() ? nullptr : "true, false or their text";
    case ArgumentType::json: return value.isObject() || value.isArray() ? nullptr : "a JSON object, array or text";
    case ArgumentType::choice:
      return choicesAreWholeNumbers(*argument.argument) && isWholeNumber(value) ? nullptr : "one of its values";
    default: return "text";
  }
}

// A path the server opens: its working folder is the client's choice, so only a whole path
// says which file is meant.
std::string absolutePathArgument(const std::string& name, const Json& value) {
  const std::string& path = value.asString();
  if (path.empty() || path[0] != '/') throw AgentFailure::invalidArgument(name + " must be an absolute path.");
  return path;
}

}  // namespace

cli::CLIOptions toolCommandLine(const agent::CommandRow& row, const Json& arguments, const ServerSettings& settings) {
  cli::CLIOptions options;
  options.words = {"command", std::string(row.name)};
  options.dataDirectory = settings.dataDirectory;
  options.timeoutSeconds = settings.timeoutSeconds;
  const std::vector<ToolArgument> known = toolArguments(row);
  for (const auto& member : arguments.asObject()) {
    const std::string& name = member.first;
    const Json& value = member.second;
    auto argument = std::find_if(known.begin(), known.end(), [&](const ToolArgument& a) { return a.name == name; });
    if (argument == known.end()) throw ToolInputError(toolName(row.name) + " takes no argument named " + name + ".");
    if (!argument->option) {
      options.arguments[name] = cli::argumentText(value);
      continue;
    }
    switch (*argument->option) {
      case ToolOption::dryRun: options.dryRun = value.asBool(); break;
      case ToolOption::requestId: {
        std::optional<Uuid> id = Uuid::parse(value.asString());
        if (!id) throw AgentFailure::invalidArgument("request-id must be a UUID.");
        options.requestID = *id;
        break;
      }
      case ToolOption::out: options.outputPath = absolutePathArgument(name, value); break;
      case ToolOption::file: options.arguments[name] = absolutePathArgument(name, value); break;
    }
  }
  return options;
}

namespace {

Json textContent(std::string text) {
  Json content = Json::object();
  content["type"] = "text";
  content["text"] = std::move(text);
  return content;
}

Json metaOf(const Json& requestID) {
  Json meta = Json::object();
  meta["requestID"] = requestID;
  return meta;
}

// Characters a URI path keeps as they are; every other byte is %-escaped.
std::string escapedPathSegment(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 15];
    }
  }
  return escaped;
}

// The exported file as an embedded resource: its bytes, MIME type and (in the URI) name.
// The result then keeps only what describes the file.
Json exportResource(Json& result, const Uuid& requestID) {
  const Json* name = result.find("filename");
  const Json* mimeType = result.find("mimeType");
  Json resource = Json::object();
  resource["uri"] = "vantry://export/" + requestID.text() + "/" +
                    escapedPathSegment(name && name->isString() ? name->asString() : "export");
  if (mimeType && mimeType->isString()) resource["mimeType"] = *mimeType;
  resource["blob"] = std::move(result["base64"]);
  result.asObject().erase("base64");
  Json content = Json::object();
  content["type"] = "resource";
  content["resource"] = std::move(resource);
  return content;
}

bool carriesFile(const Json& result) {
  const Json* base64 = result.isObject() ? result.find("base64") : nullptr;
  return base64 != nullptr && base64->isString();
}

}  // namespace

void checkToolArguments(const agent::CommandRow& row, const Json& arguments) {
  const std::string tool = toolName(row.name);
  if (!arguments.isObject()) throw ToolInputError("The arguments of " + tool + " must be a JSON object.");
  const std::vector<ToolArgument> known = toolArguments(row);
  for (const auto& member : arguments.asObject()) {
    const std::string& name = member.first;
    const Json& value = member.second;
    auto argument = std::find_if(known.begin(), known.end(), [&](const ToolArgument& a) { return a.name == name; });
    if (argument == known.end()) throw ToolInputError(tool + " takes no argument named " + repairedUtf8(name) + ".");
    if (const char* wanted = refusedType(*argument, value)) {
      throw ToolInputError("The argument " + name + " of " + tool + " must be " + wanted + ".");
    }
  }
  for (std::string_view name : requiredArguments(row)) {
    if (arguments.find(name) == nullptr) throw ToolInputError(tool + " needs the argument " + std::string(name) + ".");
  }
}

Json failureResult(const Json& failure, const Json& requestID) {
  Json carried = Json::object();
  carried["error"] = failure;
  carried["requestID"] = requestID;
  Json result = Json::object();
  result["content"] = Json::Array{textContent(writeJson(carried))};
  result["structuredContent"] = std::move(carried);
  result["isError"] = true;
  result["_meta"] = metaOf(requestID);
  return result;
}

Json callTool(const agent::CommandRow& row, const Json& arguments, const ServerSettings& settings) {
  checkToolArguments(row, arguments);
  Json requestID;
  AgentFailure failure = AgentFailure::operationFailed("");
  try {
    cli::CLIOptions options = toolCommandLine(row, arguments, settings);
    agent::AgentRequest request = cli::buildRequest(options);
    requestID = request.id.text();
    agent::AgentResponse response =
        agent::AgentClient(settings.dataDirectory).perform(request, std::chrono::seconds(settings.timeoutSeconds));
    if (!response.ok) {
      return failureResult(response.error.value_or(AgentFailure::operationFailed("The app gave no reason.")).toJson(),
                           requestID);
    }
    Json data = response.data ? parseJson(*response.data) : Json();
    Json content = Json::array();
    std::optional<Json> resource;
    if (carriesFile(data)) {
      // With `out` the file is written as the command line writes it; otherwise it comes back.
      if (options.outputPath) {
        cli::placeExportFile(data, options);
      } else {
        resource = exportResource(data, request.id);
      }
    }
    content.push_back(textContent(writeJson(data)));
    if (resource) content.push_back(std::move(*resource));
    Json result = Json::object();
    result["content"] = std::move(content);
    // The protocol's structured content is an object; every command's result is one.
    if (data.isObject()) result["structuredContent"] = std::move(data);
    result["_meta"] = metaOf(requestID);
    return result;
  } catch (const AgentFailure& caught) {
    failure = caught;
  } catch (const std::exception& caught) {
    failure.message = repairedUtf8(caught.what());
  }
  return failureResult(failure.toJson(), requestID);
}

}  // namespace pellam::mcp
