// The backups the archive storage keeps before every save, offered for a restore: listed,
// previewed with a token that binds the backup and the current data file, and restored only
// with that token. A restore saves like any change, so the current file is backed up first
// (or, when it cannot be read, kept in Recovery).
#include <algorithm>

#include "core/sha256.h"
#include "host/app_commands.h"

namespace pellam::host {

using agent::AgentFailure;

namespace {

struct Backup {
  std::string id;  // the file name in Backups/
  FileTime created;
  std::uint64_t bytes = 0;
};

// The backups offered for a restore: regular files only (links and folders are not
// backups), newest first.
std::vector<Backup> backups(ArchiveStore& store) {
  std::string folder = store.io().backupsURL();
  FileStatus folderStatus = store.fileSystem().status(folder);
  if (!folderStatus.exists) return {};
  if (!folderStatus.isDirectory) {
    throw AgentFailure::unsafePath(folder + " is not a folder; the host follows no links.");
  }
  std::vector<Backup> offered;
  for (BackupFile& file : store.io().backups()) {
    if (!file.status || !file.status->isRegularFile) continue;
    offered.push_back({std::move(file.name), *file.created, file.status->size});
  }
  return offered;
}

std::string oversizedBackupMessage(const std::string& id, std::uint64_t size) {
  const std::string limit = std::to_string(ArchiveIO::kMaximumDataFileBytes);
  // A size within the limit is one the file outgrew while it was read.
  std::string holds = size > ArchiveIO::kMaximumDataFileBytes ? std::to_string(size) + " bytes, more than" : "more than";
  return "The backup " + id + " cannot be read: it holds " + holds + " the " + limit + " bytes (512 MiB) Vantry reads.";
}

std::string requiredId(const agent::AgentRequest& request) {
  auto id = request.arguments.find("id");
  if (id == request.arguments.end() || id->second.empty()) {
    throw AgentFailure::invalidArgument("Choose a backup by its ID from vantry backups list.");
  }
  return id->second;
}

struct ReadBackup {
  std::string id;
  Archive archive;
  std::string token;
};

// The backup named by the request, decoded, with the token that binds it to the data file
// as it is now.
ReadBackup readBackup(ArchiveStore& store, const agent::AgentRequest& request) {
  std::string id = requiredId(request);
  if (store.dataFileIsFolder()) {
    // Whatever is in it stays the user's: the host neither empties nor moves a folder.
    throw AgentFailure::dataUnreadable(
        "pellam.json is a folder, so no backup can be restored in its place. Move the folder " + store.io().dataURL() +
        " out of the data folder, then run vantry backups preview again.");
  }
  std::vector<Backup> all = backups(store);
  auto found = std::find_if(all.begin(), all.end(), [&](const Backup& b) { return b.id == id; });
  if (found == all.end()) {
    throw AgentFailure::notFound("No backup has that ID. Run vantry backups list.");
  }
  // A backup is a data file of its day: no larger than pellam.json may be, checked before a
  // byte is read (a huge or sparse file would stall the host and exhaust its memory), and
  // again while reading, should it have grown since.
  std::uint64_t size = found->bytes;
  std::optional<std::string> content;
  if (size <= ArchiveIO::kMaximumDataFileBytes) {
    content = store.fileSystem().readFileAtMost(store.io().backupsURL() + "/" + id, ArchiveIO::kMaximumDataFileBytes);
  }
  if (!content) throw AgentFailure::invalidArgument(oversizedBackupMessage(id, size));
  std::string bytes = std::move(*content);
  ReadBackup read{id, Archive(), ""};
  try {
    read.archive = ArchiveIO::decode(bytes);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& error) {
    throw AgentFailure::invalidArgument("The backup " + id + " cannot be read: " + error.what());
  }
  std::string bound = "pellam-backup-restore-v1";
  bound += '\0';
  bound += id;
  bound += '\0';
  bound += store.diskState();
  bound += '\0';
  bound += sha256Hex(bytes);
  read.token = sha256Hex(bound);
  return read;
}

bool currentIsReadable(ArchiveStore& store) {
  try {
    store.current();
    return true;
  } catch (const AgentFailure& failure) {
    if (!failure.is(agent::FailureCode::dataUnreadable)) throw;
    return false;
  }
}

Json summary(const ReadBackup& backup, bool readable) {
  Json result = Json::object();
  result["id"] = backup.id;
  result["jobs"] = backup.archive.jobs.size();
  result["entries"] = backup.archive.entries.size();
  result["filters"] = backup.archive.filters.size();
  result["preview"] = backup.token;
  result["detail"] = "Replace all records with " + std::to_string(backup.archive.jobs.size()) + " jobs and " +
                     std::to_string(backup.archive.entries.size()) + " entries from backup " + backup.id + ". " +
                     (readable ? "The current data file is backed up first."
                               : "The unreadable data file is kept in the Recovery folder first.");
  return result;
}

}  // namespace

CommandOutcome listBackups(ArchiveStore& store) {
  Json items = Json::array();
  for (const Backup& backup : backups(store)) {
    Json item = Json::object();
    item["id"] = backup.id;
    item["bytes"] = backup.bytes;
    item["createdAt"] = formatInternetDateTime(Instant::fromUnix(
        std::chrono::duration<double>(backup.created.time_since_epoch()).count()));
    items.push_back(std::move(item));
  }
  Json result = Json::object();
  result["total"] = items.asArray().size();
  result["items"] = std::move(items);
  return {writeJson(result), false, std::nullopt, std::nullopt};
}

CommandOutcome previewBackup(ArchiveStore& store, const agent::AgentRequest& request) {
  ReadBackup backup = readBackup(store, request);
  return {writeJson(summary(backup, currentIsReadable(store))), false, std::nullopt, std::nullopt};
}

CommandOutcome restoreBackup(ArchiveStore& store, const agent::AgentRequest& request) {
  ReadBackup backup = readBackup(store, request);
  auto preview = request.arguments.find("preview");
  if (preview == request.arguments.end() || preview->second != backup.token) {
    throw AgentFailure::previewConflict(
        "The backup or the current records changed, or the preview token is missing. Run backups "
        "preview again.");
  }
  bool readable = currentIsReadable(store);
  Json result = summary(backup, readable);
  result["dryRun"] = request.dryRun;
  result["restored"] = !request.dryRun;
  CommandOutcome outcome{writeJson(result), false, std::nullopt, std::nullopt};
  if (request.dryRun) return outcome;
  if (!readable) {
    outcome.replacement = ArchiveReplacement{std::move(backup.archive), true};
  } else if (!(store.current() == backup.archive)) {
    outcome.replacement = ArchiveReplacement{std::move(backup.archive), false};
  }
  return outcome;
}

}  // namespace pellam::host
