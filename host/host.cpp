#include "host/host.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <set>

#include "core/file_placement.h"
#include "host/agent_folders.h"
#include "host/answer_retention.h"
#include "host/app_commands.h"
#include "host/archive_store.h"
#include "host/file_pruning.h"
#include "host/heartbeat.h"
#include "host/reminders.h"
#include "host/host_log.h"
#include "host/request_log.h"
#include "host/request_processor.h"
#include "host/request_watcher.h"
#include "host/stop_signals.h"

namespace pellam::host {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr auto kRescanInterval = std::chrono::seconds(1);
constexpr auto kRescanWithoutNotifications = std::chrono::milliseconds(50);
// Also how often the running time is recorded: a kill loses at most this much of it.
constexpr auto kPruneInterval = std::chrono::minutes(10);
constexpr auto kRetryAfterFailure = std::chrono::seconds(5);
// Reminders have minute resolution: one shows within a second of its minute.
constexpr auto kReminderInterval = std::chrono::seconds(1);
// Idle work (encoding a large archive whole takes about 150 ms at 100k entries) waits this
// long after the start and after each request: a client that has just started the host, or
// sends several commands, sends its next request within it, and a request cannot be answered
// while that work runs. A change that comes first does the work itself.
constexpr auto kIdleWorkAfterQuiet = std::chrono::milliseconds(250);

// The same folder, not merely one that was given the same inode number after the first was
// removed: its birth time tells them apart where the file system records one.
bool isSameFolder(const FileStatus& a, const FileStatus& b) {
  return a.isSameFile(b) && a.creationTime == b.creationTime;
}

// An exclusive lock on the data folder itself for the host's life: two hosts answering one
// folder would run requests twice. The folder cannot be deleted from under a running host the
// way a lock file could (by hand, or with AgentAPI/). `locked` is set to the folder locked.
std::unique_ptr<FileLock> lockFolder(FileSystem& fs, const std::string& data, FileStatus& locked) {
  FileStatus before = fs.status(data);
  std::unique_ptr<FileLock> lock = fs.tryLock(data);
  if (!lock) throw HostError("Another vantry-host already serves this data folder.");
  locked = fs.status(data);
  if (!isSameFolder(locked, before)) throw HostError("The data folder was replaced while it was being locked.");
  return lock;
}

bool isHeartbeatLeftover(const std::string& name) { return agent::isTemporaryStatusName(name); }

class Loop {
 public:
  Loop(const HostOptions& options, HostLog& log, FileStatus lockedFolder, std::shared_ptr<FileSystem> fs)
      : lockedFolder_(lockedFolder),
        log_(log),
        fs_(std::move(fs)),
        folders_(options.dataDirectory),
        store_(folders_.data, fs_),
        lockedByPreference_(!options.locked && locksOnLaunch(store_)),
        heartbeat_(fs_, folders_, options.locked || lockedByPreference_),
        processor_(fs_, folders_, store_, heartbeat_, commandEngine()),
        watcher_(folders_.requests, fs_),
        retention_(fs_, folders_),
        remindersWanted_(options.reminders) {
    store_.setNotices([this](const std::string& text) { log_.line("vantry-host: " + text); });
  }

  int run(StopSignals& signals, const std::function<void()>& onReady) {
    // A heartbeat write cut short by a kill leaves its temporary file behind.
    pruneOlderThan(*fs_, folders_.api, std::chrono::system_clock::now() - std::chrono::minutes(1),
                   isHeartbeatLeftover);
    // Before the heartbeat lets a client in: the answers an earlier run held go, as after a
    // power cut one may be cut short (host/held_answers.h).
    processor_.withdrawDue();
    heartbeat_.publish();
    heartbeat_.start([this](const std::string& error) { log_.line("vantry-host: heartbeat: " + error); });
    watching_ = watcher_.watch();
    removeLeftovers();
    ResponseOutbox::Settled settled = processor_.recover();
    for (const Uuid& id : settled.published) {
      logRequest(log_, Instant::now(), id.text(), "-", "published-after-restart", 0);
    }
    for (const Uuid& id : settled.changedMeanwhile) {
      logRequest(log_, Instant::now(), id.text(), "-",
                 "staged answer dropped: pellam.json was changed while the host was down; the request runs again", 0);
    }
    prune();
    readArchive();
    log_.line("vantry-host: serving " + folders_.data + (heartbeat_.locked() ? " (locked)" : "") +
              (lockedByPreference_ ? "; lockOnLaunch is on: vantry app unlock unlocks it" : ""));
    if (onReady) onReady();

    if (remindersWanted_) {
      reminders_.emplace([this](const std::string& text) { log_.line(text); }, fs_, folders_.reminders);
    }

    auto nextRescan = SteadyClock::now();
    auto nextPrune = SteadyClock::now() + kPruneInterval;
    auto nextReminderCheck = SteadyClock::now();
    auto idleWorkAt = SteadyClock::now() + kIdleWorkAfterQuiet;
    int status = 0;
    while (!signals.received()) {
      if (!servesItsFolder()) {
        status = 1;
        break;
      }
      bool rescan = false;
      for (std::string& name : watcher_.drain(rescan)) enqueue(name);
      if (rescan || SteadyClock::now() >= nextRescan) {
        this->rescan();
        // Without notifications the rescans are all there is: as often as the client looks.
        nextRescan = SteadyClock::now() + (watching_ ? kRescanInterval : kRescanWithoutNotifications);
      }
      if (SteadyClock::now() >= nextPrune) {
        prune();
        nextPrune = SteadyClock::now() + kPruneInterval;
      }
      if (reminders_ && SteadyClock::now() >= nextReminderCheck) {
        reminders_->check(store_, heartbeat_.locked());
        nextReminderCheck = SteadyClock::now() + kReminderInterval;
      }
      if (!queue_.empty()) {
        std::string name = queue_.front();
        queue_.pop_front();
        queued_.erase(name);
        handle(name);
        idleWorkAt = SteadyClock::now() + kIdleWorkAfterQuiet;
        continue;  // a signal that came meanwhile is seen before the next request
      }
      processor_.withdrawDue();
      auto wake = reminders_ ? std::min(nextRescan, nextReminderCheck) : nextRescan;
      if (SteadyClock::now() >= idleWorkAt) {
        processor_.prepare();  // idle: learn what the next change will need
      } else {
        wake = std::min(wake, idleWorkAt);
      }
      auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - SteadyClock::now());
      pollfd waits[2] = {{watcher_.descriptor(), POLLIN, 0}, {signals.descriptor(), POLLIN, 0}};
      ::poll(waits, 2, static_cast<int>(std::max<long long>(0, wait.count()) + 1));
    }
    // Asked to stop: the heartbeat goes first, so that a client from now on is told at once
    // that no app serves the folder. A host stopping because the folder is no longer the one
    // it locked leaves the heartbeat alone: it may not be its own.
    if (status == 0) withdrawHeartbeat();
    prune();  // records this run's time
    reminders_.reset();  // waits for a notification in hand, a few seconds at most
    heartbeat_.stop();
    log_.line("vantry-host: stopped");
    return status;
  }

 private:
  void withdrawHeartbeat() {
    try {
      heartbeat_.withdraw();
    } catch (const std::exception& error) {
      log_.line(std::string("vantry-host: removing the heartbeat: ") + error.what());
    }
  }

  void enqueue(const std::string& name) {
    if (!agent::idFromFileName(name)) return;
    if (auto retry = retryAt_.find(name); retry != retryAt_.end() && SteadyClock::now() < retry->second) return;
    if (queued_.insert(name).second) queue_.push_back(name);
  }

  // What writes cut short by a kill left behind: the temporary files only this host makes, in
  // the folders it writes. The lock is held, so none of them is being written now.
  void removeLeftovers() {
    try {
      store_.io().removeLeftoverTemporaries();
      for (const std::string& name : fs_->listDirectory(folders_.responses)) {
        if (agent::isTemporaryResponseName(name)) fs_->remove(folders_.responses + "/" + name);
      }
      for (const std::string& name : fs_->listDirectory(folders_.api)) {
        std::optional<std::string_view> target = atomicWriteTarget(name);
        if (target == folders_.retention.substr(folders_.api.size() + 1) ||
            target == folders_.reminders.substr(folders_.api.size() + 1)) {
          fs_->remove(folders_.api + "/" + name);
        }
      }
    } catch (const std::exception& error) {
      log_.line(std::string("vantry-host: removing leftover temporary files: ") + error.what());
    }
  }

  // Whether the folder at the data folder's path is still the one this host locked, and its
  // agent folder one the host can work in. The lock holds a folder, not a path: once the
  // folder is moved away or replaced, another host can lock the new one, so this one stops.
  bool servesItsFolder() {
    try {
      if (!isSameFolder(fs_->status(folders_.data), lockedFolder_)) {
        log_.line("vantry-host: the data folder " + folders_.data +
                  " was moved or replaced while this host served it; stopping, so that no two hosts serve it");
        return false;
      }
    } catch (const std::exception&) {
      // Cannot look now (the rescan reports trouble with the folders); the next look decides.
    }
    if (folderTrouble_) log_.line("vantry-host: stopping: " + *folderTrouble_);
    return !folderTrouble_;
  }

  // Everything waiting in Requests/, oldest first; a safety net for missed events.
  void rescan() {
    try {
      try {
        folders_.prepare(*fs_);
      } catch (const HostError& error) {
        folderTrouble_ = error.what();  // a link or a file where a folder belongs: as at start
        return;
      }
      FileStatus api = fs_->status(folders_.api);
      if (api.exists && apiFolder_.exists && !isSameFolder(api, apiFolder_)) {
        log_.line("vantry-host: " + folders_.api + " was removed or replaced while serving; made it again");
        watching_ = false;  // the watch was on the old folder
      }
      apiFolder_ = api;
      if (!watching_ || !watcher_.watching()) watching_ = watcher_.watch();
      std::vector<std::pair<FileTime, std::string>> found;
      for (const std::string& name : fs_->listDirectory(folders_.requests)) {
        if (!agent::idFromFileName(name) || queued_.count(name)) continue;
        FileStatus status = fs_->status(folders_.requests + "/" + name);
        if (status.exists) found.emplace_back(status.modificationTime, name);
      }
      std::sort(found.begin(), found.end());
      for (const auto& [time, name] : found) enqueue(name);
      reportedTrouble_ = false;
    } catch (const std::exception& error) {
      watching_ = false;
      if (!reportedTrouble_) log_.line(std::string("vantry-host: ") + error.what());
      reportedTrouble_ = true;
    }
  }

  void handle(const std::string& name) {
    auto started = SteadyClock::now();
    try {
      std::optional<HandledRequest> handled = processor_.handle(name);
      retryAt_.erase(name);
      if (!handled) return;
      double ms = std::chrono::duration<double, std::milli>(SteadyClock::now() - started).count();
      logRequest(log_, Instant::now(), handled->id, handled->command, handled->outcome, ms);
    } catch (const std::exception& error) {
      // The request file stays; it is tried again after a pause rather than in a tight loop.
      retryAt_[name] = SteadyClock::now() + kRetryAfterFailure;
      double ms = std::chrono::duration<double, std::milli>(SteadyClock::now() - started).count();
      logRequest(log_, Instant::now(), name.substr(0, 36), "-", std::string("deferred: ") + error.what(), ms);
    }
  }

  // Read before the host says it is ready, so that the first command does not wait for a
  // large archive; an unreadable one is refused by the commands that need it.
  void readArchive() {
    try {
      store_.current();
    } catch (const std::exception&) {
    }
  }

  void prune() {
    try {
      retention_.prune();
    } catch (const std::exception& error) {
      log_.line(std::string("vantry-host: pruning: ") + error.what());
    }
  }

  FileStatus lockedFolder_;
  FileStatus apiFolder_;
  std::optional<std::string> folderTrouble_;
  HostLog& log_;
  std::shared_ptr<FileSystem> fs_;
  AgentFolders folders_;
  ArchiveStore store_;
  bool lockedByPreference_;
  Heartbeat heartbeat_;
  RequestProcessor processor_;
  RequestWatcher watcher_;
  AnswerRetention retention_;
  bool remindersWanted_;
  std::optional<Reminders> reminders_;
  bool watching_ = true;
  bool reportedTrouble_ = false;
  std::deque<std::string> queue_;
  std::set<std::string> queued_;
  std::map<std::string, SteadyClock::time_point> retryAt_;
};

}  // namespace

int runHost(const HostOptions& options, std::ostream& out, std::shared_ptr<FileSystem> fs,
            std::function<void()> onReady) {
  // A log line written after the log's reader went away must not end the host: the write
  // fails instead, and the line is dropped.
  ignoreClosedPipes();
  HostLog log(out);
  log.line(std::string("vantry-host: ") + kHostVersion + ", pid " + std::to_string(::getpid()) + ": data folder " +
           options.dataDirectory +
           (options.dataDirectoryOrigin.empty() ? "" : " (" + options.dataDirectoryOrigin + ")"));
  StopSignals signals;
  try {
    AgentFolders folders(options.dataDirectory);
    fs->createDirectories(folders.data, kPrivateFolderMode);
    folders.prepare(*fs);
    FileStatus locked;
    std::unique_ptr<FileLock> lock = lockFolder(*fs, folders.data, locked);
    Loop loop(options, log, locked, fs);
    return loop.run(signals, onReady);
  } catch (const std::exception& error) {
    log.line(std::string("vantry-host: ") + error.what());
    return 1;
  }
}

}  // namespace pellam::host
