// Where the time of one change goes in vantry-host: a jobs.update, or a clock-in and a
// clock-out in turn, answered by the host's own request handling (in process, on the real
// file system in /tmp) on archives of 1k, 10k and 100k entries, split by counters into the
// engine, each kind of file-system call (writes, fsyncs, reads, renames, ...) and the rest
// (the archive's encoding, digests). Beside it, in the same run: the floor of a change (the
// same pellam.json written and synced once), and reads that touch no entry (jobs.list,
// preferences.get, filters.list) answered by the host at 100k entries. The parts of a save
// are measured on their own below them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "agent/engine/execute.h"
#include "bench/archive_generator.h"
#include "core/storage/archive_io.h"
#include "core/storage/content_digest.h"
#include "core/storage/encoded_archive.h"
#include "core/validation/validation.h"
#include "core/validation/validation_index.h"
#include "core/sha256.h"
#include "host/archive_store.h"
#include "host/heartbeat.h"
#include "host/request_processor.h"

namespace pellam::bench {
namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The real file system, with the time spent in each kind of call added up.
class TimedFileSystem final : public FileSystem {
 public:
  std::map<std::string, double> seconds;

  template <typename F>
  auto timed(const std::string& name, F f) {
    auto start = Clock::now();
    struct Add {
      std::map<std::string, double>& to;
      std::string name;
      Clock::time_point start;
      ~Add() { to[name] += since(start); }
    } add{seconds, name, start};
    return f();
  }

  void createDirectories(const std::string& p, mode_t m) override { timed("mkdir", [&] { real_.createDirectories(p, m); }); }
  void setMode(const std::string& p, mode_t m) override { timed("chmod", [&] { real_.setMode(p, m); }); }
  FileStatus status(const std::string& p) override { return timed("stat", [&] { return real_.status(p); }); }
  std::string readFile(const std::string& p) override { return timed("read", [&] { return real_.readFile(p); }); }
  void writeNewFile(const std::string& p, std::string_view b, mode_t m) override {
    timed("write", [&] { real_.writeNewFile(p, b, m); });
  }
  void syncFile(const std::string& p) override { timed("fsync", [&] { real_.syncFile(p); }); }
  void syncDirectory(const std::string& p) override { timed("fsync", [&] { real_.syncDirectory(p); }); }
  std::optional<std::string> readFileAtMost(const std::string& p, std::size_t most) override {
    return timed("read", [&] { return real_.readFileAtMost(p, most); });
  }
  void move(const std::string& f, const std::string& t, Placement how) override {
    timed("rename/link/remove", [&] { real_.move(f, t, how); });
  }
  void link(const std::string& f, const std::string& t) override { timed("rename/link/remove", [&] { real_.link(f, t); }); }
  void remove(const std::string& p) override { timed("rename/link/remove", [&] { real_.remove(p); }); }
  void removeTree(const std::string& p) override { timed("rename/link/remove", [&] { real_.removeTree(p); }); }
  std::vector<std::string> listDirectory(const std::string& p) override {
    return timed("list", [&] { return real_.listDirectory(p); });
  }
  std::unique_ptr<FileLock> tryLock(const std::string& p) override { return real_.tryLock(p); }
  std::unique_ptr<FolderWatch> watchFolder(const std::string& p) override { return real_.watchFolder(p); }

  RealFileSystem real_;
};

struct Folder {
  explicit Folder(std::size_t entries) {
    char pattern[] = "/tmp/pellam-change-XXXXXX";
    path = mkdtemp(pattern);
    archive = generatedArchive(entries);
    ArchiveIO(path).save(archive);
  }
  ~Folder() { std::filesystem::remove_all(path); }
  std::string path;
  Archive archive;
};

// The change the n-th iteration asks for, of the archive's first job.
using Change = void (*)(agent::AgentRequest& request, const std::string& job, std::size_t n);

void jobsUpdate(agent::AgentRequest& request, const std::string& job, std::size_t n) {
  request.command = "jobs.update";
  request.arguments = {{"id", job}, {"notes", n % 2 ? "A" : "B"}};
}

void clockInOut(agent::AgentRequest& request, const std::string& job, std::size_t n) {
  request.command = n % 2 ? "timer.clock-out" : "timer.clock-in";
  if (n % 2 == 0) request.arguments = {{"job", job}};
}

// A read that needs no argument.
template <const char* command>
void read(agent::AgentRequest& request, const std::string&, std::size_t) {
  request.command = command;
}
constexpr char kJobsList[] = "jobs.list";
constexpr char kPreferencesGet[] = "preferences.get";
constexpr char kFiltersList[] = "filters.list";

void BM_HostChange(benchmark::State& state, Change change) {
  Folder folder(static_cast<std::size_t>(state.range(0)));
  auto fs = std::make_shared<TimedFileSystem>();
  host::AgentFolders folders(folder.path);
  folders.prepare(*fs);
  host::ArchiveStore store(folders.data, fs);
  host::Heartbeat heartbeat(fs, folders, false);
  double engineSeconds = 0;
  host::Engine engine = [&](const agent::AgentRequest& request, const agent::CommandRow* row, Archive& archive,
                           const ValidationIndex& known, agent::ArchiveIndexes& indexes, Instant now) {
    auto start = Clock::now();
    host::Engine real = host::commandEngine();
    host::CommandOutcome outcome = real(request, row, archive, known, indexes, now);
    engineSeconds += since(start);
    return outcome;
  };
  host::RequestProcessor processor(fs, folders, store, heartbeat, engine);
  std::string job = folder.archive.jobs.front().id.text();
  {
    // The host reads and decodes the data file once, at its first request; not timed.
    agent::AgentRequest first;
    first.id = Uuid::random();
    first.command = "capabilities";
    std::ofstream(folders.requests + "/" + first.id.text() + ".json") << agent::AgentWire::encode(first);
    processor.handle(first.id.text() + ".json");
    // Then, idle, it learns what a change will need: the file's token and, once, the
    // archive's whole encoding, which later saves assemble from. Timed apart.
    auto learning = Clock::now();
    processor.prepare();
    state.counters["first_idle_ms"] = since(learning) * 1e3;
    engineSeconds = 0;
    fs->seconds.clear();
  }
  std::size_t n = 0;
  double learnSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // The host learns the new data file's token while idle, between requests; timed apart.
    // (A host that wrote the file itself knows it already.)
    auto learning = Clock::now();
    processor.prepare();
    learnSeconds += since(learning);
    agent::AgentRequest request;
    request.id = Uuid::random();
    request.createdAt = Instant::now();
    change(request, job, n++);
    std::ofstream(folders.requests + "/" + request.id.text() + ".json") << agent::AgentWire::encode(request);
    state.ResumeTiming();
    auto handled = processor.handle(request.id.text() + ".json");
    if (!handled || handled->outcome != "ok") state.SkipWithError("the change was refused");
  }
  auto per = [&](double seconds) { return benchmark::Counter(seconds * 1e3 / static_cast<double>(state.iterations())); };
  state.counters["engine_ms"] = per(engineSeconds);
  for (const auto& [name, seconds] : fs->seconds) state.counters[name + "_ms"] = per(seconds);
  state.counters["idle_token_ms"] = per(learnSeconds);
}

struct Sample {
  Archive archive;
  std::string bytes;
};
const Sample& sample(std::size_t entries) {
  static std::map<std::size_t, Sample> samples;
  auto& s = samples[entries];
  if (s.bytes.empty()) {
    s.archive = generateArchive({.entries = entries});
    s.bytes = ArchiveIO::encode(s.archive);
  }
  return s;
}

// The floor of a change: the data file a change at this size writes, written to a new file
// and synced once, as a save must at least do.
void BM_FloorWriteAndSync(benchmark::State& state) {
  Folder folder(static_cast<std::size_t>(state.range(0)));
  const std::string bytes = RealFileSystem().readFile(folder.path + "/pellam.json");
  RealFileSystem fs;
  const std::string path = folder.path + "/floor.json";
  for (auto _ : state) {
    fs.writeNewFile(path, bytes, 0600);
    fs.syncFile(path);
    state.PauseTiming();
    fs.remove(path);
    state.ResumeTiming();
  }
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
}

// The parts of a save that are not file-system calls.
void BM_PartEncode(benchmark::State& state) {
  const Sample& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ArchiveIO::encode(s.archive));
  state.counters["file_MB"] = static_cast<double>(s.bytes.size()) / 1e6;
}
// `archive` with the entry in its middle changed, and its entries' origins.
std::pair<Archive, EntryOrigins> oneChanged(const Archive& archive) {
  Archive changed = archive;
  changed.entries[changed.entries.size() / 2].comment = "changed";
  std::vector<std::size_t> from(changed.entries.size());
  for (std::size_t i = 0; i < from.size(); ++i) from[i] = i;
  from[from.size() / 2] = EntryOrigins::kChanged;
  const std::size_t count = from.size();
  return {std::move(changed), EntryOrigins(count, std::move(from))};
}

// What replaced it: the encoding assembled from the last one, with one entry changed.
void BM_PartAssemble(benchmark::State& state) {
  const Sample& s = sample(static_cast<std::size_t>(state.range(0)));
  const EncodedArchive last(s.archive);
  const auto& [changed, origins] = oneChanged(s.archive);
  std::string storage;
  for (auto _ : state) {
    EncodedArchive next = last.next(changed, origins, std::move(storage));
    benchmark::DoNotOptimize(next.bytes().data());
    storage = std::move(next).takeStorage();  // as the host gives back the last file's buffer
  }
}
// The whole validation a change took twice (or three times) before, and what replaced it:
// the check of one changed entry against what the first one established, and adopting it.
void BM_PartValidateWhole(benchmark::State& state) {
  const Sample& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) validate(s.archive);
}
void BM_PartValidateChange(benchmark::State& state) {
  const Sample& s = sample(static_cast<std::size_t>(state.range(0)));
  ValidationIndex known(s.archive);
  const auto& [changed, origins] = oneChanged(s.archive);
  for (auto _ : state) {
    known.checkChange(changed, origins, Instant::now());
    known.adopt(changed, origins);
  }
}
void BM_PartDecodeOldFile(benchmark::State& state) {
  const Sample& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ArchiveIO::decode(s.bytes));
}
// The digest the host stages with each change (of the file it is about to write), and
// SHA-256, which it took before, for comparison.
void BM_PartDigestFile(benchmark::State& state) {
  const Sample& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(contentDigest(s.bytes));
}
void BM_PartHashFile(benchmark::State& state) {
  const Sample& s = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(sha256Hex(s.bytes));
}

BENCHMARK_CAPTURE(BM_HostChange, JobsUpdate, jobsUpdate)->Arg(1000)->Arg(10000)->Arg(100000)->MinTime(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostChange, ClockInOut, clockInOut)->Arg(10000)->Arg(100000)->MinTime(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorWriteAndSync)->Arg(10000)->Arg(100000)->MinTime(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostChange, JobsList, read<kJobsList>)->Arg(100000)->MinTime(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostChange, PreferencesGet, read<kPreferencesGet>)->Arg(100000)->MinTime(2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostChange, FiltersList, read<kFiltersList>)->Arg(100000)->MinTime(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartEncode)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartAssemble)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartValidateWhole)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartValidateChange)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartDecodeOldFile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartDigestFile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartHashFile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellam::bench

BENCHMARK_MAIN();
