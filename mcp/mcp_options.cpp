#include "mcp/mcp_options.h"

#include <charconv>
#include <optional>

#include "agent/folder/data_directory.h"
#include "core/paths.h"

namespace pellam::mcp {

namespace {

// A whole number of seconds from 1 to 120, as vantry's --timeout takes.
bool readTimeout(const std::string& text, int& seconds) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  return error == std::errc() && seconds >= 1 && seconds <= 120;
}

}  // namespace

McpOptions McpOptions::parse(const std::vector<std::string>& args) {
  McpOptions options;
  bool folderGiven = false;
  bool timeoutGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string argument = args[i];
    std::optional<std::string> inlineValue;
    if (std::size_t equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      inlineValue = argument.substr(equals + 1);
      argument.resize(equals);
    }
    auto value = [&]() {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= args.size()) throw McpUsageError(argument + " requires a value.");
      return args[++i];
    };
    if ((argument == "--help" || argument == "--version") && !inlineValue) {
      (argument == "--help" ? options.help : options.version) = true;
    } else if (argument == "--data-dir" && !folderGiven) {
      std::string folder = value();
      if (folder.empty()) throw McpUsageError("--data-dir requires a folder.");
      options.settings.dataDirectory = absolutePath(expandTilde(folder));
      folderGiven = true;
    } else if (argument == "--timeout" && !timeoutGiven) {
      if (!readTimeout(value(), options.settings.timeoutSeconds)) {
        throw McpUsageError("--timeout must be a whole number from 1 to 120 seconds.");
      }
      timeoutGiven = true;
    } else {
      throw McpUsageError("Unknown or repeated argument: " + args[i] + ".");
    }
  }
  if (!folderGiven) options.settings.dataDirectory = agent::defaultDataDirectory();
  return options;
}

}  // namespace pellam::mcp
