#include "core/exchange/worksheet_xml.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/data_error.h"
#include "core/utf8.h"

namespace pellam {

namespace {

constexpr std::string_view kWorksheetStart =
    "<?xml version=\"1.0\"?>"
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<sheetViews><sheetView workbookViewId=\"0\">"
    "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
    "</sheetView></sheetViews>"
    "<cols><col min=\"1\" max=\"12\" width=\"22\" customWidth=\"1\"/></cols>"
    "<sheetData>";
constexpr std::string_view kWorksheetEnd = "</sheetData></worksheet>";

void appendColumnName(std::string& out, std::size_t index) {
  char letters[16];  // 26^14 exceeds any size_t
  char* start = letters + sizeof letters;
  std::size_t n = index + 1;
  std::size_t d;
  do {
    d = n - 1;
    *--start = static_cast<char>('A' + d % 26);
    n = d / 26;
  } while (d > 25);
  out.append(start, letters + sizeof letters);
}

void appendNumber(std::string& out, std::size_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

constexpr std::string_view kRowStart = "<row r=\"";
constexpr std::string_view kRowOpened = "\">";
constexpr std::string_view kRowEnd = "</row>";
constexpr std::string_view kCellStart = "<c r=\"";
constexpr std::string_view kTextStart = "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">";
constexpr std::string_view kTextEnd = "</t></is></c>";
constexpr std::string_view kNumberStart = "\" s=\"1\"><v>";
constexpr std::string_view kDateStart = "\" s=\"2\"><v>";
constexpr std::string_view kValueEnd = "</v></c>";

void appendCell(std::string& out, const SheetCell& cell, std::size_t column, std::string_view rowNumber) {
  out += kCellStart;
  appendColumnName(out, column);
  out += rowNumber;
  if (const auto* text = std::get_if<std::string>(&cell.value)) {
    out += kTextStart;
    appendEscapedText(out, *text);
    out += kTextEnd;
  } else if (const auto* number = std::get_if<Decimal>(&cell.value)) {
    out += kNumberStart;
    out += number->text();
    out += kValueEnd;
  } else {
    out += kDateStart;
    out += dateSerialText(std::get<Instant>(cell.value));
    out += kValueEnd;
  }
}

}  // namespace

std::string columnName(std::size_t index) {
  std::string name;
  appendColumnName(name, index);
  return name;
}

void appendEscapedText(std::string& out, std::string_view text) {
  std::size_t units = 0;  // UTF-16 code units written, as spreadsheet programs count a cell
  std::size_t kept = 0;   // text[kept, i) is copied as it stands
  std::size_t i = 0;
  for (; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::string_view replacement;
    std::size_t length = 1;
    std::size_t width = 1;  // the character's UTF-16 code units; 0 when it is dropped
    if (byte >= 0x80) {
      length = utf8SequenceLength(text, i);
      if (length == 0) {
        replacement = "\xEF\xBF\xBD";
        length = 1;
      } else if (byte == 0xEF && text[i + 1] == '\xBF' && (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
        width = 0;  // U+FFFE or U+FFFF: dropped
      } else if (length == 4) {
        width = 2;  // beyond the Basic Multilingual Plane: a surrogate pair
      }
    } else if (byte < 0x20) {
      if (byte == '\r') {
        replacement = "&#13;";  // a raw CR, or CR LF, would reach readers as LF
      } else if (byte != '\t' && byte != '\n') {
        width = 0;
      }
    } else if (byte == '&') {
      replacement = "&amp;";
    } else if (byte == '<') {
      replacement = "&lt;";
    } else if (byte == '>') {
      replacement = "&gt;";
    } else if (byte == '"') {
      replacement = "&quot;";
    }
    // Longer cells are refused or cut short by spreadsheet programs; cut here, between
    // characters, so the file stays valid and the cut never splits a character.
    if (units + width > kMaximumCellUnits) break;
    units += width;
    if (replacement.empty() && width > 0) {
      i += length;
      continue;
    }
    out.append(text.substr(kept, i - kept));
    out.append(replacement);
    i += length;
    kept = i;
  }
  out.append(text.substr(kept, i - kept));
}

std::string dateSerialText(Instant instant) {
  const double serial = instant.unixSeconds() / 86400.0 + 25569.0;  // 25569: 1899-12-30 to 1970-01-01
  if (!std::isfinite(serial)) throw DataError("A spreadsheet date must be a finite time.");
  char buffer[400];  // the longest fixed-notation double
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, serial, std::chars_format::fixed);
  std::string text(buffer, result.ptr);
  if (text.find('.') == std::string::npos) text += ".0";
  return text;
}

std::size_t worksheetXmlSizeHint(const std::vector<SheetRow>& rows) {
  std::size_t size = kWorksheetStart.size() + kWorksheetEnd.size();
  for (const SheetRow& row : rows) {
    size += 32;  // <row r="N"></row>
    for (const SheetCell& cell : row) {
      // Markup and reference, plus the text, or room for a 38-digit decimal or a serial.
      const auto* text = std::get_if<std::string>(&cell.value);
      size += text ? 64 + text->size() : 64;
    }
  }
  return size;
}

std::size_t worksheetRowLowerBound(std::size_t textCells, std::size_t otherCells) {
  // A one-digit row number, one-letter columns, empty texts and one-character values.
  constexpr std::size_t kRow = kRowStart.size() + 1 + kRowOpened.size() + kRowEnd.size();
  constexpr std::size_t kReference = kCellStart.size() + 1 + 1;
  constexpr std::size_t kText = kReference + kTextStart.size() + kTextEnd.size();
  constexpr std::size_t kOther = kReference + std::min(kNumberStart.size(), kDateStart.size()) + 1 + kValueEnd.size();
  return kRow + textCells * kText + otherCells * kOther;
}

void appendWorksheetXml(std::string& out, const std::vector<SheetRow>& rows) {
  out += kWorksheetStart;
  std::string rowNumber;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    rowNumber.clear();
    appendNumber(rowNumber, r + 1);
    out += kRowStart;
    out += rowNumber;
    out += kRowOpened;
    for (std::size_t column = 0; column < rows[r].size(); ++column) appendCell(out, rows[r][column], column, rowNumber);
    out += kRowEnd;
  }
  out += kWorksheetEnd;
}

std::string worksheetXml(const std::vector<SheetRow>& rows) {
  std::string out;
  out.reserve(worksheetXmlSizeHint(rows));
  appendWorksheetXml(out, rows);
  return out;
}

}  // namespace pellam
