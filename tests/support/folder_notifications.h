#pragma once
// Whether this system tells a watcher of a folder about changes in it (inotify on Linux; the
// portable build has none, and code then falls back to looking at intervals).
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/file_system.h"

namespace pellam::testing {

inline bool hasFolderNotifications() {
  char pattern[] = "/tmp/pellam-watch-probe-XXXXXX";
  const std::string folder = mkdtemp(pattern);
  const bool has = RealFileSystem().watchFolder(folder) != nullptr;
  std::filesystem::remove_all(folder);
  return has;
}

}  // namespace pellam::testing
