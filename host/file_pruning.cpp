#include "host/file_pruning.h"

namespace pellam::host {

void pruneOlderThan(FileSystem& fs, const std::string& folder, FileTime cutoff,
                    bool (*select)(const std::string& name)) {
  for (const std::string& name : fs.listDirectory(folder)) {
    if (!select(name)) continue;
    std::string path = folder + "/" + name;
    try {
      FileStatus status = fs.status(path);
      if (!status.exists || status.modificationTime >= cutoff) continue;
      if (status.isDirectory) {
        fs.removeTree(path);  // never follows the links inside
      } else {
        fs.remove(path);
      }
    } catch (const std::exception&) {
      // Tried again at the next pruning.
    }
  }
}

}  // namespace pellam::host
