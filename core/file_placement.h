#pragma once
// The one way a file is put in its place: written whole beside it under a temporary name,
// then moved there, so that no reader ever sees half a file.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/file_system.h"

namespace pellam {

// What must be on disk before publishFile returns; each caller says what its file needs.
struct Durability {
  bool syncFile;    // the bytes are synced before the move
  bool syncFolder;  // the move itself is synced (the target's folder)
};

inline constexpr Durability kFullyDurable{true, true};

// Everything the programs write holds one user's data: only that user may enter a folder or
// read a file.
inline constexpr mode_t kPrivateFolderMode = 0700;
inline constexpr mode_t kPrivateFileMode = 0600;

// Moving the temporary file into place failed (EEXIST for a Placement::neverReplace target
// that exists); errors before the move are plain FileSystemErrors.
class PlacementError : public FileSystemError {
 public:
  using FileSystemError::FileSystemError;
};

// Writes `bytes` to `temporary` (which must not exist, in the target's folder), syncs it
// when asked, moves it to `target` as `placement` says, and syncs the folder when asked.
// Whatever fails before the move completes, the temporary file is removed (a failure to
// remove it is not reported over the first failure). `beforeMove`, when given, runs just
// before the move and may refuse it by throwing.
void publishFile(FileSystem& fs, const std::string& temporary, const std::string& target, std::string_view bytes,
                 mode_t mode, Placement placement, Durability durability,
                 const std::function<void()>& beforeMove = nullptr);

// The same with the bytes handed over in parts (FileSystem::writeNewFileInParts), so a large
// file need never be held whole; whatever `contents` throws passes on and leaves no file.
void publishFileInParts(FileSystem& fs, const std::string& temporary, const std::string& target,
                        const std::function<void(const FileSystem::PartWriter&)>& contents, mode_t mode,
                        Placement placement, Durability durability);

// Replaces (or creates) `path` so that a crash at any moment leaves either the old or the new
// complete file, even after a power cut: publishFile under a unique hidden name beside it,
// replacing, fully durable unless the caller asks for less; `beforeMove` runs just before the
// temporary file takes the name.
void writeFileAtomically(FileSystem& fs, const std::string& path, std::string_view bytes, mode_t mode,
                         Durability durability = kFullyDurable, const std::function<void()>& beforeMove = nullptr);

// The name of the file a temporary file of writeFileAtomically was for ("." + name + "." +
// <UUID> + ".tmp"), or none when `temporaryName` is not one: what a killed writer leaves behind.
std::optional<std::string_view> atomicWriteTarget(std::string_view temporaryName);

}  // namespace pellam
