#include "host/answer_retention.h"

#include "core/file_placement.h"
#include "core/json.h"

namespace pellam::host {

namespace {

using std::chrono::milliseconds;

constexpr std::size_t kLargestLedger = 64 * 1024 * 1024;
constexpr std::string_view kResponses = "Responses/", kRejected = "Rejected/", kRequests = "Requests/";

std::optional<milliseconds> millisecondsIn(const Json* value) {
  if (value == nullptr || !value->isNumber()) return std::nullopt;
  std::optional<std::int64_t> count = value->asInt64();
  if (!count || *count < 0) return std::nullopt;
  return milliseconds(*count);
}

}  // namespace

AnswerRetention::AnswerRetention(std::shared_ptr<FileSystem> fs, AgentFolders folders, Monotonic now)
    : fs_(std::move(fs)), folders_(std::move(folders)), now_(std::move(now)), last_(now_()) {}

void AnswerRetention::load() {
  FileStatus status = fs_->status(folders_.retention);
  if (!status.exists) {
    ran_ = milliseconds(0);
    loaded_ = true;
    return;
  }
  std::optional<std::string> bytes = fs_->readFileAtMost(folders_.retention, kLargestLedger);
  try {
    if (!bytes) throw JsonTypeError("too large");
    Json ledger = parseJson(*bytes);
    std::optional<milliseconds> ran = millisecondsIn(ledger.find("ranMilliseconds"));
    const Json* seen = ledger.find("firstSeen");
    if (!ran || seen == nullptr || !seen->isObject()) throw JsonTypeError("not a ledger");
    std::map<std::string, milliseconds> firstSeen;
    for (const auto& [key, value] : seen->asObject()) {
      // Seen later than the host has run: a ledger from elsewhere; seen now, then.
      std::optional<milliseconds> at = millisecondsIn(&value);
      if (at && *at <= *ran) firstSeen.emplace(key, *at);
    }
    ran_ = *ran;
    firstSeen_ = std::move(firstSeen);
  } catch (const std::exception&) {
    // A damaged ledger starts afresh: everything is kept a full week from now.
    ran_ = milliseconds(0);
    firstSeen_.clear();
  }
  loaded_ = true;
}

void AnswerRetention::save() {
  Json seen = Json::object();
  for (const auto& [key, at] : firstSeen_) seen[key] = static_cast<std::int64_t>(at.count());
  Json ledger = Json::object();
  ledger["ranMilliseconds"] = static_cast<std::int64_t>(ran_.count());
  ledger["firstSeen"] = std::move(seen);
  writeFileAtomically(*fs_, folders_.retention, writeJson(ledger), kPrivateFileMode);
}

void AnswerRetention::removeItem(const std::string& key) {
  if (key.starts_with(kResponses)) {
    std::string name = key.substr(kResponses.size());
    std::string path = folders_.responses + "/" + name;
    // A held answer's mark goes first: it must never outlive its answer.
    if (std::optional<Uuid> id = agent::idFromFileName(name)) {
      std::string mark = folders_.heldMarkPath(*id);
      if (fs_->status(mark).exists) fs_->remove(mark);
    }
    FileStatus status = fs_->status(path);
    if (status.isDirectory) {
      fs_->removeTree(path);
    } else if (status.exists) {
      fs_->remove(path);
    }
    return;
  }
  std::string path = key.starts_with(kRejected) ? folders_.rejected + "/" + key.substr(kRejected.size())
                                                : folders_.requests + "/" + key.substr(kRequests.size());
  FileStatus status = fs_->status(path);
  if (status.isDirectory) {
    fs_->removeTree(path);  // never follows the links inside
  } else if (status.exists) {
    fs_->remove(path);
  }
}

void AnswerRetention::prune() {
  const auto now = now_();
  if (now > last_) ran_ += std::chrono::duration_cast<milliseconds>(now - last_);
  last_ = now;
  if (!loaded_) {
    milliseconds ranHere = ran_;  // this host's, before the earlier hosts' are known
    load();
    ran_ += ranHere;
  }

  std::map<std::string, milliseconds> present;
  auto note = [&](std::string_view prefix, const std::string& name) {
    std::string key = std::string(prefix) + name;
    auto found = firstSeen_.find(key);
    present.emplace(key, found == firstSeen_.end() ? ran_ : found->second);
  };
  for (const std::string& name : fs_->listDirectory(folders_.responses)) {
    // Held marks go with their answers; temporary answers are a killed run's, removed at start.
    if (!agent::heldMarkId(name) && !agent::isTemporaryResponseName(name)) note(kResponses, name);
  }
  for (const std::string& name : fs_->listDirectory(folders_.rejected)) note(kRejected, name);
  for (const std::string& name : fs_->listDirectory(folders_.requests)) {
    if (agent::isPendingRequestName(name)) note(kRequests, name);
  }

  for (auto item = present.begin(); item != present.end();) {
    if (ran_ - item->second <= kKeep) {
      ++item;
      continue;
    }
    try {
      removeItem(item->first);
      item = present.erase(item);
    } catch (const std::exception&) {
      ++item;  // tried again at the next pruning
    }
  }
  firstSeen_ = std::move(present);
  save();
}

}  // namespace pellam::host
