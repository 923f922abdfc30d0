#pragma once
#include <memory>
#include <string>

#include "core/file_system.h"

namespace pellam {

// Change notifications for `folder` from the operating system (inotify on Linux); none where
// they cannot be had: no such facility, no watches left, or no folder at that path.
std::unique_ptr<FolderWatch> watchFolderForChanges(const std::string& folder);

}  // namespace pellam
