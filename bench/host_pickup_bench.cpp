// vantry-host's pickup latency: from the moment a request file is moved into Requests/ to the
// moment its answer appears in Responses/ (watched with inotify), for a read (jobs.list) and a
// change (jobs.update) on archives of 1k, 10k and 100k entries. The real host runs as its own
// process on a temporary folder: VANTRY_HOST_BIN, else ../host/vantry-host beside this program.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "agent/wire/wire.h"
#include "bench/archive_generator.h"
#include "core/storage/archive_io.h"

extern char** environ;

namespace pellam::bench {
namespace {

std::string hostBinary() {
  if (const char* given = std::getenv("VANTRY_HOST_BIN")) return given;
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "host" / "vantry-host";
}

// A host serving a fresh folder with a generated archive, for as long as the benchmark runs.
class ServedFolder {
 public:
  explicit ServedFolder(std::size_t entries) {
    char pattern[] = "/tmp/pellam-pickup-XXXXXX";
    folder_ = mkdtemp(pattern);
    archive_ = generateArchive({.entries = entries});
    ArchiveIO(folder_).save(archive_);
    std::string binary = hostBinary();
    std::string log = folder_ + "/host.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv = {binary.data(), const_cast<char*>("--data-dir"), folder_.data(), nullptr};
    if (posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      throw std::runtime_error("cannot start " + binary);
    }
    posix_spawn_file_actions_destroy(&actions);
    // Ready once it says so (after its first heartbeat and settling).
    for (int i = 0; i < 1000; ++i) {
      std::ifstream file(log);
      std::string text((std::istreambuf_iterator<char>(file)), {});
      if (text.find("serving") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    inotify_ = inotify_init1(IN_CLOEXEC);
    inotify_add_watch(inotify_, (folder_ + "/AgentAPI/Responses").c_str(), IN_MOVED_TO | IN_CREATE);
  }
  ~ServedFolder() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    close(inotify_);
    std::filesystem::remove_all(folder_);
  }

  const Archive& archive() const { return archive_; }

  // Places the request and returns the seconds until its answer is in place.
  double roundTrip(const agent::AgentRequest& request) {
    std::string name = request.id.text() + ".json";
    std::string requests = folder_ + "/AgentAPI/Requests/";
    std::ofstream(requests + "." + name + ".pending", std::ios::binary) << agent::AgentWire::encode(request);
    auto start = std::chrono::steady_clock::now();
    std::filesystem::rename(requests + "." + name + ".pending", requests + name);
    alignas(inotify_event) char buffer[4096];
    while (true) {
      ssize_t length = read(inotify_, buffer, sizeof buffer);
      if (length <= 0) throw std::runtime_error("inotify read failed");
      for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        if (event->len && name == event->name) {
          return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
      }
    }
  }

  std::string response(const agent::AgentRequest& request) const {
    std::ifstream file(folder_ + "/AgentAPI/Responses/" + request.id.text() + ".json");
    return std::string((std::istreambuf_iterator<char>(file)), {});
  }

 private:
  std::string folder_;
  Archive archive_;
  pid_t pid_ = -1;
  int inotify_ = -1;
};

ServedFolder& served(std::size_t entries) {
  static std::map<std::size_t, std::unique_ptr<ServedFolder>> folders;
  auto& folder = folders[entries];
  if (!folder) folder = std::make_unique<ServedFolder>(entries);
  return *folder;
}

agent::AgentRequest request(std::string command, std::map<std::string, std::string> arguments) {
  agent::AgentRequest request;
  request.id = Uuid::random();
  request.createdAt = Instant::now();
  request.command = std::move(command);
  request.arguments = std::move(arguments);
  return request;
}

// `spaced`: each request reaches an idle host (after a pause that is not timed), as requests
// from people and scripts do; otherwise they come back to back.
void run(benchmark::State& state, bool change, bool spaced) {
  ServedFolder& folder = served(static_cast<std::size_t>(state.range(0)));
  std::string job = folder.archive().jobs.front().id.text();
  bool flip = false;
  for (auto _ : state) {
    if (spaced) std::this_thread::sleep_for(std::chrono::milliseconds(250));
    agent::AgentRequest next = change ? request("jobs.update", {{"id", job}, {"notes", flip ? "A" : "B"}})
                                      : request("jobs.list", {{"limit", "10"}});
    flip = !flip;
    state.SetIterationTime(folder.roundTrip(next));
    if (folder.response(next).find("\"ok\":true") == std::string::npos) state.SkipWithError("the host refused it");
  }
}

void BM_PickupRead(benchmark::State& state) { run(state, false, false); }
void BM_PickupChange(benchmark::State& state) { run(state, true, false); }
void BM_PickupChangeSpaced(benchmark::State& state) { run(state, true, true); }

BENCHMARK(BM_PickupRead)->Arg(1000)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickupChange)->Arg(1000)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PickupChangeSpaced)
    ->Arg(1000)->Arg(10000)->Arg(100000)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellam::bench

BENCHMARK_MAIN();
