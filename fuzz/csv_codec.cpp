// The CSV codec's reader. Oracle: for UTF-8 text, the rows it reads, written back with
// `quote`, commas and CR LF, read back as the same rows. The codec works on user-perceived
// characters, so a value that begins with a combining mark (or ends with a prepended
// character such as U+0600) fuses with the quote around it; by design such a quote is
// ordinary text, so those values are left out of the oracle.
#include "core/data_error.h"
#include "core/exchange/csv_codec.h"
#include "core/grapheme_clusters.h"
#include "core/utf8.h"
#include "fuzz/fuzz_support.h"

namespace {

// True when the quotes `quote` puts around `value` stay characters of their own.
bool quotesStandAlone(const std::string& value) {
  const std::string quoted = pellam::CSV::quote(value);
  pellam::GraphemeClusters characters(quoted);
  std::string_view first = characters.next(), last = first;
  for (std::string_view c = characters.next(); !c.empty(); c = characters.next()) last = c;
  return first == "\"" && last == "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = pellam::fuzz::text(data, size);
  std::vector<pellam::CSV::Row> rows;
  try {
    rows = pellam::CSV::parse(input);
  } catch (const pellam::DataError&) {
    return 0;
  }
  if (!pellam::isValidUtf8(input)) return 0;
  std::string written;
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (!quotesStandAlone(row[i])) return 0;
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
