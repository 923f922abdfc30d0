// timer.status, timer.clock-in and entries.list --range week through the engine on a
// 100k-entry archive whose latest entry still runs: handed a copy (execute) and in place,
// as the host runs them. A clock-in stops the running timer and appends one, so it saves
// the entries first and validates the result: the costly one.
#include <benchmark/benchmark.h>

#include <string>

#include "agent/engine/execute.h"
#include "bench/archive_generator.h"

namespace pellam::bench {
namespace {

using agent::AgentRequest;

struct Sample {
  Archive archive;
  Instant now;
};

// The generated archive ends some years ago; "now" is two hours into its latest entry,
// which is left running, so this week holds the archive's last few days.
const Sample& sample() {
  static const Sample sample = [] {
    Sample s{generateArchive({.entries = 100'000}), {}};
    Entry& latest = *std::max_element(s.archive.entries.begin(), s.archive.entries.end(),
                                      [](const Entry& a, const Entry& b) { return a.start < b.start; });
    s.now = Instant{latest.start.seconds + 2 * 3600};
    latest.end.reset();
    latest.pauses.clear();
    return s;
  }();
  return sample;
}

AgentRequest request(std::string command, std::map<std::string, std::string> arguments) {
  AgentRequest request;
  request.id = Uuid::random();
  request.createdAt = sample().now;
  request.command = std::move(command);
  request.arguments = std::move(arguments);
  return request;
}

// A job other than the running entry's, so a clock-in really starts a timer.
std::string otherJob() {
  const Sample& s = sample();
  const Uuid running = std::find_if(s.archive.entries.begin(), s.archive.entries.end(),
                                    [](const Entry& e) { return e.isRunning(); })->jobID;
  for (const Job& job : s.archive.jobs) {
    if (job.id != running && !job.archived) return job.id.text();
  }
  return {};
}

AgentRequest statusRequest() { return request("timer.status", {}); }
AgentRequest clockInRequest() { return request("timer.clock-in", {{"job", otherJob()}}); }
AgentRequest listWeekRequest() { return request("entries.list", {{"range", "week"}}); }

// The whole call as a host that hands over a copy of its archive makes it.
void BM_Execute(benchmark::State& state, AgentRequest (*makeRequest)()) {
  const Sample& s = sample();
  const AgentRequest req = makeRequest();
  std::size_t resultBytes = 0;
  for (auto _ : state) {
    auto execution = agent::AgentCommands::execute(req, s.archive, s.now);
    resultBytes = execution.result.size();
    benchmark::DoNotOptimize(execution.result.data());
  }
  state.counters["result_bytes"] = static_cast<double>(resultBytes);
}

// In place, on the host's own archive.
void BM_InPlace(benchmark::State& state, AgentRequest (*makeRequest)()) {
  Archive archive = sample().archive;
  const AgentRequest req = makeRequest();
  for (auto _ : state) {
    auto execution = agent::AgentCommands::executeInPlace(req, archive, sample().now);
    benchmark::DoNotOptimize(execution.result.data());
  }
}

// Clock-ins for two jobs in turn, each with a fresh request identifier: every call stops
// the other job's timer and appends a running entry (the archive grows by one a call; room
// for it is made before timing, as a host's archive has it after its first append).
void BM_InPlaceClockInAlternating(benchmark::State& state) {
  Archive archive = sample().archive;
  archive.entries.reserve(archive.entries.size() + 100'000);
  const std::string jobs[2] = {otherJob(), std::find_if(archive.entries.begin(), archive.entries.end(), [](const Entry& e) {
                                              return e.isRunning();
                                            })->jobID.text()};
  std::size_t turn = 0;
  for (auto _ : state) {
    AgentRequest req = request("timer.clock-in", {{"job", jobs[turn++ % 2]}});
    auto execution = agent::AgentCommands::executeInPlace(req, archive, sample().now);
    if (!execution.changed) state.SkipWithError("the clock-in changed nothing");
    benchmark::DoNotOptimize(execution.result.data());
  }
}

BENCHMARK_CAPTURE(BM_Execute, TimerStatus, statusRequest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Execute, TimerClockIn, clockInRequest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Execute, EntriesListWeek, listWeekRequest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_InPlace, TimerStatus, statusRequest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_InPlace, EntriesListWeek, listWeekRequest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InPlaceClockInAlternating)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellam::bench

BENCHMARK_MAIN();
