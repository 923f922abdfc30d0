// The CSV codec's reader. Oracle: the rows it reads, written back with `quote`, commas and
// CR LF, read back as the same rows. The codec finds its quotes, commas and line breaks as
// code points and copies everything else byte for byte, so this holds for every input, marks
// and joiners beside a quote included, and for bytes that are not UTF-8 at all.
#include "core/data_error.h"
#include "core/exchange/csv_codec.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = pellam::fuzz::text(data, size);
  std::vector<pellam::CSV::Row> rows;
  try {
    rows = pellam::CSV::parse(input);
  } catch (const pellam::DataError&) {
    return 0;
  }
  std::string written;
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) written.push_back(',');
      pellam::CSV::appendQuoted(written, row[i]);
    }
    written += "\r\n";
  }
  std::vector<pellam::CSV::Row> again;
  try {
    again = pellam::CSV::parse(written);
  } catch (const pellam::DataError& error) {
    pellam::fuzz::fail(std::string("written rows do not parse: ") + error.what());
  }
  pellam::fuzz::check(again == rows, "written rows read back differently");
  return 0;
}
