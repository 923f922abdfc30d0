#include "host/host_options.h"

#include "agent/folder/data_directory.h"
#include "core/paths.h"

namespace pellam::host {

HostOptions HostOptions::parse(const std::vector<std::string>& args) {
  HostOptions options;
  options.dataDirectory = agent::defaultDataDirectory();
  bool dataDirectorySeen = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--locked") {
      options.locked = true;
    } else if (arg == "--no-reminders") {
      options.reminders = false;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--data-dir" || arg.rfind("--data-dir=", 0) == 0) {
      if (dataDirectorySeen) throw HostUsageError("--data-dir is given twice.");
      dataDirectorySeen = true;
      std::string value;
      if (arg == "--data-dir") {
        if (i + 1 >= args.size()) throw HostUsageError("--data-dir requires a folder.");
        value = args[++i];
      } else {
        value = arg.substr(std::string("--data-dir=").size());
      }
      if (value.empty()) throw HostUsageError("--data-dir requires a folder.");
      options.dataDirectory = absolutePath(expandTilde(value));
    } else {
      throw HostUsageError("Unknown argument: " + arg + ".");
    }
  }
  return options;
}

}  // namespace pellam::host
