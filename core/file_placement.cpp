#include "core/file_placement.h"

#include "core/paths.h"
#include "core/uuid.h"

namespace pellam {

namespace {

// Syncs the written temporary file when asked, moves it to `target`, and syncs the folder
// when asked; the temporary file is removed when anything before the move fails.
void placeWritten(FileSystem& fs, const std::string& temporary, const std::string& target, Placement placement,
                  Durability durability, const std::function<void()>& beforeMove) {
  try {
    if (durability.syncFile) fs.syncFile(temporary);
    if (beforeMove) beforeMove();
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

}  // namespace

void publishFile(FileSystem& fs, const std::string& temporary, const std::string& target, std::string_view bytes,
                 mode_t mode, Placement placement, Durability durability,
                 const std::function<void()>& beforeMove) {
  fs.writeNewFile(temporary, bytes, mode);
  placeWritten(fs, temporary, target, placement, durability, beforeMove);
}

void publishFileInParts(FileSystem& fs, const std::string& temporary, const std::string& target,
                        const std::function<void(const FileSystem::PartWriter&)>& contents, mode_t mode,
                        Placement placement, Durability durability) {
  fs.writeNewFileInParts(temporary, contents, mode);
  placeWritten(fs, temporary, target, placement, durability, nullptr);
}

namespace {

constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kUuidLength = 36;

}  // namespace

void writeFileAtomically(FileSystem& fs, const std::string& path, std::string_view bytes, mode_t mode,
                         Durability durability, const std::function<void()>& beforeMove) {
  std::string name = path.substr(path.rfind('/') + 1);
  std::string temporary = parentFolder(path) + "/." + name + "." + Uuid::random().text() + std::string(kTemporarySuffix);
  publishFile(fs, temporary, path, bytes, mode, Placement::replace, durability, beforeMove);
}

std::optional<std::string_view> atomicWriteTarget(std::string_view name) {
  const std::size_t tail = 1 + kUuidLength + kTemporarySuffix.size();  // "." <UUID> ".tmp"
  if (name.size() < 2 + tail || name.front() != '.' || !name.ends_with(kTemporarySuffix)) return std::nullopt;
  std::size_t dot = name.size() - tail;
  std::string_view id = name.substr(dot + 1, kUuidLength);
  auto parsed = Uuid::parse(id);
  if (name[dot] != '.' || !parsed || parsed->text() != id) return std::nullopt;
  return name.substr(1, dot - 1);
}

}  // namespace pellam
