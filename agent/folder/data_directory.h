#pragma once
#include <string>

namespace pellam::agent {

// The desktop app's bundle identifier, part of its sandboxed data folder.
inline constexpr const char* kAppBundleIdentifier = "com.pellam.desktop";

// Where the data folder came from, and what a user should be told about it.
struct DataDirectoryChoice {
  enum class Source { environment, platformDefault, oldDefault };
  std::string path;    // absolute, tilde expanded
  Source source;
  std::string origin;  // "VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR", or the default's rule
};

// VANTRY_DATA_DIR, else PELLAM_DESKTOP_DATA_DIR (only when the first is unset), else the
// platform's folder: the app's container on macOS; elsewhere $XDG_DATA_HOME/vantry
// (~/.local/share/vantry when it is unset, empty or not absolute), unless only the app's
// container folder, which earlier versions used on every platform, holds a pellam.json.
// An empty variable counts as none.
DataDirectoryChoice chooseDataDirectory();
std::string defaultDataDirectory();

// The app's container folder under `home`, the default on macOS.
std::string appContainerDirectory(const std::string& home);
// $XDG_DATA_HOME/vantry, or ~/.local/share/vantry.
std::string xdgDataDirectory();

}  // namespace pellam::agent
