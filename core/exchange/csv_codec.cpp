#include "core/exchange/csv_codec.h"

#include "core/data_error.h"
#include "core/grapheme_clusters.h"

namespace pellam::CSV {

namespace {

bool isLineBreak(std::string_view character) {
  return character == "\n" || character == "\r" || character == "\r\n";
}

}  // namespace

void appendQuoted(std::string& out, std::string_view value) {
  out.push_back('"');
  if (value.find('"') == std::string_view::npos) {
    out.append(value);
  } else {
    GraphemeClusters characters(value);
    for (std::string_view c = characters.next(); !c.empty(); c = characters.next()) {
      out.append(c);
      if (c == "\"") out.push_back('"');
    }
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

  GraphemeClusters characters(text);
  std::string_view c = characters.next();
  while (!c.empty()) {
    std::string_view following = characters.next();
    if (insideQuotes) {
      if (c != "\"") {
        field.append(c);
      } else if (following == "\"") {
        field.push_back('"');
        following = characters.next();
      } else {
        insideQuotes = false;
        afterQuote = true;
      }
    } else if (c == ",") {
      endField();
      afterQuote = false;
    } else if (isLineBreak(c)) {
      endRow();
      afterQuote = false;
    } else if (c == "\"") {
      insideQuotes = true;
    } else if (afterQuote) {
      throw DataError("Unexpected text after a CSV quote.");
    } else {
      field.append(c);
    }
    c = following;
  }
  if (insideQuotes) throw DataError("Unclosed quote in CSV.");
  endRow();
  return rows;
}

}  // namespace pellam::CSV
