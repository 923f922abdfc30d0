#include "core/storage/archive_io.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

#include "core/storage/archive_json.h"
#include "core/file_placement.h"
#include "core/data_error.h"
#include "core/paths.h"
#include "core/uuid.h"
#include "core/validation/validation.h"

namespace pellam {

namespace {

constexpr int kBackupNameAttempts = 8;
constexpr std::string_view kDataFileName = "pellam.json";
constexpr std::string_view kBackupPrefix = "pellam-";
constexpr std::string_view kUnreadablePrefix = "pellam-unreadable-";
constexpr std::string_view kJson = ".json";
// Room for the names of the backups kept, many times over; a larger record is not ours.
constexpr std::size_t kBackupOrderMaximumBytes = 64 * 1024;

bool isUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

bool isCanonicalUuid(std::string_view text) {
  auto id = Uuid::parse(text);
  return id && id->text() == text;
}

// Whether the data file is still the one its caller knew: unchanged, and a regular file
// (or still absent).
bool isStillKnown(const FileStatus& known, const FileStatus& now) {
  return known.isUnchangedAs(now) && (!now.exists || now.isRegularFile);
}

}  // namespace

std::optional<std::int64_t> backupFileSeconds(std::string_view name) {
  constexpr std::size_t kHexDigits = 8;
  if (!name.starts_with(kBackupPrefix) || !name.ends_with(kJson)) return std::nullopt;
  std::string_view middle = name.substr(kBackupPrefix.size(), name.size() - kBackupPrefix.size() - kJson.size());
  if (middle.size() < kHexDigits + 2 || middle[middle.size() - kHexDigits - 1] != '-') return std::nullopt;
  std::string_view hex = middle.substr(middle.size() - kHexDigits);
  std::string_view seconds = middle.substr(0, middle.size() - kHexDigits - 1);
  if (!std::all_of(hex.begin(), hex.end(), isUpperHex)) return std::nullopt;
  if (!std::all_of(seconds.begin(), seconds.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(seconds.data(), seconds.data() + seconds.size(), value);
  if (error != std::errc() || end != seconds.data() + seconds.size()) return std::nullopt;
  return value;
}

bool isBackupFileName(std::string_view name) { return backupFileSeconds(name).has_value(); }

bool isUnreadableCopyName(std::string_view name) {
  return name.starts_with(kUnreadablePrefix) && name.ends_with(kJson) &&
         isCanonicalUuid(name.substr(kUnreadablePrefix.size(), name.size() - kUnreadablePrefix.size() - kJson.size()));
}

ArchiveIO::ArchiveIO(std::string directory, std::shared_ptr<FileSystem> fileSystem, Clock clock)
    : directory_(std::move(directory)),
      fs_(std::move(fileSystem)),
      clock_(std::move(clock)),
      shared_(std::make_shared<Shared>()) {
  while (directory_.size() > 1 && directory_.back() == '/') directory_.pop_back();
}

std::string ArchiveIO::oversizedMessage(std::uint64_t size) {
  return "The data file holds " + std::to_string(size) + " bytes, more than the " +
         std::to_string(kMaximumDataFileBytes) + " bytes (512 MiB) Vantry reads.";
}

std::string ArchiveIO::dataURL() const { return directory_ + "/pellam.json"; }
std::string ArchiveIO::backupsURL() const { return directory_ + "/Backups"; }
std::string ArchiveIO::recoveryURL() const { return directory_ + "/Recovery"; }
std::string ArchiveIO::backupOrderURL() const { return backupsURL() + "/" + std::string(kBackupOrderFileName); }

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

std::string ArchiveIO::readDataFile(const FileStatus& status) const {
  if (status.size > kMaximumDataFileBytes) throw DataError(oversizedMessage(status.size));
  return fs_->readFile(dataURL());
}

Archive ArchiveIO::load() const {
  FileStatus status = fs_->status(dataURL());
  if (!status.exists) return Archive();
  return decodeRead(readDataFile(status));
}

void ArchiveIO::save(const Archive& archive, const std::optional<FileStatus>& known) const {
  saveEncoded(encode(archive), known);
}

void ArchiveIO::saveEncoded(std::string_view data, const std::optional<FileStatus>& known) const {
  ensureFolder(directory_);
  ensureFolder(backupsURL());
  std::optional<std::string> backup;
  FileStatus current = fs_->status(dataURL());
  if (known && !isStillKnown(*known, current)) throw DataFileChangedError();
  if (current.exists) {
    std::optional<std::string> old;
    if (!known) {
      old = readDataFile(current);
      decodeRead(*old);  // an unreadable data file is left for recover()
    }
    backup = backupHolding(current);
    bool made = !backup;
    if (made) {
      backup = newBackupPath();
      backUp(*backup, std::move(old));
    }
    rememberMade(*backup, made);
  }
  std::function<void()> stillKnown;
  if (known) {
    // Linking the backup changed the data file's status time, and nothing else may have
    // changed. Writing the new file takes a while for a large archive: an edit meanwhile must
    // not be replaced unseen either.
    FileStatus now = current.exists ? fs_->status(dataURL()) : current;
    FileStatus linked = *known;
    linked.changeTime = now.changeTime;
    if (!isStillKnown(linked, now)) throw DataFileChangedError();
    stillKnown = [this, backedUp = now] {
      if (!isStillKnown(backedUp, fs_->status(dataURL()))) throw DataFileChangedError();
    };
  }
  writeFileAtomically(*fs_, dataURL(), data, kPrivateFileMode, kFullyDurable, stillKnown);
  pruneBackups(backup);
}

// A backup that is the data file itself (a second hard link to it): one that an earlier save
// made before it failed or was killed. The data file is only ever replaced by a rename, so
// that backup still holds exactly its bytes.
std::optional<std::string> ArchiveIO::backupHolding(const FileStatus& dataFile) const {
  if (!dataFile.isRegularFile) return std::nullopt;
  std::vector<BackupFile> all;
  try {
    all = backups();
  } catch (const FileSystemError&) {
    return std::nullopt;  // a new backup is taken; pruning reports the folder
  }
  for (const BackupFile& backup : all) {
    if (backup.status && backup.status->isRegularFile && backup.status->isSameFile(dataFile)) return backup.path;
  }
  return std::nullopt;
}

const std::vector<std::string>& ArchiveIO::madeBackups() const {
  Shared& shared = *shared_;
  if (shared.madeRead) return shared.made;
  shared.madeRead = true;
  std::optional<std::string> bytes;
  try {
    bytes = fs_->readFileAtMost(backupOrderURL(), kBackupOrderMaximumBytes);
  } catch (const FileSystemError&) {
    // None yet, or not one to trust: dates order the backups until this run's own go first.
  }
  if (!bytes) return shared.made;
  std::string_view rest = *bytes;
  while (!rest.empty()) {
    std::size_t end = std::min(rest.find('\n'), rest.size());
    std::string_view name = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (!isBackupFileName(name)) continue;
    std::erase(shared.made, name);
    shared.made.emplace_back(name);
  }
  if (shared.made.size() > kBackupsKept) shared.made.erase(shared.made.begin(), shared.made.end() - kBackupsKept);
  return shared.made;
}

// The order survives a restart in the record beside the backups. Writing it syncs the backup
// folder, which also makes a backup just linked there durable: `linked` says one was, so the
// folder is synced even when the record names that backup last already.
void ArchiveIO::rememberMade(const std::string& backup, bool linked) const {
  madeBackups();
  std::vector<std::string>& made = shared_->made;
  std::string name = backup.substr(backup.rfind('/') + 1);
  if (!linked && !made.empty() && made.back() == name) return;
  std::erase(made, name);
  made.push_back(std::move(name));
  // Any made before the last kBackupsKept is pruned before them anyway.
  if (made.size() > kBackupsKept) made.erase(made.begin());
  std::string record;
  for (const std::string& each : made) record += each + "\n";
  try {
    // Not synced itself: a power cut may cost the record (an order of a few backups, pruning
    // then goes by dates), never a change. Its folder is synced, for the backup's sake.
    writeFileAtomically(*fs_, backupOrderURL(), record, kPrivateFileMode, Durability{false, true});
  } catch (const FileSystemError& error) {
    // The order helps pruning; it is not worth a change. The save goes on, with the backup
    // just linked made durable here instead.
    if (!shared_->orderNoticed) {
      shared_->orderNoticed = true;
      if (shared_->notice) shared_->notice(std::string("The order of the backups could not be recorded: ") + error.what());
    }
    if (linked) fs_->syncDirectory(backupsURL());
  }
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
    writeFileAtomically(*fs_, backup, *oldBytes, kPrivateFileMode);
    return;
  }
  fs_->setMode(backup, kPrivateFileMode);
  // The link is made durable with the record of the order (rememberMade), which syncs this
  // folder before the data file is replaced.
}

std::optional<std::string> ArchiveIO::recover(const Archive& archive) const { return recoverEncoded(encode(archive)); }

std::optional<std::string> ArchiveIO::recoverEncoded(std::string_view data) const {
  ensureFolder(directory_);
  std::optional<std::string> copy;
  FileStatus current = fs_->status(dataURL());
  if (current.exists) {
    if (current.isDirectory) {
      throw DataError("pellam.json is a folder, not a file. Move the folder " + dataURL() +
                      " out of the data folder, then try again.");
    }
    // Only a regular file of a readable size is read (and may prove readable); anything else
    // is unreadable as it stands.
    std::optional<std::string> old;
    if (current.isRegularFile && current.size <= kMaximumDataFileBytes) {
      old = fs_->readFile(dataURL());
      bool readable = true;
      try {
        decodeRead(*old);
      } catch (const std::bad_alloc&) {
        throw;
      } catch (const std::exception&) {
        readable = false;
      }
      if (readable) throw DataError(std::string(kReadableMainFileMessage));
    }
    ensureFolder(recoveryURL());
    std::string path = recoveryURL() + "/" + std::string(kUnreadablePrefix) + Uuid::random().text() + std::string(kJson);
    if (old) {
      writeFileAtomically(*fs_, path, *old, kPrivateFileMode);
    } else {
      // A second name for what is there (link(2) does not follow a symbolic link), durable
      // before the data file's name is given to the new file.
      fs_->link(dataURL(), path);
      if (current.isRegularFile) fs_->setMode(path, kPrivateFileMode);
      fs_->syncDirectory(recoveryURL());
    }
    copy = std::move(path);
  }
  writeFileAtomically(*fs_, dataURL(), data, kPrivateFileMode);
  return copy;
}

void ArchiveIO::ensureFolder(const std::string& path) const {
  if (fs_->status(path).exists) return;
  fs_->createDirectories(path, kPrivateFolderMode);
  // The new folder's entry in its parent must survive a power cut as well as the files
  // about to be written into it.
  fs_->syncDirectory(parentFolder(path));
}

std::string ArchiveIO::newBackupPath() const {
  auto unixSeconds = static_cast<long long>(std::trunc(clock_().unixSeconds()));
  if (unixSeconds < 0) {
    // A name's seconds have no sign. Such backups are ordered by the record of those made;
    // refusing the save instead would fail every change while the clock is wrong.
    unixSeconds = 0;
    if (!shared_->clockNoticed) {
      shared_->clockNoticed = true;
      if (shared_->notice) {
        shared_->notice("The clock is set before 1970; backups are named with the time 0 until it is set right.");
      }
    }
  }
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
    std::optional<std::int64_t> seconds = backupFileSeconds(name);
    if (!seconds) continue;
    BackupFile backup{std::move(name), "", std::nullopt, std::nullopt, *seconds};
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
  // Dates alone cannot order backups: several share one tick of a coarse clock, and a clock
  // set back or forward dates new ones before old ones. What this storage made itself, in any
  // run, it knows the order of.
  const std::vector<std::string>& made = madeBackups();
  auto madeAt = [&made](const BackupFile& backup) -> std::optional<std::size_t> {
    auto at = std::find(made.begin(), made.end(), backup.name);
    if (at == made.end()) return std::nullopt;
    return static_cast<std::size_t>(at - made.begin());
  };
  std::stable_sort(found.begin(), found.end(), [&](const BackupFile& a, const BackupFile& b) {
    std::optional<std::size_t> madeA = madeAt(a), madeB = madeAt(b);
    if (madeA || madeB) return madeA && (!madeB || *madeA > *madeB);
    if (a.created != b.created) return a.created && (!b.created || *a.created > *b.created);
    return a.nameSeconds > b.nameSeconds;
  });
  return found;
}

void ArchiveIO::removeLeftoverTemporaries() const {
  auto isData = [](std::string_view name) { return name == kDataFileName; };
  auto isBackupOrOrder = [](std::string_view name) { return isBackupFileName(name) || name == kBackupOrderFileName; };
  const std::pair<std::string, bool (*)(std::string_view)> folders[] = {
      {directory_, isData}, {backupsURL(), isBackupOrOrder}, {recoveryURL(), isUnreadableCopyName}};
  for (const auto& [folder, isTarget] : folders) {
    if (!fs_->status(folder).isDirectory) continue;
    for (const std::string& name : fs_->listDirectory(folder)) {
      std::optional<std::string_view> target = atomicWriteTarget(name);
      if (!target || !isTarget(*target)) continue;
      std::string path = folder + "/" + name;
      if (fs_->status(path).isRegularFile) fs_->remove(path);
    }
  }
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
