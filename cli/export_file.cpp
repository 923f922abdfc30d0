#include "cli/export_file.h"

#include <cerrno>
#include <cstring>

#include "agent/wire/failure.h"
#include "core/base64.h"
#include "core/file_placement.h"
#include "core/paths.h"
#include "core/uuid.h"

namespace pellam::cli {

using agent::AgentFailure;

namespace {

// The decoded file goes to disk a part at a time: small enough to stay in the cache, large
// enough that the writes cost little.
constexpr std::size_t kDecodedPartBytes = 3 * 64 * 1024;

// Thrown out of a file's writing when its Base64 turns out bad, so the file is removed.
struct NotBase64 {};

std::string temporaryBeside(const std::string& folder) {
  return (folder == "/" ? std::string() : folder) + "/.pellam-export-" + Uuid::random().text();
}

// Writes the file and puts it at `target`; the failures of writing or placing it become the
// export's failures.
template <typename Publish>
void publishExport(const std::string& target, Publish publish) {
  std::string folder = parentFolder(target);
  try {
    publish(temporaryBeside(folder));
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

}  // namespace

void writeExport(std::string_view bytes, const std::string& target, FileSystem& fs) {
  publishExport(target, [&](const std::string& temporary) {
    publishFile(fs, temporary, target, bytes, kPrivateFileMode, Placement::neverReplace, Durability{true, false});
  });
}

bool writeDecodedExport(std::string_view base64, const std::string& target, FileSystem& fs) {
  try {
    publishExport(target, [&](const std::string& temporary) {
      publishFileInParts(
          fs, temporary, target,
          [&](const FileSystem::PartWriter& write) {
            if (!base64DecodeInParts(base64, kDecodedPartBytes, write)) throw NotBase64{};
          },
          kPrivateFileMode, Placement::neverReplace, Durability{true, false});
    });
  } catch (const NotBase64&) {
    return false;
  } catch (const AgentFailure&) {
    // Bad Base64 is the first broken rule, even where the file could not be made.
    if (!isBase64(base64)) return false;
    throw;
  }
  return true;
}

}  // namespace pellam::cli
