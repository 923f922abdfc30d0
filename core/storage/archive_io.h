#pragma once
// The archive on disk: one JSON data file in a data folder, a rolling set of backups taken
// before every save, and a recovery path that replaces a data file that can no longer be
// read while keeping a copy of the unreadable bytes.
//
//   <directory>/pellam.json     the current archive (0600)
//   <directory>/Backups/        the 30 newest earlier data files (folder 0700, files 0600),
//                               and .backup-order: the names of those this storage made
//   <directory>/Recovery/       copies of data files that could not be read (never pruned)
//
// Every file operation goes through a FileSystem, and the data file is only ever replaced
// by writeFileAtomically, so an interrupted save leaves the old or the new complete file,
// and a copy of the old one is on disk before it is replaced.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_system.h"
#include "core/instant.h"
#include "core/records/records.h"

namespace pellam {

// A save refused because the data file is no longer the one its caller knew (the status of a
// file it decoded and validated itself, or found absent; see save()):
// something else wrote it meanwhile. Nothing was replaced; the caller runs its change again
// on the file as it now is.
class DataFileChangedError : public std::runtime_error {
 public:
  DataFileChangedError()
      : std::runtime_error("pellam.json was changed by another program while the change was being saved.") {}
};

// An entry of the backup folder whose name counts as a backup (isBackupFileName).
struct BackupFile {
  std::string name;
  std::string path;
  // None when the entry could not be looked at (it may have gone meanwhile).
  std::optional<FileStatus> status;
  // Its creation time, or its modification time where the file system records no birth
  // time (a backup is never modified after it is written); none without a status.
  std::optional<FileTime> created;
  std::int64_t nameSeconds = 0;  // the seconds in its name
};

class ArchiveIO {
 public:
  using Clock = std::function<Instant()>;
  // Told of what is worth a line in the caller's log (a clock before 1970), once per object
  // and its copies.
  using Notice = std::function<void(const std::string&)>;

  static constexpr std::size_t kBackupsKept = 30;
  // The largest data file read: a larger one is refused before it is read (unreadable), so
  // that a huge or sparse file cannot stall or exhaust the reader.
  static constexpr std::uint64_t kMaximumDataFileBytes = 512ull * 1024 * 1024;
  // Beside the backups: the names of those made by this storage, in any run, oldest first, one
  // a line. Not a backup's name, so the listing never counts it.
  static constexpr std::string_view kBackupOrderFileName = ".backup-order";
  static constexpr std::string_view kReadableMainFileMessage =
      "The main file is readable. Preview a normal import before replacing it.";

  // `clock` names the backups; both default to the real thing.
  explicit ArchiveIO(std::string directory, std::shared_ptr<FileSystem> fileSystem = RealFileSystem::shared(),
                     Clock clock = Instant::now);

  const std::string& directory() const { return directory_; }
  std::string dataURL() const;      // <directory>/pellam.json
  std::string backupsURL() const;   // <directory>/Backups
  std::string recoveryURL() const;  // <directory>/Recovery
  std::string backupOrderURL() const;  // <directory>/Backups/.backup-order

  void setNotices(Notice notice) { shared_->notice = std::move(notice); }

  // Validates (throwing its DataError), then writes the archive JSON: pretty, keys sorted,
  // dates as numbers; the same archive always gives the same bytes.
  static std::string encode(const Archive& archive);
  // Reads the archive JSON (throwing the reader's error), then validates it.
  static Archive decode(std::string_view bytes);

  // Why a data file of `size` bytes is not read (beyond kMaximumDataFileBytes).
  static std::string oversizedMessage(std::uint64_t size);

  // The archive in the data file, or a new Archive() when there is none (nothing is
  // written). A file that cannot be read or decoded fails; backups are not tried.
  Archive load() const;

  // Backs up the current data file, replaces it with `archive` and keeps the 30 newest
  // backups. A data file that cannot be decoded is never overwritten: the save fails with
  // the decoding error and the caller uses recover(). `known` is the status of a data file
  // its caller decoded and validated itself, or found absent (a caller that alone writes the
  // folder, the host): a data file still unchanged as it is taken as readable without being
  // read again, and only that file is replaced: when the data file is no longer unchanged as
  // `known` (an absent one included) at the start, or just before the new file takes
  // its name, the save fails with DataFileChangedError and leaves it. A data file that a
  // backup already holds (a save that failed or was killed after taking it) is not backed up
  // twice: the 30 kept are 30 different states.
  void save(const Archive& archive, const std::optional<FileStatus>& known = std::nullopt) const;
  // The same with the archive already encoded: `data` must come from encode().
  void saveEncoded(std::string_view data, const std::optional<FileStatus>& known = std::nullopt) const;

  // Replaces a data file that cannot be decoded, after keeping it in Recovery; returns that
  // copy's path, or none when there was no data file. A link or anything else that is not a
  // regular file, or a file too large to read, is kept there itself (a second name for it,
  // never followed). Fails with kReadableMainFileMessage when the data file decodes fine, and
  // with a DataError saying what to move when a folder has the data file's name.
  std::optional<std::string> recover(const Archive& archive) const;
  // The same with the archive already encoded: `data` must come from encode().
  std::optional<std::string> recoverEncoded(std::string_view data) const;

  // Every entry of the backup folder whose name counts as a backup, entries that are not
  // regular files included, newest first: the backups this storage made, in this run or an
  // earlier one (kBackupOrderFileName keeps them), the last made first, whatever their dates
  // say; then the others by date (the finest the file system gives), then by the seconds in
  // their names; an entry without a date sorts last. Both pruning and the host's list of
  // backups read it. Fails when the folder cannot be listed.
  std::vector<BackupFile> backups() const;

  // Removes what writes cut short by a kill left behind: the temporary files of the data
  // file, of backups and of unreadable copies, in the folders this storage writes, and
  // nothing else. Only for a caller that alone writes the folder, before it writes.
  void removeLeftoverTemporaries() const;

 // decode() of bytes as readFile gives them: a large file is parsed where it lies, without
  // the copy decode() makes (about a third of a 100k archive's decoding).
  static Archive decodeRead(const std::string& bytes);

 private:
  std::string readDataFile(const FileStatus& status) const;
  void ensureFolder(const std::string& path) const;
  std::string newBackupPath() const;
  std::optional<std::string> backupHolding(const FileStatus& dataFile) const;
  void backUp(const std::string& backup, std::optional<std::string> oldBytes) const;
  const std::vector<std::string>& madeBackups() const;
  void rememberMade(const std::string& backup, bool written) const;
  void pruneBackups(const std::optional<std::string>& fresh) const;

  std::string directory_;
  std::shared_ptr<FileSystem> fs_;
  Clock clock_;
  // Shared by an object and its copies.
  struct Shared {
    // The names of the backups made (or found holding the data file) by this storage, in any
    // run, oldest first; no more than are kept. Read from kBackupOrderFileName at first use.
    std::vector<std::string> made;
    bool madeRead = false;
    bool clockNoticed = false;
    bool orderNoticed = false;
    Notice notice;
  };
  std::shared_ptr<Shared> shared_;
};

// The seconds in a backup's name, "pellam-<seconds>-<8 upper-case hex digits>.json", or none
// when the name is not a backup's: nothing else in the backup folder is counted or pruned.
std::optional<std::int64_t> backupFileSeconds(std::string_view name);
bool isBackupFileName(std::string_view name);
// "pellam-unreadable-<UUID>.json", the name of a copy kept in Recovery.
bool isUnreadableCopyName(std::string_view name);

}  // namespace pellam
