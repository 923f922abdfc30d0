// The XLSX writer on a 10k-row sheet shaped like the pay-line export (a date, the job's name
// and currency, four hour counts as decimals of seconds / 3600, four money amounts), split
// into its stages: the worksheet's XML, the CRC-32, the ZIP container. A 20-column variant
// (a date, two texts, seventeen numbers) compares with other writers' 10k x 20 figures.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench/archive_generator.h"
#include "core/exchange/worksheet_xml.h"
#include "core/exchange/xlsx_writer.h"
#include "core/exchange/zip_writer.h"

namespace pellam::bench {
namespace {

constexpr std::size_t kRows = 10'000;

std::vector<SheetRow> paySheet(std::size_t extraNumbers) {
  const Archive archive = generateArchive({.entries = kRows});
  std::vector<SheetRow> rows;
  SheetRow titles;
  for (const char* title : {"Date", "Job", "Currency", "Hours", "Regular hours", "Overtime hours", "Double-time hours",
                            "Gross", "Withholding", "Mileage", "Net"}) {
    titles.push_back(SheetCell::text(title));
  }
  for (std::size_t i = 0; i < extraNumbers; ++i) titles.push_back(SheetCell::text("Extra " + std::to_string(i)));
  rows.push_back(titles);
  for (std::size_t i = 0; i < kRows; ++i) {
    const Entry& entry = archive.entries[i];
    const Job& job = archive.jobs[i % archive.jobs.size()];
    const double seconds = entry.end ? entry.end->seconds - entry.start.seconds : 0;
    const Decimal total = Decimal(static_cast<std::int64_t>(seconds)) / Decimal(3600);
    const Decimal regular = Decimal(static_cast<std::int64_t>(seconds * 0.8)) / Decimal(3600);
    const Decimal gross = (total * entry.rate).rounded(2, RoundingMode::HalfEven);
    const Decimal withholding = (gross * Decimal::scaled(15, -2)).rounded(2, RoundingMode::HalfEven);
    const Decimal mileage = Decimal::fromDouble(entry.miles).value_or(Decimal(0)) * Decimal::scaled(67, -2);
    // 00:00 UTC of the entry's day, as the export passes it.
    const Instant day = Instant::fromUnix(std::floor(entry.start.unixSeconds() / 86400) * 86400);
    SheetRow row = {SheetCell::date(day),          SheetCell::text(job.name),      SheetCell::text(job.currency),
                    SheetCell::number(total),      SheetCell::number(regular),     SheetCell::number(total - regular),
                    SheetCell::number(Decimal(0)), SheetCell::number(gross),       SheetCell::number(withholding),
                    SheetCell::number(mileage),    SheetCell::number(gross - withholding + mileage)};
    for (std::size_t k = 0; k < extraNumbers; ++k) row.push_back(SheetCell::number(entry.tips + Decimal(k)));
    rows.push_back(row);
  }
  return rows;
}

void BM_Xlsx(benchmark::State& state, std::size_t extraNumbers) {
  const std::vector<SheetRow> rows = paySheet(extraNumbers);
  std::size_t size = 0;
  for (auto _ : state) {
    const std::string file = Spreadsheet::xlsx(rows);
    size = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  state.counters["file_MB"] = static_cast<double>(size) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_WorksheetXml(benchmark::State& state) {
  const std::vector<SheetRow> rows = paySheet(0);
  std::size_t size = 0;
  for (auto _ : state) {
    const std::string xml = worksheetXml(rows);
    size = xml.size();
    benchmark::DoNotOptimize(xml.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_Crc32(benchmark::State& state) {
  const std::string xml = worksheetXml(paySheet(0));
  for (auto _ : state) benchmark::DoNotOptimize(crc32(xml));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
}

void BM_ZipStored(benchmark::State& state) {
  const std::string xml = worksheetXml(paySheet(0));
  const std::vector<ZipEntry> entries = {{"xl/worksheets/sheet1.xml", xml}};
  for (auto _ : state) {
    const std::string zip = zipStored(entries);
    benchmark::DoNotOptimize(zip.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
}

BENCHMARK_CAPTURE(BM_Xlsx, PayLines10kx11, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Xlsx, Sheet10kx20, 9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WorksheetXml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZipStored)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellam::bench

BENCHMARK_MAIN();
