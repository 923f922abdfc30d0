// jobs.list and jobs.update through the engine on a 100k-entry archive with 200 jobs, and
// the parts one call is made of: validation, the archive copy, the equality check behind
// `changed`, and the handler with its result encoding.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "agent/engine/dispatch.h"
#include "agent/engine/execute.h"
#include "bench/archive_generator.h"
#include "bench/bench_request.h"
#include "core/validation/validation.h"

namespace pellam::bench {
namespace {

using agent::AgentRequest;

const Instant kNow = Instant::fromUnix(1'772'636'400);  // 2026-03-04T15:00:00Z

// 100,000 entries; the generator's jobs are widened to 200 by numbered variants, and the
// entries spread over all of them.
const Archive& sample() {
  static const Archive archive = [] {
    Archive archive = generateArchive({.entries = 100'000});
    const std::size_t base = archive.jobs.size();
    for (std::size_t i = base; i < 200; ++i) {
      Job job = archive.jobs[i % base];
      std::array<std::uint8_t, 16> bytes{};
      bytes[0] = 0xB0;
      bytes[6] = 0x40;
      bytes[8] = 0x80;
      bytes[14] = static_cast<std::uint8_t>(i >> 8);
      bytes[15] = static_cast<std::uint8_t>(i);
      job.id = Uuid(bytes);
      job.name += " #" + std::to_string(i);
      job.archived = i % 10 == 0;
      archive.jobs.push_back(job);
    }
    for (std::size_t i = 0; i < archive.entries.size(); i += 3) {
      archive.entries[i].jobID = archive.jobs[i % archive.jobs.size()].id;
    }
    validate(archive);
    return archive;
  }();
  return archive;
}

AgentRequest request(std::string command, std::map<std::string, std::string> arguments) {
  return benchRequest(std::move(command), std::move(arguments), kNow);
}

AgentRequest listRequest() { return request("jobs.list", {{"archived", "false"}, {"limit", "100"}}); }

AgentRequest updateRequest() {
  return request("jobs.update", {{"id", sample().jobs[150].id.text()}, {"notes", "Gate code 4411"}, {"rate", "31.25"}});
}

// The whole call as a host makes it, handing over a copy of its archive.
void BM_ExecuteJobsList(benchmark::State& state) {
  const Archive& archive = sample();
  const AgentRequest req = listRequest();
  for (auto _ : state) {
    auto execution = agent::AgentCommands::execute(req, archive, kNow);
    benchmark::DoNotOptimize(execution.result.data());
  }
}

void BM_ExecuteJobsUpdate(benchmark::State& state) {
  const Archive& archive = sample();
  const AgentRequest req = updateRequest();
  for (auto _ : state) {
    auto execution = agent::AgentCommands::execute(req, archive, kNow);
    if (!execution.changed) state.SkipWithError("the update changed nothing");
    benchmark::DoNotOptimize(execution.result.data());
  }
}

// The same with the archive moved in (a host that gives up its copy), copy not timed.
void BM_ExecuteMovedIn(benchmark::State& state, AgentRequest (*makeRequest)()) {
  const AgentRequest req = makeRequest();
  for (auto _ : state) {
    state.PauseTiming();
    Archive archive = sample();
    state.ResumeTiming();
    auto execution = agent::AgentCommands::execute(req, std::move(archive), kNow);
    benchmark::DoNotOptimize(execution.result.data());
    state.PauseTiming();
    execution = {};
    state.ResumeTiming();
  }
}

// In place, on the caller's own archive: no whole-archive copy anywhere.
void BM_ExecuteInPlaceJobsList(benchmark::State& state) {
  Archive archive = sample();
  const AgentRequest req = listRequest();
  for (auto _ : state) {
    auto execution = agent::AgentCommands::executeInPlace(req, archive, kNow);
    benchmark::DoNotOptimize(execution.result.data());
  }
}

void BM_ExecuteInPlaceJobsUpdate(benchmark::State& state) {
  Archive archive = sample();
  // Two alternating notes, so every call really changes the job.
  const AgentRequest first = updateRequest();
  AgentRequest second = first;
  second.arguments["notes"] = "Gate code 5522";
  bool flip = false;
  for (auto _ : state) {
    auto execution = agent::AgentCommands::executeInPlace(flip ? second : first, archive, kNow);
    if (!execution.changed) state.SkipWithError("the update changed nothing");
    flip = !flip;
    benchmark::DoNotOptimize(execution.result.data());
  }
}

// The parts.
void BM_PartValidate(benchmark::State& state) {
  const Archive& archive = sample();
  for (auto _ : state) validate(archive);
}

void BM_PartCopyArchive(benchmark::State& state) {
  const Archive& archive = sample();
  for (auto _ : state) {
    Archive copy = archive;
    benchmark::DoNotOptimize(copy.entries.data());
  }
}

void BM_PartDestroyArchive(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto copy = std::make_unique<Archive>(sample());
    state.ResumeTiming();
    copy.reset();
  }
}

void BM_PartCompareEqualArchives(benchmark::State& state) {
  const Archive& archive = sample();
  const Archive copy = archive;
  for (auto _ : state) {
    bool same = copy == archive;
    benchmark::DoNotOptimize(same);
  }
}

void BM_PartHandlerJobsList(benchmark::State& state) {
  Archive copy = sample();
  const AgentRequest req = listRequest();
  for (auto _ : state) {
    std::string result = agent::AgentWire::encode(agent::engine::run(req, copy, kNow));
    benchmark::DoNotOptimize(result.data());
  }
}

void BM_PartHandlerJobsUpdate(benchmark::State& state) {
  Archive copy = sample();
  const AgentRequest req = updateRequest();
  for (auto _ : state) {
    std::string result = agent::AgentWire::encode(agent::engine::run(req, copy, kNow));
    benchmark::DoNotOptimize(result.data());
  }
}

BENCHMARK(BM_ExecuteJobsList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExecuteJobsUpdate)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExecuteMovedIn, JobsList, listRequest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExecuteMovedIn, JobsUpdate, updateRequest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExecuteInPlaceJobsList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExecuteInPlaceJobsUpdate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartValidate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartCopyArchive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartDestroyArchive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartCompareEqualArchives)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartHandlerJobsList)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PartHandlerJobsUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pellam::bench

BENCHMARK_MAIN();
