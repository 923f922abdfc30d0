// The archive file's codec at 1k, 10k and 100k entries: reading (JSON to records),
// validating, and writing, separately and as ArchiveIO does them together.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "bench/archive_generator.h"
#include "core/storage/archive_io.h"
#include "core/storage/archive_json.h"
#include "core/validation/validation.h"

namespace pellam::bench {
namespace {

struct Sample {
  Archive archive;
  std::string bytes;
};

// Generated once per size and shared by every benchmark of that size.
const Sample& sample(std::size_t entries) {
  static std::map<std::size_t, Sample> samples;
  auto found = samples.find(entries);
  if (found == samples.end()) {
    Archive archive = generateArchive({.entries = entries});
    std::string bytes = ArchiveIO::encode(archive);
    found = samples.emplace(entries, Sample{std::move(archive), std::move(bytes)}).first;
  }
  return found->second;
}

std::size_t entriesOf(const benchmark::State& state) { return static_cast<std::size_t>(state.range(0)); }

void setCounters(benchmark::State& state, const Sample& s) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.bytes.size()));
  state.counters["file_bytes"] = static_cast<double>(s.bytes.size());
}

// JSON to records only.
void BM_DecodeArchiveJson(benchmark::State& state) {
  const Sample& s = sample(entriesOf(state));
  for (auto _ : state) benchmark::DoNotOptimize(decodeArchiveJson(s.bytes));
  setCounters(state, s);
}

void BM_Validate(benchmark::State& state) {
  const Sample& s = sample(entriesOf(state));
  for (auto _ : state) validate(s.archive);
  setCounters(state, s);
}

// Records to JSON only.
void BM_EncodeArchiveJson(benchmark::State& state) {
  const Sample& s = sample(entriesOf(state));
  for (auto _ : state) benchmark::DoNotOptimize(encodeArchiveJson(s.archive));
  setCounters(state, s);
}

// What load() does with the bytes: decode, then validate.
void BM_Decode(benchmark::State& state) {
  const Sample& s = sample(entriesOf(state));
  for (auto _ : state) benchmark::DoNotOptimize(ArchiveIO::decode(s.bytes));
  setCounters(state, s);
}

// What save() does before touching the disk: validate, then encode.
void BM_Encode(benchmark::State& state) {
  const Sample& s = sample(entriesOf(state));
  for (auto _ : state) benchmark::DoNotOptimize(ArchiveIO::encode(s.archive));
  setCounters(state, s);
}

void archiveSizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(1'000)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_DecodeArchiveJson)->Apply(archiveSizes);
BENCHMARK(BM_Validate)->Apply(archiveSizes);
BENCHMARK(BM_EncodeArchiveJson)->Apply(archiveSizes);
BENCHMARK(BM_Decode)->Apply(archiveSizes);
BENCHMARK(BM_Encode)->Apply(archiveSizes);

}  // namespace
}  // namespace pellam::bench

BENCHMARK_MAIN();
