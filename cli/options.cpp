#include "cli/options.h"

#include <charconv>

#include "agent/folder/data_directory.h"
#include "agent/wire/command_line_options.h"
#include "agent/wire/failure.h"
#include "core/paths.h"

namespace pellam::cli {

using agent::AgentFailure;

namespace {

bool startsWithDashes(const std::string& text) { return text.rfind("--", 0) == 0; }

// A decimal integer with an optional sign and nothing else (no spaces, no fraction).
std::optional<long long> wholeSeconds(const std::string& text) {
  std::size_t at = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
  if (at == text.size()) return std::nullopt;
  for (std::size_t i = at; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  long long value = 0;
  auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
  if (error != std::errc()) return std::nullopt;  // too large to be in range anyway
  return text[0] == '-' ? -value : value;
}

}  // namespace

CLIOptions CLIOptions::parse(const std::vector<std::string>& args) {
  CLIOptions options;
  options.dataDirectory = agent::defaultDataDirectory();
  std::set<std::string> seen;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& argument = args[i];
    if (!startsWithDashes(argument)) {
      options.words.push_back(argument);
      continue;
    }
    std::string body = argument.substr(2);
    std::size_t equals = body.find('=');
    std::string name = body.substr(0, equals);
    std::optional<std::string> inlineValue;
    if (equals != std::string::npos) inlineValue = body.substr(equals + 1);

    if (name.empty() || !seen.insert(name).second) {
      throw AgentFailure::invalidArgument("Duplicate or empty option: " + argument + ".");
    }
    const agent::GlobalOptionRow* global = agent::findGlobalOption(name);
    if (global != nullptr && !global->takesValue) {
      if (inlineValue) throw AgentFailure::invalidArgument("--" + name + " does not take a value.");
      switch (global->option) {
        case agent::GlobalOption::json: options.json = true; break;
        case agent::GlobalOption::dryRun: options.dryRun = true; break;
        case agent::GlobalOption::help: options.help = true; break;
        case agent::GlobalOption::version: options.version = true; break;
        default: break;
      }
      continue;
    }
    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < args.size() && !startsWithDashes(args[i + 1])) {
      value = args[++i];
    } else {
      throw AgentFailure::invalidArgument("--" + name + " requires a value. Booleans use true or false.");
    }

    if (global == nullptr) {
      options.arguments[name] = value;
      continue;
    }
    switch (global->option) {
      case agent::GlobalOption::dataDirectory:
        options.dataDirectory = absolutePath(expandTilde(value));
        break;
      case agent::GlobalOption::requestId: {
        auto id = Uuid::parse(value);
        if (!id) throw AgentFailure::invalidArgument("--request-id must be a UUID.");
        options.requestID = *id;
        break;
      }
      case agent::GlobalOption::timeout: {
        auto seconds = wholeSeconds(value);
        if (!seconds || *seconds < 1 || *seconds > 120) {
          throw AgentFailure::invalidArgument("--timeout must be a whole number from 1 to 120 seconds.");
        }
        options.timeoutSeconds = static_cast<int>(*seconds);
        break;
      }
      case agent::GlobalOption::out:
        // An empty path names no file; refused here, before the app builds the whole export.
        if (value.empty()) throw AgentFailure::invalidArgument("--out requires a value. Booleans use true or false.");
        options.outputPath = value;
        break;
      default:
        break;  // the flags are handled above
    }
  }
  return options;
}

void CLIOptions::requireArguments(const std::set<std::string>& allowed) const {
  std::string unknown;
  for (const auto& [name, value] : arguments) {  // a map: already sorted ascending
    if (allowed.count(name)) continue;
    if (!unknown.empty()) unknown += ", ";
    unknown += name;
  }
  if (unknown.empty() && !outputPath) return;
  // --out alone is named too, so the message never lists nothing.
  if (unknown.empty()) unknown = "out";
  throw AgentFailure::invalidArgument("Unknown options: " + unknown + ".");
}

}  // namespace pellam::cli
