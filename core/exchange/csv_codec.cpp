#include "core/exchange/csv_codec.h"

#include "core/data_error.h"

namespace pellam::CSV {

void appendQuoted(std::string& out, std::string_view value) {
  out.push_back('"');
  for (std::size_t kept = 0;;) {
    const std::size_t quote = value.find('"', kept);
    if (quote == std::string_view::npos) {
      out.append(value.substr(kept));
      break;
    }
    out.append(value.substr(kept, quote + 1 - kept));
    out.push_back('"');
    kept = quote + 1;
  }
  out.push_back('"');
}

std::string quote(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  appendQuoted(out, value);
  return out;
}

std::vector<Row> parse(std::string_view text) {
  std::vector<Row> rows;
  Row row;
  std::string field;
  bool insideQuotes = false;  // also "a quoted section is open" when the text ends
  bool afterQuote = false;    // the last character closed a quoted section

  auto endField = [&] {
    row.push_back(std::move(field));
    field.clear();
  };
  auto endRow = [&] {
    endField();
    for (const std::string& f : row) {
      if (!f.empty()) {
        rows.push_back(std::move(row));
        break;
      }
    }
    row.clear();
  };

  // The four special characters are ASCII, and no byte of a multi-byte UTF-8 sequence is,
  // so reading bytes finds them as code points; everything between them is copied as is.
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size;) {
    const char c = text[i];
    if (insideQuotes) {
      if (c != '"') {
        const std::size_t next = text.find('"', i);
        const std::size_t stop = next == std::string_view::npos ? size : next;
        field.append(text.substr(i, stop - i));
        i = stop;
        continue;
      }
      if (i + 1 < size && text[i + 1] == '"') {
        field.push_back('"');
        i += 2;
        continue;
      }
      insideQuotes = false;
      afterQuote = true;
      ++i;
    } else if (c == ',') {
      endField();
      afterQuote = false;
      ++i;
    } else if (c == '\n' || c == '\r') {
      endRow();
      afterQuote = false;
      i += (c == '\r' && i + 1 < size && text[i + 1] == '\n') ? 2 : 1;
    } else if (c == '"') {
      insideQuotes = true;
      ++i;
    } else if (afterQuote) {
      throw DataError("Unexpected text after a CSV quote.");
    } else {
      field.push_back(c);
      ++i;
    }
  }
  if (insideQuotes) throw DataError("Unclosed quote in CSV.");
  endRow();
  return rows;
}

}  // namespace pellam::CSV
