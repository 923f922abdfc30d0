#include "core/archive_io.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

#include "core/archive_json.h"
#include "core/file_placement.h"
#include "core/data_error.h"
#include "core/paths.h"
#include "core/uuid.h"
#include "core/validation.h"

namespace pellam {

namespace {

constexpr int kBackupNameAttempts = 8;

}  // namespace

bool isBackupFileName(std::string_view name) {
  std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot > 0 && name.substr(dot + 1) == "json";
}

ArchiveIO::ArchiveIO(std::string directory, std::shared_ptr<FileSystem> fileSystem, Clock clock)
    : directory_(std::move(directory)), fs_(std::move(fileSystem)), clock_(std::move(clock)) {
  while (directory_.size() > 1 && directory_.back() == '/') directory_.pop_back();
}

std::string ArchiveIO::dataURL() const { return directory_ + "/pellam.json"; }
std::string ArchiveIO::backupsURL() const { return directory_ + "/Backups"; }
std::string ArchiveIO::recoveryURL() const { return directory_ + "/Recovery"; }

std::string ArchiveIO::encode(const Archive& archive) {
  validate(archive);
  return encodeArchiveJson(archive);
}

Archive ArchiveIO::decode(std::string_view bytes) {
  Archive archive = decodeArchiveJson(bytes);
  validate(archive);
  return archive;
}

Archive ArchiveIO::decodeRead(const std::string& bytes) {
  // Bytes from RealFileSystem::readFile have the spare capacity to be parsed where they are.
  Archive archive = decodeArchiveJsonInPlace(bytes);
  validate(archive);
  return archive;
}

Archive ArchiveIO::load() const {
  if (!fs_->status(dataURL()).exists) return Archive();
  return decodeRead(fs_->readFile(dataURL()));
}

void ArchiveIO::save(const Archive& archive, const std::optional<KnownDataFile>& known) const {
  std::string data = encode(archive);
  ensureFolder(directory_);
  ensureFolder(backupsURL());
  std::optional<std::string> backup;
  FileStatus current = fs_->status(dataURL());
  if (current.exists) {
    std::optional<std::string> old;
    if (!known || !known->matches(current)) {
      old = fs_->readFile(dataURL());
      decodeRead(*old);  // an unreadable data file is left for recover()
    }
    backup = newBackupPath();
    backUp(*backup, std::move(old));
  }
  writeFileAtomically(*fs_, dataURL(), data, kFileMode);
  pruneBackups(backup);
}

// The old data file becomes the backup through a second hard link: its bytes exactly, in one
// atomic step, with no copy to write and sync (tens of megabytes for a large archive). The
// data file is only ever replaced by a rename, never written in place, so the backup keeps
// those bytes. A file system without hard links gets a copy instead.
void ArchiveIO::backUp(const std::string& backup, std::optional<std::string> oldBytes) const {
  try {
    fs_->link(dataURL(), backup);
  } catch (const FileSystemError& error) {
    int code = error.errnoValue();
    if (code != EPERM && code != EXDEV && code != EMLINK && code != ENOTSUP && code != EOPNOTSUPP) throw;
    if (!oldBytes) oldBytes = fs_->readFile(dataURL());
    writeFileAtomically(*fs_, backup, *oldBytes, kFileMode);
    return;
  }
  fs_->setMode(backup, kFileMode);
  fs_->syncDirectory(backupsURL());
}

std::optional<std::string> ArchiveIO::recover(const Archive& archive) const {
  std::string data = encode(archive);
  ensureFolder(directory_);
  std::optional<std::string> copy;
  if (fs_->status(dataURL()).exists) {
    std::string old = fs_->readFile(dataURL());
    bool readable = true;
    try {
      decodeRead(old);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception&) {
      readable = false;
    }
    if (readable) throw DataError(std::string(kReadableMainFileMessage));
    ensureFolder(recoveryURL());
    std::string path = recoveryURL() + "/pellam-unreadable-" + Uuid::random().text() + ".json";
    writeFileAtomically(*fs_, path, old, kFileMode);
    copy = std::move(path);
  }
  writeFileAtomically(*fs_, dataURL(), data, kFileMode);
  return copy;
}

void ArchiveIO::ensureFolder(const std::string& path) const {
  if (fs_->status(path).exists) return;
  fs_->createDirectories(path, kFolderMode);
  // The new folder's entry in its parent must survive a power cut as well as the files
  // about to be written into it.
  fs_->syncDirectory(parentFolder(path));
}

std::string ArchiveIO::newBackupPath() const {
  auto unixSeconds = static_cast<long long>(std::trunc(clock_().unixSeconds()));
  std::string prefix = backupsURL() + "/pellam-" + std::to_string(unixSeconds) + "-";
  // Two saves within one second share the prefix; a clash of the random part as well must
  // not replace an older backup.
  for (int attempt = 0; attempt < kBackupNameAttempts; ++attempt) {
    std::string path = prefix + Uuid::random().text().substr(0, 8) + ".json";
    if (!fs_->status(path).exists) return path;
  }
  throw FileSystemError(EEXIST, "Could not find a free backup name in " + backupsURL());
}

std::vector<BackupFile> ArchiveIO::backups() const {
  std::vector<BackupFile> found;
  for (std::string& name : fs_->listDirectory(backupsURL())) {
    if (!isBackupFileName(name)) continue;
    BackupFile backup{std::move(name), "", std::nullopt, std::nullopt};
    backup.path = backupsURL() + "/" + backup.name;
    try {
      FileStatus status = fs_->status(backup.path);
      if (status.exists) {
        backup.created = status.creationTime ? *status.creationTime : status.modificationTime;
        backup.status = status;
      }
    } catch (const std::exception&) {
      // Sorts as the oldest possible.
    }
    found.push_back(std::move(backup));
  }
  std::stable_sort(found.begin(), found.end(), [](const BackupFile& a, const BackupFile& b) {
    if (!a.created || !b.created) return a.created.has_value() && !b.created.has_value();
    return *a.created > *b.created;
  });
  return found;
}

void ArchiveIO::pruneBackups(const std::optional<std::string>& fresh) const {
  std::vector<BackupFile> all = backups();
  if (all.size() <= kBackupsKept) return;
  // The backup this save just made is the only copy of the file it replaced. It stays,
  // whatever the dates say: a clock set back, dates equal within the file system's
  // timestamp resolution or an unreadable date must not make it the one removed.
  auto isFresh = [&](const BackupFile& backup) { return fresh && backup.path == *fresh; };
  std::size_t room = kBackupsKept - (std::any_of(all.begin(), all.end(), isFresh) ? 1 : 0);
  for (const BackupFile& backup : all) {
    if (isFresh(backup)) continue;
    if (room > 0) {
      --room;
      continue;
    }
    try {
      fs_->remove(backup.path);
    } catch (const std::exception&) {
      // One stubborn file must not fail a save that has already replaced the data file.
    }
  }
}

}  // namespace pellam
