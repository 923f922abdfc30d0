#include "host/heartbeat.h"

#include "agent/wire/wire.h"
#include "core/file_placement.h"

namespace pellam::host {

Heartbeat::Heartbeat(std::shared_ptr<FileSystem> fs, agent::AgentFolderLayout folders, bool locked, Clock clock)
    : fs_(std::move(fs)), folders_(std::move(folders)), locked_(locked), clock_(std::move(clock)) {}

Heartbeat::~Heartbeat() { stop(); }

void Heartbeat::setLocked(bool locked) {
  locked_ = locked;
  publish();
}

void Heartbeat::publish() {
  agent::AgentStatus status;
  status.version = agent::kProtocolVersion;
  status.enabled = true;
  status.locked = locked_;
  status.updatedAt = clock_();
  status.websiteURL = kHostWebsiteURL;
  status.appVersion = kHostAppVersion;
  std::string bytes = agent::AgentWire::encode(status);

  std::lock_guard<std::mutex> lock(writing_);
  publishFile(*fs_, folders_.temporaryStatusPath(), folders_.status, bytes, kPrivateFileMode, Placement::replace,
              Durability{false, false});
}

void Heartbeat::start(std::function<void(const std::string&)> onError) {
  onError_ = std::move(onError);
  thread_ = std::thread([this] { run(); });
}

void Heartbeat::stop() {
  {
    std::lock_guard<std::mutex> lock(state_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Heartbeat::withdraw() {
  stop();
  std::lock_guard<std::mutex> lock(writing_);
  if (fs_->status(folders_.status).exists) fs_->remove(folders_.status);
}

void Heartbeat::run() {
  bool failing = false;
  std::unique_lock<std::mutex> lock(state_);
  while (!wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; })) {
    lock.unlock();
    try {
      publish();
      failing = false;
    } catch (const std::exception& error) {
      if (!failing && onError_) onError_(error.what());
      failing = true;
    }
    lock.lock();
  }
}

}  // namespace pellam::host
