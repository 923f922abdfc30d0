#pragma once
#include <memory>
#include <optional>
#include <string>

#include "agent/engine/archive_indexes.h"
#include "agent/wire/command_table.h"
#include "agent/wire/failure.h"
#include "core/storage/archive_io.h"
#include "core/storage/encoded_archive.h"
#include "core/records/entry_origins.h"
#include "core/file_system.h"
#include "core/records/records.h"
#include "core/validation/validation_index.h"

namespace pellam::host {

// The archive of one data folder as the host serves it: decoded once and kept in memory
// while pellam.json stays the file it was read from, saved through ArchiveIO. A data file
// that cannot be read is never written over by a save; every command that needs the
// records fails with `data_unreadable` until the user restores a backup or repairs it. Such
// a file is not read again while its size, times and identity stay the same.
//
// The data file is taken to be the one read while it is the same file with the same size and
// times, its status change time included: no user can set that one back, so an edit in place
// that kept the size and the modification time (cp -p, rsync -t, touch -r) is noticed. A time
// that new that a later write could share it (within the file system's clock tick) proves
// nothing yet, so the bytes are compared instead until it is older. Nothing is ever saved
// over a file that is not the one the change was made on (DataFileChangedError).
//
// The archive in memory is validated whole once, when it is read; beside it the store keeps
// what that validation established (ValidationIndex), so a command checks only what it
// changes, and the archive's last encoding (EncodedArchive), so a save formats only the
// entries that changed. Both follow each saved change; anything else (a failed save, a
// change of the file behind the host's back) drops them with the archive. So do the engine's
// indexes of the archive (entries by start, pay lines per job and week), which read-only
// commands read instead of looking at every entry.
class ArchiveStore {
 public:
  // What a state token is when there is no data file.
  static constexpr const char* kAbsent = "absent";

  // A change encoded and ready to be written, with the token the data file will have.
  struct PendingWrite {
    EncodedArchive encoded;
    std::string state;
    std::optional<Archive> replacement;  // none: the archive current() returned, as changed
    bool recovers = false;               // replaces an unreadable data file
    std::optional<EntryOrigins> entryOrigins;  // of a change in place checked against knownValid()

    const std::string& bytes() const { return encoded.bytes(); }
  };

  ArchiveStore(std::string dataDirectory, std::shared_ptr<FileSystem> fs);

  const ArchiveIO& io() const { return io_; }
  void setNotices(ArchiveIO::Notice notice) { io_.setNotices(std::move(notice)); }
  FileSystem& fileSystem() { return *fs_; }

  // The archive in pellam.json (an empty one when there is none), kept between requests;
  // a command may change it in place and then call saveCurrent() (or forget() when the change
  // is not to be kept). Throws AgentFailure `data_unreadable` when pellam.json is a symbolic
  // link or anything else that is not a regular file, is larger than ArchiveIO reads, or
  // cannot be read or decoded.
  Archive& current();

  // What the validation of the archive current() returned established; only after current(),
  // and before a command changes that archive. Built at the first call (or while idle, by
  // learnState()): the first answer after a start need not wait for it.
  const ValidationIndex& knownValid();
  // knownValid() for a command with `row`, except that a command that only looks, which never
  // checks a change, is given an index of no archive while the real one is not built yet.
  const ValidationIndex& knownValidFor(const agent::CommandRow* row);
  // What the engine keeps of the archive current() returned; only after current().
  agent::ArchiveIndexes& indexes() { return indexes_; }

  bool dataFileExists() { return identity().exists; }
  bool dataFileIsFolder() { return identity().isDirectory; }

  // A token of pellam.json exactly as it is on disk now: the content digest of its bytes,
  // kAbsent, or, for what is never read (not a regular file, or too large), a token of which
  // file it is ("unread-..."). Reads the file unless its token is known already.
  std::string diskState();

  // Whether pellam.json is still the file the archive current() returned was read from (or
  // this store wrote), so that a change made on it may be saved; true when there is none.
  bool unchangedOnDisk();
  // The token of the file the archive current() returned was read from (or this store wrote):
  // the file a change made on it was made on. diskState() when there is no such archive.
  std::string stateRead();

  // Ahead of the change that will need them: builds knownValid(), reads the token of a data
  // file whose token is not known yet, and encodes the archive in memory whole when its
  // encoding is not kept.
  void learnState();

  // Encodes what a change writes: the archive current() returned, as changed in place. With
  // `entryOrigins` the change has been checked against knownValid() and only its changed
  // entries are encoded; without, it is validated and encoded whole.
  PendingWrite prepareChange(std::optional<EntryOrigins> entryOrigins);
  // Validates and encodes `replacement`, to be saved with a backup first or, with
  // `recovers`, replacing an unreadable data file.
  PendingWrite prepareWrite(Archive replacement, bool recovers = false);
  // Writes it through ArchiveIO, over the file the archive current() returned was read from
  // only (DataFileChangedError when it is not that file by its identity; unchangedOnDisk()
  // first compares the bytes where the identity cannot tell); afterwards the cache stands for the new file, whose token is
  // known without reading it back. On failure the archive in memory is dropped, so it is
  // read again.
  void write(PendingWrite pending);

  // prepareChange (a change not checked yet) or prepareWrite, and write, in one.
  void saveCurrent();
  void save(Archive archive);
  void recover(Archive archive);

  // Drops what is cached; the next call reads the disk again.
  void forget();

 private:
  // An identity with the wall-clock time just before it was taken.
  struct Observed {
    FileStatus identity;
    FileTime at;
  };
  // The data file's status: its identity, taken again at every look.
  FileStatus identity();
  Observed observe();
  static bool mayChangeUnseen(const Observed& observed);
  bool confirmCached(const Observed& now);
  void remember(const Observed& observed);
  static std::optional<agent::AgentFailure> refusedUnread(const FileStatus& identity);
  void refuseLinks();

  std::shared_ptr<FileSystem> fs_;
  ArchiveIO io_;
  std::optional<FileStatus> cachedIdentity_;
  bool cachedMayChangeUnseen_ = false;  // the bytes must be compared before cachedIdentity_ is trusted
  std::optional<Archive> cachedArchive_;
  std::optional<ValidationIndex> known_;       // of cachedArchive_, once built
  agent::ArchiveIndexes indexes_;              // of cachedArchive_, built as commands ask
  std::optional<EncodedArchive> encoded_;      // of cachedArchive_ as it was last saved or read
  std::string spareStorage_;                   // the buffer of the encoding before, for the next
  std::optional<std::string> cachedState_;            // of the file with cachedIdentity_
  std::optional<agent::AgentFailure> cachedFailure_;  // why that file cannot be read
};

}  // namespace pellam::host
