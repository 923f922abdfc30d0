#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "agent/folder/agent_folder_layout.h"
#include "core/file_system.h"
#include "core/instant.h"

namespace pellam::host {

inline constexpr const char* kHostAppVersion = "1.0 (vantry-host)";
inline constexpr const char* kHostWebsiteURL = "https://vantry.app/docs/cli";

// The host's AgentAPI/status.json: agent access on, the lock state, and the moment of
// writing, rewritten every second from its own thread so that a long request never lets it
// go stale. Each write replaces the file in one step; it is not synced, because a heartbeat
// that did not survive a power cut is stale by then anyway.
class Heartbeat {
 public:
  using Clock = std::function<Instant()>;

  Heartbeat(std::shared_ptr<FileSystem> fs, agent::AgentFolderLayout folders, bool locked, Clock clock = Instant::now);
  ~Heartbeat();
  Heartbeat(const Heartbeat&) = delete;
  Heartbeat& operator=(const Heartbeat&) = delete;

  bool locked() const { return locked_; }
  // Changes the lock state and publishes it at once.
  void setLocked(bool locked);

  // Writes the status record now; throws the file system's error.
  void publish();

  // Publishes every second until stop(); a failed write is reported through `onError` once
  // per run of failures.
  void start(std::function<void(const std::string&)> onError);
  void stop();
  // Stops, and removes status.json: a host that has stopped serving must not look alive to a
  // client for the three seconds a heartbeat stays fresh, or the client would leave a request
  // that nobody answers and wait out its timeout. Throws the file system's error.
  void withdraw();

 private:
  void run();

  std::shared_ptr<FileSystem> fs_;
  agent::AgentFolderLayout folders_;
  std::atomic<bool> locked_;
  Clock clock_;
  std::mutex writing_;
  std::mutex state_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::function<void(const std::string&)> onError_;
  std::thread thread_;
};

}  // namespace pellam::host
