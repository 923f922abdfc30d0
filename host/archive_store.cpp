#include "host/archive_store.h"

#include <chrono>
#include <system_error>
#include <thread>

#include "core/storage/archive_json.h"
#include "core/storage/content_digest.h"
#include "core/validation/validation.h"

namespace pellam::host {

namespace {

agent::AgentFailure unreadable(const std::string& reason) {
  return agent::AgentFailure::dataUnreadable(
      "Vantry cannot read its data file pellam.json: " + reason +
      " The file was left as it is. Restore a backup (vantry backups list) or repair "
      "the file.");
}

// How long after a file's status change time a later write could still be given the same
// time: one tick of the kernel's coarse clock (a few milliseconds) where the file system keeps
// fractions of a second; two seconds where it keeps whole seconds only (FAT: even ones).
std::chrono::nanoseconds changeTimeTick(FileTime changed) {
  const bool wholeSeconds = changed.time_since_epoch() % std::chrono::seconds(1) == FileTime::duration::zero();
  return wholeSeconds ? std::chrono::nanoseconds(std::chrono::seconds(2))
                      : std::chrono::nanoseconds(std::chrono::milliseconds(100));
}

// A reason as a sentence of its own.
std::string sentence(std::string text) {
  if (!text.empty() && text.back() != '.') text += '.';
  return text;
}

}  // namespace

ArchiveStore::ArchiveStore(std::string dataDirectory, std::shared_ptr<FileSystem> fs)
    : fs_(fs), io_(std::move(dataDirectory), fs) {}

FileStatus ArchiveStore::identity() { return fs_->status(io_.dataURL()); }

ArchiveStore::Observed ArchiveStore::observe() {
  Observed result;
  result.at = std::chrono::system_clock::now();
  result.identity = identity();
  return result;
}

// Whether a write after the observation could leave the file with the very same identity:
// while the tick of its change time is not over (or the clock stands before it), it could.
bool ArchiveStore::mayChangeUnseen(const Observed& observed) {
  const FileStatus& identity = observed.identity;
  if (!identity.exists || !identity.isRegularFile) return false;
  return observed.at - identity.changeTime < changeTimeTick(identity.changeTime);
}

void ArchiveStore::remember(const Observed& observed) {
  cachedIdentity_ = observed.identity;
  cachedMayChangeUnseen_ = mayChangeUnseen(observed);
}

// Whether what is cached stands for the data file as it is now. Only an archive in memory
// could be served stale or saved over an edit, so only it has its bytes compared while its
// identity proves nothing yet; a file that could not be read stays refused as it stands.
bool ArchiveStore::confirmCached(const Observed& now) {
  if (!cachedIdentity_ || !cachedIdentity_->isUnchangedAs(now.identity)) return false;
  if (!cachedMayChangeUnseen_ || !cachedArchive_) return true;
  if (!cachedState_) return false;
  const FileTime readAt = std::chrono::system_clock::now();
  try {
    if (contentDigest(fs_->readFile(io_.dataURL())) != *cachedState_ || !identity().isUnchangedAs(now.identity)) {
      return false;
    }
  } catch (const std::exception&) {
    return false;  // read again, and reported, by the caller
  }
  // Once the tick is over by the time the bytes were read, a later write shows.
  cachedMayChangeUnseen_ = mayChangeUnseen(Observed{now.identity, readAt});
  return true;
}

// Why a data file is not even read: it is not a regular file, or too large.
std::optional<agent::AgentFailure> ArchiveStore::refusedUnread(const FileStatus& identity) {
  if (!identity.exists) return std::nullopt;
  if (identity.isSymbolicLink) return unreadable("it is a symbolic link, and the host follows no links.");
  if (identity.isDirectory) return unreadable("it is a folder. Move that folder out of the data folder.");
  if (!identity.isRegularFile) return unreadable("it is not a regular file.");
  if (identity.size > ArchiveIO::kMaximumDataFileBytes) return unreadable(ArchiveIO::oversizedMessage(identity.size));
  return std::nullopt;
}

void ArchiveStore::refuseLinks() {
  for (const std::string& folder : {io_.backupsURL(), io_.recoveryURL()}) {
    if (fs_->status(folder).isSymbolicLink) {
      throw agent::AgentFailure::unsafePath(folder + " is a symbolic link; the host follows no links.");
    }
  }
}

Archive& ArchiveStore::current() {
  Observed now = observe();
  if (confirmCached(now)) {
    if (cachedArchive_) return *cachedArchive_;
    if (cachedFailure_) throw *cachedFailure_;
  }
  forget();
  if (!now.identity.exists) {
    cachedArchive_.emplace();
    remember(now);
    cachedState_ = kAbsent;
    return *cachedArchive_;
  }
  if (std::optional<agent::AgentFailure> refused = refusedUnread(now.identity)) {
    remember(now);
    cachedFailure_ = refused;
    throw *refused;
  }
  std::string bytes;
  try {
    bytes = fs_->readFile(io_.dataURL());
  } catch (const std::exception& error) {
    throw unreadable(sentence(error.what()));  // perhaps passing: not remembered
  }
  // The token on the second core while the bytes are decoded: both only read them.
  std::string state;
  std::optional<std::jthread> digesting;
  try {
    digesting.emplace([&state, &bytes]() noexcept {
      try {
        state = contentDigest(bytes);
      } catch (...) {
        // Out of memory: taken again below, where the failure is reported.
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: taken below, after the decode.
  }
  const auto digested = [&] {
    if (digesting) digesting->join();
    if (state.empty()) state = contentDigest(bytes);
  };
  try {
    cachedArchive_ = ArchiveIO::decodeRead(bytes);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& error) {
    digested();
    remember(now);
    cachedState_ = std::move(state);
    cachedFailure_ = unreadable(sentence(error.what()));
    throw *cachedFailure_;
  }
  digested();
  remember(now);
  cachedState_ = std::move(state);
  return *cachedArchive_;
}

const ValidationIndex& ArchiveStore::knownValid() {
  if (!cachedArchive_) throw std::logic_error("There is no archive in memory.");
  if (!known_) known_.emplace(*cachedArchive_);  // validated whole when it was read
  return *known_;
}

const ValidationIndex& ArchiveStore::knownValidFor(const agent::CommandRow* row) {
  static const ValidationIndex noArchive;
  if (row != nullptr && row->readOnly && !known_) return noArchive;
  return knownValid();
}

std::string ArchiveStore::diskState() {
  Observed observed = observe();
  if (cachedState_ && confirmCached(observed)) return *cachedState_;
  const FileStatus& now = observed.identity;
  if (!now.exists) return kAbsent;
  if (refusedUnread(now)) {
    return "unread-" + std::to_string(now.device) + "-" + std::to_string(now.inode) + "-" + std::to_string(now.size) +
           "-" + std::to_string(now.modificationTime.time_since_epoch().count()) + "-" +
           std::to_string(now.changeTime.time_since_epoch().count());
  }
  std::string state = contentDigest(fs_->readFile(io_.dataURL()));
  // Only a token read from the very file the cache stands for may be kept with it.
  const bool cachedFile = cachedIdentity_ && cachedIdentity_->isUnchangedAs(now);
  if (cachedFile && !cachedMayChangeUnseen_ && identity().isUnchangedAs(now)) cachedState_ = state;
  return state;
}

bool ArchiveStore::unchangedOnDisk() { return !cachedArchive_ || confirmCached(observe()); }

std::string ArchiveStore::stateRead() {
  if (cachedArchive_ && cachedState_) return *cachedState_;
  return diskState();
}

void ArchiveStore::learnState() {
  if (cachedArchive_) knownValid();
  if (cachedArchive_ && !cachedState_) diskState();
  if (cachedArchive_ && !encoded_) encoded_.emplace(*cachedArchive_);
}

namespace {

// Builds for tests prove every assembled encoding against a whole one.
void checkAssembled([[maybe_unused]] const Archive& archive, [[maybe_unused]] const EncodedArchive& encoded) {
#ifndef NDEBUG
  if (encoded.bytes() != encodeArchiveJson(archive)) {
    throw std::logic_error("The assembled encoding differs from the whole encoding.");
  }
#endif
}

}  // namespace

ArchiveStore::PendingWrite ArchiveStore::prepareChange(std::optional<EntryOrigins> entryOrigins) {
  if (!cachedArchive_) throw std::logic_error("There is no archive in memory to save.");
  if (entryOrigins && !known_) throw std::logic_error("A change was not checked against the archive's index.");
  PendingWrite pending;
  if (entryOrigins && encoded_) {
    pending.encoded = encoded_->next(*cachedArchive_, *entryOrigins, std::move(spareStorage_));
  } else {
    if (!entryOrigins) validate(*cachedArchive_);
    pending.encoded = EncodedArchive(*cachedArchive_);
  }
  checkAssembled(*cachedArchive_, pending.encoded);
  pending.state = contentDigest(pending.bytes());
  pending.entryOrigins = std::move(entryOrigins);
  return pending;
}

ArchiveStore::PendingWrite ArchiveStore::prepareWrite(Archive replacement, bool recovers) {
  validate(replacement);
  PendingWrite pending;
  pending.encoded = EncodedArchive(replacement);
  pending.state = contentDigest(pending.bytes());
  pending.replacement = std::move(replacement);
  pending.recovers = recovers;
  return pending;
}

void ArchiveStore::write(PendingWrite pending) {
  try {
    refuseLinks();
    if (pending.recovers) {
      io_.recoverEncoded(pending.bytes());
    } else {
      // A link in the data file's place is refused, not followed or replaced.
      if (std::optional<agent::AgentFailure> refused = refusedUnread(identity())) throw *refused;
      // The change was made on the archive read from the data file: ArchiveIO replaces only
      // that file (the caller has compared its bytes where its times prove nothing). The
      // cached identity is that of a file this store decoded and validated, or wrote itself
      // from a validated archive.
      io_.saveEncoded(pending.bytes(), cachedArchive_ ? cachedIdentity_ : std::nullopt);
    }
    if (pending.replacement) {
      cachedArchive_ = std::move(pending.replacement);
      known_.emplace(*cachedArchive_);
      indexes_.clear();
    } else if (pending.entryOrigins && known_) {
      known_->adopt(*cachedArchive_, *pending.entryOrigins);
      indexes_.adopt(*cachedArchive_, *pending.entryOrigins);
    } else if (cachedArchive_) {
      known_.emplace(*cachedArchive_);  // validated whole by prepareChange
      indexes_.clear();
    } else {
      indexes_.clear();
    }
    if (cachedArchive_) {
      if (encoded_) spareStorage_ = std::move(*encoded_).takeStorage();
      encoded_ = std::move(pending.encoded);
    }
    // The file just written is not read back to be compared, even while its change time is
    // that new: comparing would read a large archive again after every change (about 260 ms a
    // change at 100k entries). What that leaves unseen is an outside edit keeping size and
    // times within the one clock tick after this write (a few milliseconds, while the answer
    // is still being published; none where the system gives a changed file a finer time).
    cachedIdentity_ = identity();
    cachedMayChangeUnseen_ = false;
    cachedState_ = std::move(pending.state);  // the file just written: no need to read it back
    cachedFailure_.reset();
  } catch (...) {
    forget();
    throw;
  }
}

void ArchiveStore::saveCurrent() { write(prepareChange(std::nullopt)); }

void ArchiveStore::save(Archive archive) { write(prepareWrite(std::move(archive))); }

void ArchiveStore::recover(Archive archive) { write(prepareWrite(std::move(archive), true)); }

void ArchiveStore::forget() {
  cachedIdentity_.reset();
  cachedMayChangeUnseen_ = false;
  cachedArchive_.reset();
  known_.reset();
  indexes_.clear();
  encoded_.reset();
  spareStorage_ = std::string();
  cachedState_.reset();
  cachedFailure_.reset();
}

}  // namespace pellam::host
