// tags.list and tags.rename through the engine, in place as the host runs them, on a
// 100k-entry archive whose entries carry up to three tags each. A rename rewrites every
// carrier and saves all entries first, so it is the costly one.
#include <benchmark/benchmark.h>

#include <string>

#include "agent/engine/execute.h"
#include "bench/archive_generator.h"

namespace pellam::bench {
namespace {

using agent::AgentRequest;

const Instant kNow = Instant::fromUnix(1'772'636'400);  // 2026-03-04T15:00:00Z

AgentRequest request(std::string command, std::map<std::string, std::string> arguments, bool dryRun = false) {
  AgentRequest request;
  request.id = Uuid::parse("0E0E0E0E-0000-4000-8000-00000000000E").value();
  request.createdAt = kNow;
  request.command = std::move(command);
  request.arguments = std::move(arguments);
  request.dryRun = dryRun;
  return request;
}

void BM_TagsList(benchmark::State& state) {
  Archive archive = generateArchive({.entries = 100'000});
  const AgentRequest req = request("tags.list", {});
  for (auto _ : state) {
    auto execution = agent::AgentCommands::executeInPlace(req, archive, kNow);
    benchmark::DoNotOptimize(execution.result.data());
  }
}

// Renames "overtime" away and back, so every call changes the archive.
void BM_TagsRename(benchmark::State& state, bool dryRun) {
  Archive archive = generateArchive({.entries = 100'000});
  const AgentRequest away = request("tags.rename", {{"tag", "overtime"}, {"to", "extra hours"}}, dryRun);
  const AgentRequest back = request("tags.rename", {{"tag", "extra hours"}, {"to", "overtime"}}, dryRun);
  bool flip = false;
  for (auto _ : state) {
    auto execution = agent::AgentCommands::executeInPlace(flip ? back : away, archive, kNow);
    if (execution.changed == dryRun) state.SkipWithError("unexpected change flag");
    if (!dryRun) flip = !flip;
    benchmark::DoNotOptimize(execution.result.data());
  }
}

BENCHMARK(BM_TagsList)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TagsRename, Saved, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TagsRename, DryRun, true)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellam::bench

BENCHMARK_MAIN();
