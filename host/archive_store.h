#pragma once
#include <memory>
#include <optional>
#include <string>

#include "agent/wire/failure.h"
#include "core/archive_io.h"
#include "core/file_system.h"
#include "core/records.h"

namespace pellam::host {

// The archive of one data folder as the host serves it: decoded once and kept in memory
// while pellam.json stays the file it was read from, saved through ArchiveIO. A data file
// that cannot be read is never written over by a save; every command that needs the
// records fails with `data_unreadable` until the user restores a backup or repairs it.
class ArchiveStore {
 public:
  // What a state token is when there is no data file.
  static constexpr const char* kAbsent = "absent";

  ArchiveStore(std::string dataDirectory, std::shared_ptr<FileSystem> fs);

  const ArchiveIO& io() const { return io_; }
  FileSystem& fileSystem() { return *fs_; }

  // The archive in pellam.json (an empty one when there is none), kept between requests;
  // a command may change it in place and then call saveCurrent() (or forget() when the change
  // is not to be kept). Throws AgentFailure `data_unreadable` when pellam.json is a symbolic
  // link or cannot be read or decoded.
  Archive& current();

  bool dataFileExists() { return identity().exists; }

  // A token of pellam.json exactly as it is on disk now: the SHA-256 of its bytes, or
  // kAbsent. Reads the file unless its token is known already.
  std::string diskState();

  // Reads the token of a data file just written here, ahead of the change that will need it.
  void learnState();

  // Saves the archive current() returned, as changed in place, through ArchiveIO (a backup of
  // the data file first). On failure the archive in memory is dropped, so it is read again.
  void saveCurrent();
  // Saves `archive` in place of the current one.
  void save(Archive archive);
  // Replaces an unreadable data file through ArchiveIO::recover (a copy of it kept in
  // Recovery); returns that copy's path.
  std::optional<std::string> recover(Archive archive);

  // Drops what is cached; the next call reads the disk again.
  void forget();

 private:
  struct Identity {
    bool exists = false;
    std::uint64_t size = 0;
    FileTime modified{};
    std::optional<FileTime> created;
    bool operator==(const Identity&) const = default;
  };
  Identity identity();
  std::optional<KnownDataFile> knownDataFile() const;
  void refuseLinks();
  // Runs a save or recovery through ArchiveIO; afterwards the cache stands for the new file.
  template <typename Write>
  void write(Write&& write);

  std::shared_ptr<FileSystem> fs_;
  ArchiveIO io_;
  std::optional<Identity> cachedIdentity_;
  std::optional<Archive> cachedArchive_;
  std::optional<std::string> cachedState_;  // of the file with cachedIdentity_
};

}  // namespace pellam::host
