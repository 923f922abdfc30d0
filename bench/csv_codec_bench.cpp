// The CSV codec on the text of a 10k-entry export (15 quoted fields a row; comments with
// quotes, commas, line breaks and non-ASCII text), and on an import-sized slice of it
// (600,000 bytes, the largest import accepted).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/archive_generator.h"
#include "core/exchange/csv_codec.h"

namespace pellam::bench {
namespace {

std::vector<CSV::Row> exportRows(bool ascii) {
  const Archive archive = generateArchive({.entries = 10'000});
  std::vector<CSV::Row> rows = {{"Entry ID", "Job", "Start", "End", "Break Minutes", "Time Adjustment Minutes", "Rate",
                                 "Tips", "Miles", "Adjustment", "Taxable", "Tags", "Comment", "Currency",
                                 "Pauses JSON"}};
  for (const Entry& entry : archive.entries) {
    const Job& job = archive.jobs.front();
    std::string comment = entry.comment;
    if (ascii) {
      for (char& c : comment) {
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
      }
    }
    rows.push_back({entry.id.text(), ascii ? "Corner Cafe" : job.name, formatInternetDateTime(entry.start),
                    formatInternetDateTime(entry.end.value_or(entry.start)), "30.0", "0.0", entry.rate.text(),
                    entry.tips.text(), "12.5", entry.adjustment.text(), "true", "[\"overtime\",\"site\\/a\"]", comment,
                    job.currency, "[]"});
  }
  return rows;
}

std::string exportText(const std::vector<CSV::Row>& rows) {
  std::string text;
  for (const CSV::Row& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i) text += ',';
      CSV::appendQuoted(text, row[i]);
    }
    text += "\r\n";
  }
  return text;
}

void BM_CsvQuote(benchmark::State& state) {
  const std::vector<CSV::Row> rows = exportRows(false);
  std::size_t size = 0;
  for (auto _ : state) {
    const std::string text = exportText(rows);
    size = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_CsvParse(benchmark::State& state, bool ascii, std::size_t limit) {
  std::string text = exportText(exportRows(ascii));
  if (text.size() > limit) text.resize(text.rfind("\r\n", limit) + 2);  // whole rows only
  for (auto _ : state) {
    const auto rows = CSV::parse(text);
    benchmark::DoNotOptimize(rows.data());
  }
  state.counters["text_MB"] = static_cast<double>(text.size()) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_CsvQuote)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CsvParse, Unicode10k, false, std::size_t(-1))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CsvParse, Unicode600kB, false, 600'000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CsvParse, Ascii10k, true, std::size_t(-1))->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellam::bench

BENCHMARK_MAIN();
