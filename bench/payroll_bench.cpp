// Payroll over whole archives (calculate, 10k to 1M entries, in memory) and entry selection
// with a query, plus the parts that decide their cost: day splitting alone, finding day
// starts with and without the locator's cache, and the decimal wages of one chunk.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "agent/engine/selection.h"
#include "bench/archive_generator.h"
#include "core/payroll/day_locator.h"
#include "core/payroll/payroll.h"

namespace pellam::bench {
namespace {

const Instant kNow = Instant::fromUnix(1'772'636'400);  // 2026-03-04T15:00:00Z

const Archive& sample(std::size_t entries) { return generatedArchive(entries); }

agent::AgentRequest selectRequest(std::map<std::string, std::string> arguments) {
  agent::AgentRequest request;
  request.command = "entries.list";
  request.createdAt = kNow;
  request.arguments = std::move(arguments);
  return request;
}

void BM_Calculate(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const Payroll payroll(archive.preferences);
  std::size_t lines = 0;
  for (auto _ : state) {
    std::vector<PayLine> result = payroll.calculate(archive, kNow);
    lines = result.size();
    benchmark::DoNotOptimize(result.data());
  }
  state.counters["lines"] = static_cast<double>(lines);
  state.SetComplexityN(state.range(0));
}

// daySeconds for every entry through the public call (one locator per entry, as a timer
// asks for one entry).
void BM_PartDaySecondsEachEntry(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const Payroll payroll(archive.preferences);
  std::map<Uuid, const Job*> jobs;
  for (const Job& job : archive.jobs) jobs[job.id] = &job;
  for (auto _ : state) {
    double total = 0;
    for (const Entry& entry : archive.entries) {
      for (const DayTime& day : payroll.daySeconds(entry, *jobs[entry.jobID], kNow)) total += day.seconds;
    }
    benchmark::DoNotOptimize(total);
  }
}

// One day lookup per entry start, from the calendar (a zone lookup each) and from a locator.
void BM_PartDayStartCalendar(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const ReportingCalendar calendar = reportingCalendar(archive.preferences);
  for (auto _ : state) {
    double sum = 0;
    for (const Entry& entry : archive.entries) sum += calendar.day(entry.start).start.seconds;
    benchmark::DoNotOptimize(sum);
  }
}

void BM_PartDayStartLocator(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const ReportingCalendar calendar = reportingCalendar(archive.preferences);
  for (auto _ : state) {
    DayLocator locator(calendar);
    double sum = 0;
    for (const Entry& entry : archive.entries) sum += locator.day(entry.start).start.seconds;
    benchmark::DoNotOptimize(sum);
  }
}

// The same, 20 years later: past the transitions the zone file lists, where its closing
// rule decides the offsets.
constexpr double kTwentyYears = 20 * 365.2425 * 86'400;

void BM_PartDayStartCalendarPastTheList(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const ReportingCalendar calendar = reportingCalendar(archive.preferences);
  for (auto _ : state) {
    double sum = 0;
    for (const Entry& entry : archive.entries) sum += calendar.day(Instant{entry.start.seconds + kTwentyYears}).start.seconds;
    benchmark::DoNotOptimize(sum);
  }
}

void BM_PartDayStartLocatorPastTheList(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const ReportingCalendar calendar = reportingCalendar(archive.preferences);
  for (auto _ : state) {
    DayLocator locator(calendar);
    double sum = 0;
    for (const Entry& entry : archive.entries) sum += locator.day(Instant{entry.start.seconds + kTwentyYears}).start.seconds;
    benchmark::DoNotOptimize(sum);
  }
}

// The wages of one chunk, in the fixed order: decimal(chunk) / 3600 x rate x multiplier.
void BM_PartChunkWages(benchmark::State& state) {
  const Decimal hour = 3600, rate = *Decimal::parse("23.45"), multiplier = *Decimal::parse("1.5");
  double chunk = 1234.567891;
  Decimal wages;
  for (auto _ : state) {
    wages += *Decimal::fromDouble(chunk) / hour * rate * multiplier;
    chunk += 0.001;
  }
  benchmark::DoNotOptimize(wages);
}

// Selection with `arguments`, counting the entries it keeps.
void selectEntries(benchmark::State& state, std::map<std::string, std::string> arguments) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const agent::AgentRequest request = selectRequest(std::move(arguments));
  std::size_t kept = 0;
  for (auto _ : state) {
    auto selected = agent::engine::selectedEntries(request, archive, kNow);
    kept = selected.size();
    benchmark::DoNotOptimize(selected.data());
  }
  state.counters["kept"] = static_cast<double>(kept);
}

void BM_SelectWithQuery(benchmark::State& state) { selectEntries(state, {{"query", "client"}}); }

// A non-ASCII query: every text is folded, and the non-ASCII ones go through ICU.
void BM_SelectWithFoldedQuery(benchmark::State& state) { selectEntries(state, {{"query", "ÜBERSTUNDEN"}}); }

void BM_SelectMonthAndTag(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const agent::AgentRequest request = selectRequest({{"from", "2016-01-01"}, {"through", "2016-12-31"}, {"tag", "onsite"}});
  for (auto _ : state) {
    auto selected = agent::engine::selectedEntries(request, archive, kNow);
    benchmark::DoNotOptimize(selected.data());
  }
}

void BM_SelectAll(benchmark::State& state) {
  const Archive& archive = sample(static_cast<std::size_t>(state.range(0)));
  const agent::AgentRequest request = selectRequest({});
  for (auto _ : state) {
    auto selected = agent::engine::selectedEntries(request, archive, kNow);
    benchmark::DoNotOptimize(selected.data());
  }
}

#define SIZES ->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Calculate) SIZES->Complexity(benchmark::oNLogN);
BENCHMARK(BM_PartDaySecondsEachEntry) SIZES;
BENCHMARK(BM_PartDayStartCalendar) SIZES;
BENCHMARK(BM_PartDayStartLocator) SIZES;
BENCHMARK(BM_PartDayStartCalendarPastTheList) SIZES;
BENCHMARK(BM_PartDayStartLocatorPastTheList) SIZES;
BENCHMARK(BM_PartChunkWages)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_SelectWithQuery) SIZES;
BENCHMARK(BM_SelectWithFoldedQuery) SIZES;
BENCHMARK(BM_SelectMonthAndTag) SIZES;
BENCHMARK(BM_SelectAll) SIZES;

}  // namespace
}  // namespace pellam::bench

BENCHMARK_MAIN();
