// How the host learns of requests: the file system's folder watch announces them, and when no
// watch can be had, or it stays silent, the host's rescans still answer every request.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <mutex>
#include <sstream>
#include <thread>

#include "support/fault_injecting_file_system.h"
#include "support/folder_notifications.h"
#include "host/host.h"
#include "host/request_watcher.h"
#include "host_fixture.h"

namespace pellam::host::testing {
namespace {

using pellam::testing::FaultInjectingFileSystem;

// The host writes its heartbeat from a thread of its own; the fault-injecting file system is
// not made for two threads, so every call to it is taken one at a time.
class SerializedFileSystem final : public FileSystem {
 private:
  template <typename Operation>
  auto call(Operation operation) {
    std::lock_guard<std::mutex> lock(mutex_);
    return operation(*base_);
  }

 public:
  explicit SerializedFileSystem(std::shared_ptr<FileSystem> base) : base_(std::move(base)) {}

  void createDirectories(const std::string& path, mode_t mode) override {
    return call([&](FileSystem& fs) { fs.createDirectories(path, mode); });
  }
  void setMode(const std::string& path, mode_t mode) override {
    return call([&](FileSystem& fs) { fs.setMode(path, mode); });
  }
  FileStatus status(const std::string& path) override {
    return call([&](FileSystem& fs) { return fs.status(path); });
  }
  std::string readFile(const std::string& path) override {
    return call([&](FileSystem& fs) { return fs.readFile(path); });
  }
  std::optional<std::string> readFileAtMost(const std::string& path, std::size_t maximum) override {
    return call([&](FileSystem& fs) { return fs.readFileAtMost(path, maximum); });
  }
  void writeNewFile(const std::string& path, std::string_view bytes, mode_t mode) override {
    return call([&](FileSystem& fs) { fs.writeNewFile(path, bytes, mode); });
  }
  void syncFile(const std::string& path) override {
    return call([&](FileSystem& fs) { fs.syncFile(path); });
  }
  void syncDirectory(const std::string& path) override {
    return call([&](FileSystem& fs) { fs.syncDirectory(path); });
  }
  void move(const std::string& from, const std::string& to, Placement placement) override {
    return call([&](FileSystem& fs) { fs.move(from, to, placement); });
  }
  void link(const std::string& from, const std::string& to) override {
    return call([&](FileSystem& fs) { fs.link(from, to); });
  }
  void remove(const std::string& path) override {
    return call([&](FileSystem& fs) { fs.remove(path); });
  }
  void removeTree(const std::string& path) override {
    return call([&](FileSystem& fs) { fs.removeTree(path); });
  }
  std::vector<std::string> listDirectory(const std::string& path) override {
    return call([&](FileSystem& fs) { return fs.listDirectory(path); });
  }
  std::unique_ptr<FileLock> tryLock(const std::string& path) override {
    return call([&](FileSystem& fs) { return fs.tryLock(path); });
  }
  std::unique_ptr<FolderWatch> watchFolder(const std::string& path) override {
    return call([&](FileSystem& fs) { return fs.watchFolder(path); });
  }

 private:
  std::mutex mutex_;
  std::shared_ptr<FileSystem> base_;
};

TEST_F(HostFolderTest, TheWatcherAnnouncesArrivalsButNotAFileStillBeingWritten) {
  if (!pellam::testing::hasFolderNotifications()) GTEST_SKIP() << "no folder notifications on this system";
  RequestWatcher watcher(folders_.requests, RealFileSystem::shared());
  ASSERT_TRUE(watcher.watch());
  EXPECT_GE(watcher.descriptor(), 0);
  auto drained = [&] {
    bool rescan = false;
    std::vector<std::string> names = watcher.drain(rescan);
    EXPECT_FALSE(rescan);
    return names;
  };

  const std::string writing = folders_.requests + "/being-written.json";
  int fd = ::open(writing.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "{", 1), 1);
  EXPECT_EQ(drained(), std::vector<std::string>{});
  ::close(fd);
  EXPECT_EQ(drained(), std::vector<std::string>{"being-written.json"});

  writeFile(root_ + "/moved.json", "{}");
  std::filesystem::rename(root_ + "/moved.json", folders_.requests + "/moved.json");
  std::filesystem::create_symlink("/etc/passwd", folders_.requests + "/link.json");
  std::filesystem::create_directory(folders_.requests + "/folder.json");
  EXPECT_EQ(drained(), (std::vector<std::string>{"moved.json", "link.json", "folder.json"}));

  // The folder itself removed: the watch has ended, and the host must look again.
  std::filesystem::remove_all(folders_.requests);
  bool rescan = false;
  watcher.drain(rescan);
  EXPECT_TRUE(rescan);
  EXPECT_FALSE(watcher.watching());
}

TEST_F(HostFolderTest, AWatchThatCannotBeHadLeavesTheWatcherWithoutADescriptor) {
  auto fs = std::make_shared<FaultInjectingFileSystem>();
  fs->failEvery("watchFolder", folders_.requests, EMFILE);
  RequestWatcher watcher(folders_.requests, fs);
  EXPECT_FALSE(watcher.watch());
  EXPECT_FALSE(watcher.watching());
  EXPECT_EQ(watcher.descriptor(), -1);
  bool rescan = false;
  EXPECT_EQ(watcher.drain(rescan), std::vector<std::string>{});
  EXPECT_FALSE(rescan);
}

// The whole host over a file system whose watch of Requests/ fails, cannot be had, or never
// reports anything: it still answers a request, found by its rescan.
TEST_F(HostFolderTest, TheHostKeepsServingThroughItsRescansWithoutAWorkingWatch) {
  struct Case {
    const char* label;
    std::function<void(FaultInjectingFileSystem&)> arrange;
  };
  const std::string requests = folders_.requests;
  const Case cases[] = {
      {"the watch fails", [&](FaultInjectingFileSystem& fs) { fs.failEvery("watchFolder", requests, ENOSPC); }},
      {"no watch can be had",
       [](FaultInjectingFileSystem& fs) { fs.setWatches(FaultInjectingFileSystem::Watches::none); }},
      {"the watch stays silent",
       [](FaultInjectingFileSystem& fs) { fs.setWatches(FaultInjectingFileSystem::Watches::silent); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto faults = std::make_shared<FaultInjectingFileSystem>();
    c.arrange(*faults);
    HostOptions options;
    options.dataDirectory = root_;
    std::ostringstream log;
    int status = -1;
    std::thread host([&] { status = runHost(options, log, std::make_shared<SerializedFileSystem>(faults)); });

    // The heartbeat is written once the host has taken its signals, so the stop below reaches it.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!std::filesystem::exists(folders_.status) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    agent::AgentRequest request = makeRequest("jobs.list");
    writeFile(root_ + "/request.tmp", agent::AgentWire::encode(request));
    std::filesystem::rename(root_ + "/request.tmp", requestPath(request.id));
    while (!std::filesystem::exists(responsePath(request.id)) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const bool answered = std::filesystem::exists(responsePath(request.id));

    ::pthread_kill(host.native_handle(), SIGTERM);
    host.join();
    EXPECT_EQ(status, 0) << log.str();
    ASSERT_TRUE(answered) << log.str();
    EXPECT_TRUE(response(request.id).ok) << log.str();
    const auto& operations = faults->log();
    EXPECT_TRUE(std::any_of(operations.begin(), operations.end(), [&](const auto& op) {
      return op.name == "watchFolder" && op.path == requests;
    }));
    std::filesystem::remove_all(root_);
    folders_.prepare(*RealFileSystem::shared());
  }
}

}  // namespace
}  // namespace pellam::host::testing
