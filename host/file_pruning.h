#pragma once
#include <string>

#include "core/file_system.h"

namespace pellam::host {

// How long answers stay for replays, and set-aside requests for inspection.
inline constexpr auto kKeepAnswers = std::chrono::hours(24 * 7);

// Removes the items in `folder` last modified before `cutoff` whose names `select` accepts;
// an item that cannot be removed stays. Folders are removed with what they hold, without
// following links.
void pruneOlderThan(FileSystem& fs, const std::string& folder, FileTime cutoff,
                    bool (*select)(const std::string& name));

}  // namespace pellam::host
