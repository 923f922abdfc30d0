#include "host/host_options.h"

#include "agent/folder/data_directory.h"
#include "core/paths.h"

namespace pellam::host {

namespace {

// The value of `--name VALUE` or `--name=VALUE` at args[i], or none when args[i] is another
// option; a second use or a missing value is a usage error.
std::optional<std::string> valueOption(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                                       bool& seen, const char* missing) {
  const std::string& arg = args[i];
  std::string option = "--" + name;
  if (arg != option && arg.rfind(option + "=", 0) != 0) return std::nullopt;
  if (seen) throw HostUsageError(option + " is given twice.");
  seen = true;
  std::string value;
  if (arg == option) {
    if (i + 1 >= args.size()) throw HostUsageError(option + " requires " + missing + ".");
    value = args[++i];
  } else {
    value = arg.substr(option.size() + 1);
  }
  if (value.empty()) throw HostUsageError(option + " requires " + missing + ".");
  return absolutePath(expandTilde(value));
}

std::string describe(const agent::DataDirectoryChoice& choice) {
  using Source = agent::DataDirectoryChoice::Source;
  switch (choice.source) {
    case Source::environment:
      return "from " + choice.origin;
    case Source::platformDefault:
      return "the default, " + choice.origin;
    case Source::oldDefault:
      return "the old default folder, used because it holds pellam.json and " + agent::xdgDataDirectory() +
             " does not; move its contents there to use the new default";
  }
  return choice.origin;
}

}  // namespace

HostOptions HostOptions::parse(const std::vector<std::string>& args) {
  HostOptions options;
  agent::DataDirectoryChoice choice = agent::chooseDataDirectory();
  options.dataDirectory = choice.path;
  options.dataDirectoryOrigin = describe(choice);
  bool dataDirectorySeen = false;
  bool logFileSeen = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--locked") {
      options.locked = true;
    } else if (arg == "--no-reminders") {
      options.reminders = false;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--detach") {
      options.detach = true;
    } else if (auto folder = valueOption(args, i, "data-dir", dataDirectorySeen, "a folder")) {
      options.dataDirectory = *folder;
      options.dataDirectoryOrigin = "from --data-dir";
    } else if (auto file = valueOption(args, i, "log-file", logFileSeen, "a file")) {
      options.logFile = *file;
    } else {
      throw HostUsageError("Unknown argument: " + arg + ".");
    }
  }
  if (options.logFile && !options.detach) {
    throw HostUsageError("--log-file needs --detach; in the foreground the log goes to standard error.");
  }
  return options;
}

}  // namespace pellam::host
