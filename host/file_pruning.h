#pragma once
#include <string>

#include "core/file_system.h"

namespace pellam::host {

// Removes the items in `folder` last modified before `cutoff` whose names `select` accepts;
// an item that cannot be removed stays. Folders are removed with what they hold, without
// following links.
void pruneOlderThan(FileSystem& fs, const std::string& folder, FileTime cutoff,
                    bool (*select)(const std::string& name));

}  // namespace pellam::host
