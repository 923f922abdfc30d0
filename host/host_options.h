#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pellam::host {

// vantry-host [--data-dir PATH] [--locked] [--no-reminders] [--detach [--log-file PATH]]
struct HostOptions {
  std::string dataDirectory;  // absolute; the same default as vantry's
  // Where the folder came from, for the first log line: "--data-dir", a variable's name, or
  // the default's rule; with the old default folder, why it is still used.
  std::string dataDirectoryOrigin;
  bool locked = false;
  bool reminders = true;  // the preferences' daily reminders as desktop notifications
  bool help = false;
  bool version = false;
  bool detach = false;
  std::optional<std::string> logFile;  // absolute; only with --detach

  // Parses the arguments without the program name; throws HostUsageError.
  static HostOptions parse(const std::vector<std::string>& args);
};

class HostUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kHostVersion = "vantry-host 1.0 (Vantry CLI 1.0; protocol 1)";

inline constexpr const char* kHostUsage =
    "Usage: vantry-host [--data-dir PATH] [--locked] [--no-reminders] [--detach [--log-file PATH]]\n"
    "       vantry-host --help | --version\n"
    "Serves vantry's requests for one data folder until interrupted (SIGINT or SIGTERM).\n"
    "The folder defaults to VANTRY_DATA_DIR, then PELLAM_DESKTOP_DATA_DIR, then\n"
    "$XDG_DATA_HOME/vantry (~/.local/share/vantry), as vantry's does.\n"
    "--locked starts locked: only app status, app show and app unlock are answered until unlocked.\n"
    "--detach starts it in the background and returns once it answers, printing its pid\n"
    "(stop it with kill PID); it then logs to --log-file, by default AgentAPI/host.log in the\n"
    "data folder. Otherwise it logs to standard error.\n"
    "--no-reminders shows no reminders (by default the reminder preferences become desktop\n"
    "notifications on the session bus).";

}  // namespace pellam::host
