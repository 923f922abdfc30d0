#pragma once
#include <string>

namespace pellam::agent {

// The desktop app's bundle identifier, part of its sandboxed data folder.
inline constexpr const char* kAppBundleIdentifier = "com.pellam.desktop";

// VANTRY_DATA_DIR, else PELLAM_DESKTOP_DATA_DIR (only when the first is unset), else the
// app's container folder; an empty value counts as none. Absolute, tilde expanded.
std::string defaultDataDirectory();

}  // namespace pellam::agent
