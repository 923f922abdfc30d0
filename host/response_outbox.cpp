#include "host/response_outbox.h"

#include <cerrno>

namespace pellam::host {

namespace {

constexpr mode_t kFileMode = 0600;

struct StagedName {
  Uuid id;
  std::string state;
};

// "<ID>.<STATE>.json" with an upper-case canonical ID; anything else is not ours.
std::optional<StagedName> parseStagedName(const std::string& name) {
  constexpr std::string_view suffix = ".json";
  if (name.size() < 36 + 1 + suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0 ||
      name[36] != '.') {
    return std::nullopt;
  }
  auto id = Uuid::parse(std::string_view(name).substr(0, 36));
  if (!id || id->text() != name.substr(0, 36)) return std::nullopt;
  std::string state = name.substr(37, name.size() - 37 - suffix.size());
  if (state.empty() || state.find('.') != std::string::npos) return std::nullopt;
  return StagedName{*id, state};
}

}  // namespace

ResponseOutbox::ResponseOutbox(std::shared_ptr<FileSystem> fs, AgentFolders folders)
    : fs_(std::move(fs)), folders_(std::move(folders)) {}

std::string ResponseOutbox::responsePath(const Uuid& id) const {
  return folders_.responses + "/" + id.text() + ".json";
}

bool ResponseOutbox::answered(const Uuid& id) const { return fs_->status(responsePath(id)).exists; }

void ResponseOutbox::publish(const Uuid& id, std::string_view bytes) {
  // Whole or not at all, and synced so that a power cut cannot leave an empty answer. The
  // folder is not synced: if the answer itself is lost, so is the removal of its request
  // (removed later), and running a command that changed nothing again is harmless.
  std::string path = responsePath(id);
  std::string temporary = folders_.responses + "/." + id.text() + "." + Uuid::random().text() + ".tmp";
  fs_->writeNewFile(temporary, bytes, kFileMode);
  try {
    fs_->syncFile(temporary);
    fs_->rename(temporary, path);
  } catch (...) {
    try {
      fs_->remove(temporary);
    } catch (const std::exception&) {
      // The first failure is the one to report.
    }
    throw;
  }
}

std::string ResponseOutbox::stage(const Uuid& id, std::string_view bytes, const std::string& state) {
  std::string path = folders_.staged + "/" + id.text() + "." + state + ".json";
  writeFileAtomically(*fs_, path, bytes, kFileMode);
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

std::vector<Uuid> ResponseOutbox::settle(const DiskState& diskState) {
  std::vector<Uuid> published;
  std::optional<std::string> state;  // read once, only when needed
  for (const std::string& name : fs_->listDirectory(folders_.staged)) {
    std::string path = folders_.staged + "/" + name;
    std::optional<StagedName> staged = parseStagedName(name);
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
    if (*state == staged->state) {
      discard(path);  // the save never landed; the request runs again
    } else {
      publishStaged(path, staged->id);
      published.push_back(staged->id);
    }
  }
  return published;
}

}  // namespace pellam::host
