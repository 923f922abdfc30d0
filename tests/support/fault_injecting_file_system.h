#pragma once
// A FileSystem for tests that wraps a real one (on a temporary folder) and can
//  - fail the Nth operation with an errno, or every operation matching a name and path;
//  - "crash" at the Nth operation: that operation and every later one throw SimulatedCrash
//    (a crash inside writeNewFile leaves a torn file holding the first half of the bytes);
//  - after a crash, lose what a power cut may lose (loseUnsyncedChanges): file contents
//    written since the file's last syncFile are emptied, and creations, renames and
//    removals not yet followed by a syncDirectory of their folder are undone;
//  - or lose only the contents (loseUnsyncedBytes), as a file system whose journal kept every
//    name and mode but not the data may: the files keep their names and are left empty,
//    zero-filled or cut in half;
//  - fail or crash at the operations a test picks by name and path;
//  - report made-up creation times, or none at all, as file systems without birth times do,
//    or one time for every file, as a coarse clock would.
// Folder creation is taken as durable at once. A rename between two folders lasts once
// both folders have been synced.
#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/file_system.h"
#include "core/paths.h"

namespace pellam::testing {

// Thrown by every operation from the crash on; deliberately not a std::exception, so code
// that ignores ordinary failures cannot swallow it.
struct SimulatedCrash {};

class FaultInjectingFileSystem final : public FileSystem {
 public:
  struct Operation {
    std::string name;  // "writeNewFile", "rename", ...
    std::string path;  // the first path it touches
  };

  explicit FaultInjectingFileSystem(std::shared_ptr<FileSystem> base = RealFileSystem::shared())
      : base_(std::move(base)) {}

  // Operations are counted from 1 across every call.
  void failAt(std::size_t n, int errnoValue = EIO) {
    failAt_ = n;
    failErrno_ = errnoValue;
  }
  void crashAt(std::size_t n) { crashAt_ = n; }
  // Every operation `name` on `path` fails with `errnoValue`.
  void failEvery(std::string name, std::string path, int errnoValue = EACCES) {
    failEvery_.push_back({{std::move(name), std::move(path)}, errnoValue});
  }
  // Every operation that `matches` fails with `errnoValue`; the first one it matches crashes.
  void failWhen(std::function<bool(const Operation&)> matches, int errnoValue = EIO) {
    failWhen_.push_back({std::move(matches), errnoValue});
  }
  void crashWhen(std::function<bool(const Operation&)> matches) { crashWhen_ = std::move(matches); }
  bool crashed() const { return crashed_; }
  std::size_t operationCount() const { return log_.size(); }
  const std::vector<Operation>& log() const { return log_; }

  // Creation times as reported by status(): per path, or none for every path.
  void setCreationTime(const std::string& path, std::optional<FileTime> time) { creationTimes_[path] = time; }
  void reportNoCreationTimes() { noCreationTimes_ = true; }
  // Every creation, modification and status change time reported as `time`, as a file system
  // whose clock ticks very coarsely would.
  void reportEveryTimeAs(FileTime time) { everyTime_ = time; }

  // Folder watches: the real ones, none at all (they cannot be set up), or ones that never
  // report anything.
  enum class Watches { real, none, silent };
  void setWatches(Watches watches) { watches_ = watches; }
  // Called after every successful move with its target, e.g. to play the other side of a
  // file exchange.
  void afterMove(std::function<void(const std::string& to)> callback) { afterMove_ = std::move(callback); }

  void loseUnsyncedChanges() {
    FileSystem& real = *base_;
    for (const std::string& path : unsyncedData_) {
      FileStatus status = real.status(path);
      if (!status.exists || !status.isRegularFile) continue;
      real.remove(path);
      real.writeNewFile(path, "", status.mode);
    }
    for (auto step = journal_.rbegin(); step != journal_.rend(); ++step) {
      switch (step->kind) {
        case Step::Created:
          if (real.status(step->path).exists) real.remove(step->path);
          break;
        case Step::Renamed:
          real.move(step->to, step->path, Placement::replace);
          if (step->previous) real.writeNewFile(step->to, step->previous->bytes, step->previous->mode);
          break;
        case Step::Removed:
          if (!real.status(step->path).exists) real.writeNewFile(step->path, step->previous->bytes, step->previous->mode);
          break;
      }
    }
    unsyncedData_.clear();
    journal_.clear();
  }

  enum class CutBytes { empty, zeros, firstHalf };
  void loseUnsyncedBytes(CutBytes cut) {
    FileSystem& real = *base_;
    for (const std::string& path : unsyncedData_) {
      FileStatus status = real.status(path);
      if (!status.exists || !status.isRegularFile) continue;
      std::string bytes = real.readFile(path);
      std::string left = cut == CutBytes::empty   ? std::string()
                         : cut == CutBytes::zeros ? std::string(bytes.size(), '\0')
                                                  : bytes.substr(0, bytes.size() / 2);
      real.remove(path);
      real.writeNewFile(path, left, status.mode);
    }
    unsyncedData_.clear();
    journal_.clear();
  }

  void createDirectories(const std::string& path, mode_t mode) override {
    begin("createDirectories", path);
    base_->createDirectories(path, mode);
  }
  void setMode(const std::string& path, mode_t mode) override {
    begin("setMode", path);
    base_->setMode(path, mode);
  }
  FileStatus status(const std::string& path) override {
    begin("status", path);
    FileStatus status = base_->status(path);
    if (noCreationTimes_) status.creationTime.reset();
    if (everyTime_ && status.exists) {
      status.creationTime = *everyTime_;
      status.modificationTime = *everyTime_;
      status.changeTime = *everyTime_;
    }
    if (auto found = creationTimes_.find(path); found != creationTimes_.end()) status.creationTime = found->second;
    return status;
  }
  std::string readFile(const std::string& path) override {
    begin("readFile", path);
    return base_->readFile(path);
  }
  std::optional<std::string> readFileAtMost(const std::string& path, std::size_t maximum) override {
    begin("readFileAtMost", path);
    return base_->readFileAtMost(path, maximum);
  }
  void writeNewFile(const std::string& path, std::string_view bytes, mode_t mode) override {
    try {
      begin("writeNewFile", path);
    } catch (const SimulatedCrash&) {
      // The process died halfway through writing.
      if (!base_->status(path).exists) {
        base_->writeNewFile(path, bytes.substr(0, bytes.size() / 2), mode);
        created(path);
      }
      throw;
    }
    base_->writeNewFile(path, bytes, mode);
    created(path);
  }
  void syncFile(const std::string& path) override {
    begin("syncFile", path);
    base_->syncFile(path);
    unsyncedData_.erase(path);
  }
  void syncDirectory(const std::string& path) override {
    begin("syncDirectory", path);
    base_->syncDirectory(path);
    for (Step& step : journal_) step.unsyncedFolders.erase(path);
    std::erase_if(journal_, [](const Step& step) { return step.unsyncedFolders.empty(); });
  }
  void move(const std::string& from, const std::string& to, Placement placement) override {
    begin(placement == Placement::replace ? "rename" : "moveNoReplace", from);
    std::optional<Saved> previous = saved(to);
    base_->move(from, to, placement);
    journal_.push_back({Step::Renamed, from, to, std::move(previous), {parentFolder(from), parentFolder(to)}});
    bool fromUnsynced = unsyncedData_.erase(from) > 0;
    unsyncedData_.erase(to);
    if (fromUnsynced) unsyncedData_.insert(to);
    if (afterMove_) afterMove_(to);
  }
  void link(const std::string& from, const std::string& to) override {
    begin("link", from);
    base_->link(from, to);
    journal_.push_back({Step::Created, to, {}, std::nullopt, {parentFolder(to)}});
    if (unsyncedData_.count(from)) unsyncedData_.insert(to);
  }
  void remove(const std::string& path) override {
    begin("remove", path);
    std::optional<Saved> previous = saved(path);
    base_->remove(path);
    if (previous) journal_.push_back({Step::Removed, path, {}, std::move(previous), {parentFolder(path)}});
    unsyncedData_.erase(path);
  }
  void removeTree(const std::string& path) override {
    begin("removeTree", path);
    base_->removeTree(path);
  }
  std::vector<std::string> listDirectory(const std::string& path) override {
    begin("listDirectory", path);
    return base_->listDirectory(path);
  }
  std::unique_ptr<FileLock> tryLock(const std::string& path) override {
    begin("tryLock", path);
    return base_->tryLock(path);
  }
  std::unique_ptr<FolderWatch> watchFolder(const std::string& path) override {
    begin("watchFolder", path);
    if (watches_ == Watches::none) return nullptr;
    if (watches_ == Watches::silent) return std::make_unique<SilentWatch>();
    return base_->watchFolder(path);
  }

 private:
  static constexpr std::uint64_t kLargestSaved = 64 * 1024 * 1024;
  struct Saved {
    std::string bytes;
    mode_t mode;
  };
  struct Step {
    enum Kind { Created, Renamed, Removed } kind;
    std::string path;  // the created or removed path; a rename's source
    std::string to;    // a rename's target
    std::optional<Saved> previous;  // what a rename replaced, or what was removed
    std::set<std::string> unsyncedFolders;  // the step lasts once all of these are synced
  };

  void begin(const char* name, const std::string& path) {
    log_.push_back({name, path});
    if (crashed_ || (crashAt_ && log_.size() == crashAt_) || (crashWhen_ && crashWhen_(log_.back()))) {
      crashed_ = true;
      throw SimulatedCrash{};
    }
    if (failAt_ && log_.size() == failAt_) throw FileSystemError(failErrno_, std::string("Injected failure of ") + name + " " + path);
    for (const auto& [matches, errnoValue] : failWhen_) {
      if (matches(log_.back())) throw FileSystemError(errnoValue, std::string("Injected failure of ") + name + " " + path);
    }
    for (const auto& [operation, errnoValue] : failEvery_) {
      if (operation.name == name && operation.path == path) {
        throw FileSystemError(errnoValue, std::string("Injected failure of ") + name + " " + path);
      }
    }
  }

  void created(const std::string& path) {
    journal_.push_back({Step::Created, path, {}, std::nullopt, {parentFolder(path)}});
    unsyncedData_.insert(path);
  }

  std::optional<Saved> saved(const std::string& path) {
    FileStatus status = base_->status(path);
    // A file too large to hold in memory cheaply (a test of size limits) is not brought back.
    if (!status.exists || !status.isRegularFile || status.size > kLargestSaved) return std::nullopt;
    return Saved{base_->readFile(path), status.mode};
  }

  struct SilentWatch final : FolderWatch {
    bool wait(std::chrono::nanoseconds timeout) override {
      if (timeout > std::chrono::nanoseconds::zero()) std::this_thread::sleep_for(timeout);
      return false;
    }
    Arrivals takeArrivals() override { return {}; }
    bool ended() const override { return false; }
    int descriptor() const override { return -1; }
  };

  std::shared_ptr<FileSystem> base_;
  Watches watches_ = Watches::real;
  std::function<void(const std::string&)> afterMove_;
  std::vector<Operation> log_;
  std::size_t failAt_ = 0;
  int failErrno_ = EIO;
  std::size_t crashAt_ = 0;
  bool crashed_ = false;
  std::vector<std::pair<Operation, int>> failEvery_;
  std::vector<std::pair<std::function<bool(const Operation&)>, int>> failWhen_;
  std::function<bool(const Operation&)> crashWhen_;
  std::optional<FileTime> everyTime_;
  std::map<std::string, std::optional<FileTime>> creationTimes_;
  bool noCreationTimes_ = false;
  std::set<std::string> unsyncedData_;
  std::vector<Step> journal_;
};

}  // namespace pellam::testing
