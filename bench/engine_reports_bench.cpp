// The report commands and the export through the engine, on generated archives of 1k, 10k
// and 100k entries, and the parts one call is made of: validation, payroll, the selection
// of lines, and Base64 and SHA-256 of the exported file.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "agent/engine/archive_indexes.h"
#include "agent/engine/execute.h"
#include "agent/engine/report_lines.h"
#include "bench/archive_generator.h"
#include "bench/bench_request.h"
#include "core/base64.h"
#include "core/json.h"
#include "core/payroll/payroll.h"
#include "core/sha256.h"
#include "core/validation/validation.h"
#include "core/validation/validation_index.h"

namespace pellam::bench {
namespace {

using agent::AgentRequest;

const Instant kNow = Instant::fromUnix(1'772'636'400);  // 2026-03-04T15:00:00Z

const Archive& sample(std::size_t entries) { return generatedArchive(entries); }

AgentRequest request(std::string command, std::map<std::string, std::string> arguments) {
  return benchRequest(std::move(command), std::move(arguments), kNow);
}

// The whole call as the host makes it, in place on its own archive (no copy).
void runCommand(benchmark::State& state, const AgentRequest& req) {
  Archive archive = sample(static_cast<std::size_t>(state.range(0)));
  std::size_t resultBytes = 0;
  for (auto _ : state) {
    auto execution = agent::AgentCommands::executeInPlace(req, archive, kNow);
    resultBytes = execution.result.size();
    benchmark::DoNotOptimize(execution.result.data());
  }
  state.counters["resultBytes"] = static_cast<double>(resultBytes);
}

void BM_ReportsSummaryAll(benchmark::State& state) { runCommand(state, request("reports.summary", {{"range", "all"}})); }
void BM_ReportsDailyAll(benchmark::State& state) { runCommand(state, request("reports.daily", {{"range", "all"}})); }
void BM_ReportsSummaryYear(benchmark::State& state) {
  runCommand(state, request("reports.summary", {{"range", "year"}, {"at", "2016-06-01T12:00:00Z"}}));
}
void BM_Export(benchmark::State& state, const char* format) {
  runCommand(state, request("export", {{"format", format}}));
}

// One week's commands as the host runs them (known valid, in place), with the pay lines and
// entries kept between calls (kept) or computed over the whole archive each time (whole).
// The kept runs are warm: the first call, which builds what is kept, costs about one whole
// calculation and is not timed.
const char* const kWeekAt = "2020-06-10T12:00:00Z";  // inside the generated history

void runWindowCommand(benchmark::State& state, const AgentRequest& req, bool kept) {
  Archive archive = sample(static_cast<std::size_t>(state.range(0)));
  const ValidationIndex known(archive);
  agent::ArchiveIndexes indexes;
  const agent::CommandRow* row = agent::findCommand(req.command);
  auto once = [&] {
    return kept ? agent::AgentCommands::executeInPlace(req, row, archive, kNow, known, indexes)
                : agent::AgentCommands::executeInPlace(req, row, archive, kNow, known);
  };
  std::size_t resultBytes = once().result.size();
  for (auto _ : state) {
    auto execution = once();
    resultBytes = execution.result.size();
    benchmark::DoNotOptimize(execution.result.data());
  }
  state.counters["resultBytes"] = static_cast<double>(resultBytes);
}

AgentRequest weekRequest(const char* command, std::map<std::string, std::string> arguments = {}) {
  arguments.emplace("range", "week");
  arguments.emplace("at", kWeekAt);
  return request(command, std::move(arguments));
}

void BM_WeekSummary(benchmark::State& state, bool kept) {
  runWindowCommand(state, weekRequest("reports.summary"), kept);
}
void BM_WeekDaily(benchmark::State& state, bool kept) { runWindowCommand(state, weekRequest("reports.daily"), kept); }
void BM_WeekExportTxt(benchmark::State& state, bool kept) {
  runWindowCommand(state, weekRequest("export", {{"format", "txt"}}), kept);
}
void BM_WeekEntriesList(benchmark::State& state, bool kept) {
  runWindowCommand(state, request("entries.list", {{"from", "2020-06-07"}, {"through", "2020-06-13"}}), kept);
}
void BM_WholeHistorySummary(benchmark::State& state, bool kept) {
  runWindowCommand(state, request("reports.summary", {}), kept);
}

// The parts.
void BM_PartValidate(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) validate(archive);
}

void BM_PartCalculate(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const Payroll payroll(archive.preferences);
  for (auto _ : state) {
    auto lines = payroll.calculate(archive, kNow);
    benchmark::DoNotOptimize(lines.data());
  }
}

void BM_PartReportLines(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const AgentRequest req = request("reports.summary", {{"range", "all"}});
  std::size_t count = 0;
  for (auto _ : state) {
    auto lines = agent::engine::reportLines(req, archive, kNow);
    count = lines.size();
    benchmark::DoNotOptimize(lines.data());
  }
  state.counters["lines"] = static_cast<double>(count);
}

// Base64 and the digest of the file an export carries.
void BM_PartEncodeFile(benchmark::State& state, const char* format) {
  Archive archive = sample(static_cast<std::size_t>(state.range(0)));
  const auto execution = agent::AgentCommands::executeInPlace(request("export", {{"format", format}}), archive, kNow);
  const std::string file = base64Decode(parseJson(execution.result).find("base64")->asString()).value();
  for (auto _ : state) {
    std::string text = base64Encode(file);
    std::string digest = sha256Hex(file);
    benchmark::DoNotOptimize(text.data());
    benchmark::DoNotOptimize(digest.data());
  }
  state.counters["fileBytes"] = static_cast<double>(file.size());
}

#define PELLAM_SIZES Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)

BENCHMARK(BM_ReportsSummaryAll)->PELLAM_SIZES;
BENCHMARK(BM_ReportsDailyAll)->PELLAM_SIZES;
BENCHMARK(BM_ReportsSummaryYear)->PELLAM_SIZES;
BENCHMARK_CAPTURE(BM_Export, csv, "csv")->PELLAM_SIZES;
BENCHMARK_CAPTURE(BM_Export, xlsx, "xlsx")->PELLAM_SIZES;
BENCHMARK_CAPTURE(BM_Export, txt, "txt")->PELLAM_SIZES;
BENCHMARK_CAPTURE(BM_Export, json, "json")->PELLAM_SIZES;
#define PELLAM_WINDOW_SIZES Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)
BENCHMARK_CAPTURE(BM_WeekSummary, whole, false)->PELLAM_WINDOW_SIZES;
BENCHMARK_CAPTURE(BM_WeekSummary, kept, true)->PELLAM_WINDOW_SIZES;
BENCHMARK_CAPTURE(BM_WeekDaily, whole, false)->PELLAM_WINDOW_SIZES;
BENCHMARK_CAPTURE(BM_WeekDaily, kept, true)->PELLAM_WINDOW_SIZES;
BENCHMARK_CAPTURE(BM_WeekExportTxt, whole, false)->PELLAM_WINDOW_SIZES;
BENCHMARK_CAPTURE(BM_WeekExportTxt, kept, true)->PELLAM_WINDOW_SIZES;
BENCHMARK_CAPTURE(BM_WeekEntriesList, whole, false)->PELLAM_WINDOW_SIZES;
BENCHMARK_CAPTURE(BM_WeekEntriesList, kept, true)->PELLAM_WINDOW_SIZES;
BENCHMARK_CAPTURE(BM_WholeHistorySummary, whole, false)->PELLAM_WINDOW_SIZES;
BENCHMARK_CAPTURE(BM_WholeHistorySummary, kept, true)->PELLAM_WINDOW_SIZES;
BENCHMARK(BM_PartValidate)->PELLAM_SIZES;
BENCHMARK(BM_PartCalculate)->PELLAM_SIZES;
BENCHMARK(BM_PartReportLines)->PELLAM_SIZES;
BENCHMARK_CAPTURE(BM_PartEncodeFile, csv, "csv")->PELLAM_SIZES;
BENCHMARK_CAPTURE(BM_PartEncodeFile, xlsx, "xlsx")->PELLAM_SIZES;

}  // namespace
}  // namespace pellam::bench

BENCHMARK_MAIN();
