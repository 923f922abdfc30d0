#pragma once
#include <stdexcept>
#include <string>
#include <vector>

namespace pellam::host {

// vantry-host [--data-dir PATH] [--locked] [--no-reminders]
struct HostOptions {
  std::string dataDirectory;  // absolute; the same default as vantry's
  bool locked = false;
  bool reminders = true;  // the preferences' daily reminders as desktop notifications
  bool help = false;

  // Parses the arguments without the program name; throws HostUsageError.
  static HostOptions parse(const std::vector<std::string>& args);
};

class HostUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kHostUsage =
    "Usage: vantry-host [--data-dir PATH] [--locked] [--no-reminders]\n"
    "Serves vantry's requests for one data folder until interrupted (SIGINT or SIGTERM).\n"
    "The folder defaults to VANTRY_DATA_DIR, then PELLAM_DESKTOP_DATA_DIR, then the app's folder.\n"
    "--locked starts locked: only app status, app show and app unlock are answered until unlocked.\n"
    "--no-reminders shows no reminders (by default the reminder preferences become desktop\n"
    "notifications on the session bus).";

}  // namespace pellam::host
