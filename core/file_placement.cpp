#include "core/file_placement.h"

#include "core/paths.h"
#include "core/uuid.h"

namespace pellam {

void publishFile(FileSystem& fs, const std::string& temporary, const std::string& target, std::string_view bytes,
                 mode_t mode, Placement placement, Durability durability) {
  fs.writeNewFile(temporary, bytes, mode);
  try {
    if (durability.syncFile) fs.syncFile(temporary);
    try {
      fs.move(temporary, target, placement);
    } catch (const FileSystemError& error) {
      throw PlacementError(error.errnoValue(), error.what());
    }
  } catch (...) {
    try {
      fs.remove(temporary);
    } catch (const std::exception&) {
      // The first failure is the one worth reporting.
    }
    throw;
  }
  if (durability.syncFolder) fs.syncDirectory(parentFolder(target));
}

void writeFileAtomically(FileSystem& fs, const std::string& path, std::string_view bytes, mode_t mode) {
  std::string name = path.substr(path.rfind('/') + 1);
  std::string temporary = parentFolder(path) + "/." + name + "." + Uuid::random().text() + ".tmp";
  publishFile(fs, temporary, path, bytes, mode, Placement::replace, kFullyDurable);
}

}  // namespace pellam
