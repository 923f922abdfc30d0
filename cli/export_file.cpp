#include "cli/export_file.h"

#include <cerrno>
#include <cstring>

#include "agent/wire/failure.h"
#include "core/file_placement.h"
#include "core/paths.h"
#include "core/uuid.h"

namespace pellam::cli {

using agent::AgentFailure;

void writeExport(std::string_view bytes, const std::string& target, FileSystem& fs) {
  std::string folder = parentFolder(target);
  std::string temporary = (folder == "/" ? std::string() : folder) + "/.pellam-export-" + Uuid::random().text();
  try {
    publishFile(fs, temporary, target, bytes, kPrivateFileMode, Placement::neverReplace, Durability{true, false});
  } catch (const PlacementError& error) {
    if (error.errnoValue() == EEXIST) {
      throw AgentFailure::outputExists(
          "The output already exists. Choose a new --out path; Vantry never silently overwrites exports.");
    }
    throw AgentFailure::exportFailed(std::strerror(error.errnoValue()));
  } catch (const FileSystemError&) {
    throw AgentFailure::exportFailed("Could not prepare an export in " + folder + ".");
  }
}

}  // namespace pellam::cli
