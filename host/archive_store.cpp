#include "host/archive_store.h"

#include "core/sha256.h"

namespace pellam::host {

namespace {

agent::AgentFailure unreadable(const std::string& reason) {
  return agent::AgentFailure("data_unreadable",
                             "Vantry cannot read its data file pellam.json: " + reason +
                                 " The file was left as it is. Restore a backup (vantry backups list) or repair "
                                 "the file.",
                             false);
}

// A reason as a sentence of its own.
std::string sentence(std::string text) {
  if (!text.empty() && text.back() != '.') text += '.';
  return text;
}

}  // namespace

ArchiveStore::ArchiveStore(std::string dataDirectory, std::shared_ptr<FileSystem> fs)
    : fs_(fs), io_(std::move(dataDirectory), fs) {}

ArchiveStore::Identity ArchiveStore::identity() {
  FileStatus status = fs_->status(io_.dataURL());
  if (status.isSymbolicLink) {
    throw unreadable("it is a symbolic link, and the host follows no links.");
  }
  if (status.exists && !status.isRegularFile) throw unreadable("it is not a regular file.");
  Identity result;
  result.exists = status.exists;
  result.size = status.size;
  result.modified = status.modificationTime;
  result.created = status.creationTime;
  return result;
}

void ArchiveStore::refuseLinks() {
  for (const std::string& folder : {io_.backupsURL(), io_.recoveryURL()}) {
    FileStatus status = fs_->status(folder);
    if (status.isSymbolicLink) {
      throw agent::AgentFailure("unsafe_path", folder + " is a symbolic link; the host follows no links.", false);
    }
  }
}

const Archive& ArchiveStore::current() {
  Identity now = identity();
  if (cachedArchive_ && cachedIdentity_ == now) return *cachedArchive_;
  forget();
  if (!now.exists) {
    cachedArchive_ = Archive();
    cachedIdentity_ = now;
    cachedState_ = kAbsent;
    return *cachedArchive_;
  }
  std::string bytes;
  try {
    bytes = fs_->readFile(io_.dataURL());
  } catch (const std::exception& error) {
    throw unreadable(sentence(error.what()));
  }
  std::string state = sha256Hex(bytes);
  try {
    cachedArchive_ = ArchiveIO::decode(bytes);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& error) {
    throw unreadable(sentence(error.what()));
  }
  cachedIdentity_ = now;
  cachedState_ = std::move(state);
  return *cachedArchive_;
}

std::optional<std::string> ArchiveStore::diskBytes() {
  Identity now = identity();
  if (!now.exists) return std::nullopt;
  return fs_->readFile(io_.dataURL());
}

std::string ArchiveStore::diskState() {
  Identity now = identity();
  if (cachedState_ && cachedIdentity_ == now) return *cachedState_;
  if (!now.exists) return kAbsent;
  std::string state = sha256Hex(fs_->readFile(io_.dataURL()));
  if (cachedIdentity_ == now) cachedState_ = state;
  return state;
}

void ArchiveStore::save(const Archive& archive) {
  refuseLinks();
  identity();  // a link in the data file's place is refused, not replaced
  forget();
  io_.save(archive);
  // Keep what was just written; its state token is read back lazily when a change needs it.
  cachedArchive_ = archive;
  cachedIdentity_ = identity();
}

std::optional<std::string> ArchiveStore::recover(const Archive& archive) {
  refuseLinks();
  identity();
  forget();
  std::optional<std::string> copy = io_.recover(archive);
  cachedArchive_ = archive;
  cachedIdentity_ = identity();
  return copy;
}

void ArchiveStore::forget() {
  cachedIdentity_.reset();
  cachedArchive_.reset();
  cachedState_.reset();
}

}  // namespace pellam::host
