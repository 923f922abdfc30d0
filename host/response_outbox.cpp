#include "host/response_outbox.h"

#include <algorithm>
#include <cerrno>

#include "core/file_placement.h"

namespace pellam::host {

ResponseOutbox::ResponseOutbox(std::shared_ptr<FileSystem> fs, AgentFolders folders)
    : fs_(std::move(fs)), folders_(std::move(folders)) {}

std::string ResponseOutbox::responsePath(const Uuid& id) const { return folders_.responsePath(id); }

bool ResponseOutbox::answered(const Uuid& id) const { return fs_->status(responsePath(id)).exists; }

void ResponseOutbox::publish(const Uuid& id, std::string_view bytes) {
  // Whole or not at all, and synced so that a power cut cannot leave an empty answer. The
  // folder is not synced: if the answer itself is lost, so is the removal of its request
  // (removed later), and running a command that changed nothing again is harmless.
  publishFile(*fs_, folders_.temporaryResponsePath(id), responsePath(id), bytes, kPrivateFileMode, Placement::replace,
              Durability{true, false});
}

void ResponseOutbox::publishHeld(const Uuid& id, std::string_view bytes) {
  publishFile(*fs_, folders_.temporaryResponsePath(id), responsePath(id), bytes, kHeldAnswerMode, Placement::replace,
              Durability{false, false});
}

std::string ResponseOutbox::stage(const Uuid& id, std::string_view bytes, const std::string& before,
                                  const std::string& after) {
  std::string path = folders_.stagedPath(id, before, after);
  stagedMayHoldAnswers_ = true;
  writeFileAtomically(*fs_, path, bytes, kPrivateFileMode);
  return path;
}

void ResponseOutbox::publishStaged(const std::string& stagedPath, const Uuid& id) {
  // A second name for the staged file. The staged name itself stays until the next settle()
  // finds the answer in place and drops it; so if a power cut loses this link, the staged
  // answer is still there to be published again, and no folder sync is needed here.
  try {
    fs_->link(stagedPath, responsePath(id));
  } catch (const FileSystemError& error) {
    if (error.errnoValue() != EEXIST) throw;  // an answer is there already: it stands
  }
}

void ResponseOutbox::discard(const std::string& stagedPath) { fs_->remove(stagedPath); }

std::vector<Uuid> ResponseOutbox::heldAnswers() {
  std::vector<Uuid> ids;
  for (const std::string& name : fs_->listDirectory(folders_.responses)) {
    if (std::optional<Uuid> id = agent::heldMarkId(name)) {
      ids.push_back(*id);
    } else if (std::optional<Uuid> answered = agent::idFromFileName(name)) {
      // Only an answer under its own name (the upper-case one) is the identifier's answer.
      if (answered->text() + ".json" == name && isHeldAnswer(fs_->status(folders_.responses + "/" + name))) {
        ids.push_back(*answered);
      }
    }
  }
  // An answer with its earlier version's mark is one identifier.
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

void ResponseOutbox::withdraw(const Uuid& id) {
  std::string mark = folders_.heldMarkPath(id);
  if (fs_->status(mark).exists) fs_->remove(mark);
  FileStatus answer = fs_->status(responsePath(id));
  if (answer.exists && !answer.isDirectory) fs_->remove(responsePath(id));
}

void ResponseOutbox::dropStrayMark(const Uuid& id) {
  std::string mark = folders_.heldMarkPath(id);
  if (fs_->status(mark).exists) fs_->remove(mark);
}

ResponseOutbox::Settled ResponseOutbox::settle(const DiskState& diskState) {
  Settled settled;
  if (!stagedMayHoldAnswers_) return settled;
  std::optional<std::string> state;  // read once, only when needed
  for (const std::string& name : fs_->listDirectory(folders_.staged)) {
    std::string path = folders_.staged + "/" + name;
    std::optional<agent::StagedName> staged = agent::parseStagedName(name);
    if (!staged || answered(staged->id) || !fs_->status(path).isRegularFile) {
      // Temporary files of an interrupted staging, an answer already published, or something
      // that was never staged here: none of them can be taken for an undecided answer.
      try {
        discard(path);
      } catch (const std::exception&) {
        // A folder, say; it stays, harmless.
      }
      continue;
    }
    if (!state) state = diskState();
    if (*state == staged->after) {
      publishStaged(path, staged->id);
      settled.published.push_back(staged->id);
    } else {
      discard(path);  // the save never landed; the request runs again
      if (*state != staged->before) settled.changedMeanwhile.push_back(staged->id);
    }
  }
  // What this settle published keeps its staged name until the next one finds it in place.
  stagedMayHoldAnswers_ = !settled.published.empty();
  return settled;
}

}  // namespace pellam::host
