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
  if (status.isSymbolicLink) throw unreadable("it is a symbolic link, and the host follows no links.");
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
    if (fs_->status(folder).isSymbolicLink) {
      throw agent::AgentFailure("unsafe_path", folder + " is a symbolic link; the host follows no links.", false);
    }
  }
}

Archive& ArchiveStore::current() {
  Identity now = identity();
  if (cachedArchive_ && cachedIdentity_ == now) return *cachedArchive_;
  forget();
  if (!now.exists) {
    cachedArchive_.emplace();
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

std::string ArchiveStore::diskState() {
  Identity now = identity();
  if (cachedState_ && cachedIdentity_ == now) return *cachedState_;
  if (!now.exists) return kAbsent;
  std::string state = sha256Hex(fs_->readFile(io_.dataURL()));
  // Only a token read from the very file the cache stands for may be kept with it.
  if (cachedIdentity_ == now && identity() == now) cachedState_ = state;
  return state;
}

void ArchiveStore::learnState() {
  if (cachedArchive_ && !cachedState_) diskState();
}

template <typename Write>
void ArchiveStore::write(Write&& write) {
  try {
    refuseLinks();
    identity();  // a link in the data file's place is refused, not replaced
    write();
    // The token of the new file is read back when a change needs it (the host does it
    // while idle), rather than hashed here on the way to the answer.
    cachedState_.reset();
    cachedIdentity_ = identity();
  } catch (...) {
    forget();
    throw;
  }
}

std::optional<KnownDataFile> ArchiveStore::knownDataFile() const {
  // The cached identity is that of a file this store decoded and validated, or wrote itself
  // from a validated archive.
  if (!cachedIdentity_ || !cachedIdentity_->exists) return std::nullopt;
  return KnownDataFile{cachedIdentity_->size, cachedIdentity_->modified, cachedIdentity_->created};
}

void ArchiveStore::saveCurrent() {
  if (!cachedArchive_) throw std::logic_error("There is no archive in memory to save.");
  write([this] { io_.save(*cachedArchive_, knownDataFile()); });
}

void ArchiveStore::save(Archive archive) {
  std::optional<KnownDataFile> known = knownDataFile();
  cachedArchive_ = std::move(archive);
  write([&] { io_.save(*cachedArchive_, known); });
}

std::optional<std::string> ArchiveStore::recover(Archive archive) {
  cachedArchive_ = std::move(archive);
  std::optional<std::string> copy;
  write([&] { copy = io_.recover(*cachedArchive_); });
  return copy;
}

void ArchiveStore::forget() {
  cachedIdentity_.reset();
  cachedArchive_.reset();
  cachedState_.reset();
}

}  // namespace pellam::host
