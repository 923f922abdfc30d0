#include "core/exchange/xlsx_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/data_error.h"
#include "core/exchange/worksheet_xml.h"
#include "core/json.h"
#include "core/sha256.h"
#include "support/fixture_values.h"
#include "support/python_oracle.h"

namespace pellam {
namespace {

using testing::at;
using testing::dec;
using testing::hexText;

SheetCell text(std::string value) { return SheetCell::text(std::move(value)); }
SheetCell number(std::string_view value) { return SheetCell::number(dec(value)); }
SheetCell date(std::string_view iso) { return SheetCell::date(at(iso)); }

TEST(WorksheetXmlTest, ColumnNames) {
  const std::vector<std::pair<std::size_t, std::string>> cases = {
      {0, "A"},    {1, "B"},    {25, "Z"},     {26, "AA"},     {27, "AB"},      {51, "AZ"},
      {52, "BA"},  {701, "ZZ"}, {702, "AAA"},  {703, "AAB"},   {18277, "ZZZ"},  {18278, "AAAA"},
  };
  for (const auto& [index, name] : cases) EXPECT_EQ(columnName(index), name) << index;
}

TEST(WorksheetXmlTest, TextEscaping) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"plain text", "plain text"},
      {"<a & b> \"c\" 'd'", "&lt;a &amp; b&gt; &quot;c&quot; 'd'"},
      {"&amp;", "&amp;amp;"},                                 // escaped again, never trusted
      {std::string("a\vb\0c\x1F\x7F", 7), "abc\x7F"},          // controls dropped, DEL kept
      {"tab\tline\ncr\r\n", "tab\tline\ncr&#13;\n"},          // kept; CR as a reference XML readers keep
      {"\r\r", "&#13;&#13;"},
      {"Caf\xC3\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBD", "Caf\xC3\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBD"},
      {"a\xEF\xBF\xBE" "b\xEF\xBF\xBF" "c\xEF\xBF\xBC", "abc\xEF\xBF\xBC"},  // no XML text may hold U+FFFE, U+FFFF
      {"bad\xFF\xC3(", "bad\xEF\xBF\xBD\xEF\xBF\xBD("},        // invalid UTF-8 would break the whole file
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // an encoded surrogate
  };
  for (const auto& [input, escaped] : cases) {
    std::string out = "<t>";
    appendEscapedText(out, input);
    EXPECT_EQ(out, "<t>" + escaped) << input;
  }
}

TEST(WorksheetXmlTest, CellsAreCutAtTheSpreadsheetLimitBetweenCharacters) {
  const std::string astral = "\xF0\x9F\x98\x80";  // U+1F600: two UTF-16 code units
  const std::string acute = "\xC3\xA9";             // U+00E9: one code unit, two bytes
  auto times = [](std::size_t n, const std::string& piece) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) text += piece;
    return text;
  };
  const std::string limit(32767, 'a');
  // value, written text
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string(40000, 'a'), limit},
      {limit, limit},
      {std::string(32766, 'a') + astral + "b", std::string(32766, 'a')},  // the pair would cross the limit
      {std::string(32765, 'a') + astral + "b", std::string(32765, 'a') + astral},
      {times(16383, astral) + astral, times(16383, astral)},
      {times(32767, acute) + "x", times(32767, acute)},
      {std::string(32766, 'a') + "&<", std::string(32766, 'a') + "&amp;"},  // an entity is one character
      {std::string(32766, 'a') + "\r\n", std::string(32766, 'a') + "&#13;"},
      {"\v" + limit + "\x01", limit},  // dropped characters take no room
  };
  for (const auto& [input, written] : cases) {
    std::string out;
    appendEscapedText(out, input);
    EXPECT_EQ(out.size(), written.size()) << input.size();
    EXPECT_TRUE(out == written) << input.size();
  }
}

TEST(WorksheetXmlTest, DateSerials) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"2026-10-22T00:00:00Z", "46317.0"},
      {"2026-10-22T06:00:00Z", "46317.25"},
      {"2026-10-22T23:59:59-04:00", "46318.16665509259"},  // taken as UTC: the caller picks the day
      {"1970-01-01T00:00:00Z", "25569.0"},
      {"1899-12-30T00:00:00Z", "0.0"},
      {"1899-12-29T12:00:00Z", "-0.5"},
      {"2001-01-01T00:00:00Z", "36892.0"},
  };
  for (const auto& [iso, serial] : cases) EXPECT_EQ(dateSerialText(at(iso)), serial) << iso;
  EXPECT_THROW(dateSerialText(Instant{std::numeric_limits<double>::infinity()}), DataError);
  EXPECT_THROW(dateSerialText(Instant{std::numeric_limits<double>::quiet_NaN()}), DataError);
}

constexpr std::string_view kSheetStart =
    "<?xml version=\"1.0\"?><worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<sheetViews><sheetView workbookViewId=\"0\"><pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" "
    "state=\"frozen\"/></sheetView></sheetViews><cols><col min=\"1\" max=\"12\" width=\"22\" customWidth=\"1\"/>"
    "</cols><sheetData>";

TEST(WorksheetXmlTest, RowsAndCells) {
  EXPECT_EQ(worksheetXml({}), std::string(kSheetStart) + "</sheetData></worksheet>");
  std::vector<SheetRow> rows = {
      {text("Date"), text("Job")},
      {date("2026-10-22T00:00:00Z"), text("A&B"), number("12.50"), number("-3"), number("0.005")},
      {},
      {number("1234567.891")},
  };
  rows.push_back(SheetRow(28, text("")));
  EXPECT_EQ(worksheetXml(rows),
            std::string(kSheetStart) +
                "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\">Date</t></is></c>"
                "<c r=\"B1\" t=\"inlineStr\"><is><t xml:space=\"preserve\">Job</t></is></c></row>"
                "<row r=\"2\"><c r=\"A2\" s=\"2\"><v>46317.0</v></c>"
                "<c r=\"B2\" t=\"inlineStr\"><is><t xml:space=\"preserve\">A&amp;B</t></is></c>"
                "<c r=\"C2\" s=\"1\"><v>12.5</v></c><c r=\"D2\" s=\"1\"><v>-3</v></c>"
                "<c r=\"E2\" s=\"1\"><v>0.005</v></c></row>"
                "<row r=\"3\"></row>"
                "<row r=\"4\"><c r=\"A4\" s=\"1\"><v>1234567.891</v></c></row>"
                "<row r=\"5\">" +
                [] {
                  std::string cells;
                  for (std::size_t i = 0; i < 28; ++i) {
                    cells += "<c r=\"" + columnName(i) + "5\" t=\"inlineStr\"><is><t xml:space=\"preserve\"></t></is></c>";
                  }
                  return cells;
                }() +
                "</row></sheetData></worksheet>");
}

// The bound an export refuses by must never exceed a row's real size, however small its
// values: otherwise an answer that fits would be refused.
TEST(WorksheetXmlTest, RowLowerBoundNeverExceedsTheRow) {
  struct Case {
    const char* name;
    SheetRow row;
    std::size_t texts;
    std::size_t others;
  };
  const std::vector<Case> cases = {
      {"empty row", {}, 0, 0},
      {"one empty text", {text("")}, 1, 0},
      {"text dropped whole", {text("\v\x01")}, 1, 0},
      {"one-digit number", {number("0")}, 0, 1},
      {"date", {date("1899-12-30T00:00:00Z")}, 0, 1},
      {"pay-line shape, smallest values",
       {date("1899-12-30T00:00:00Z"), text(""), text(""), number("0"), number("0"), number("0"), number("0"),
        number("0"), number("0"), number("0"), number("0")},
       2, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t bare = worksheetXml({}).size();
    const std::size_t row = worksheetXml({c.row}).size() - bare;
    EXPECT_LE(worksheetRowLowerBound(c.texts, c.others), row);
    // Tight: a row of the smallest values is within a few bytes of it.
    EXPECT_GE(worksheetRowLowerBound(c.texts, c.others) + 3 * (c.texts + c.others) + 1, row);
  }
}

// A sheet shaped like the pay-line export, with awkward text and a row past column Z.
std::vector<SheetRow> sampleRows() {
  std::vector<SheetRow> rows;
  SheetRow titles;
  for (const char* title : {"Date", "Job", "Currency", "Hours", "Regular hours", "Overtime hours", "Double-time hours",
                            "Gross", "Withholding", "Mileage", "Net"}) {
    titles.push_back(text(title));
  }
  rows.push_back(titles);
  rows.push_back({date("2026-10-22T00:00:00Z"), text("Corner Caf\xC3\xA9 <&> \"Q\" 'x'\v\nsecond line"), text("EUR"),
                  number("8.5"), number("8"), number("0.5"), number("0"), number("212.5"), number("-12.34"),
                  number("1234567.891"), number("0.005")});
  rows.push_back({date("2026-03-08T00:00:00Z"), text("&amp;"), text("USD"), number("-1.25")});
  rows.push_back({});
  SheetRow wide;
  for (int i = 0; i < 30; ++i) wide.push_back(text("c" + std::to_string(i)));
  rows.push_back(wide);
  return rows;
}

TEST(XlsxWriterTest, PackageOfSixStoredPartsThatPythonsZipfileReads) {
  const std::vector<SheetRow> rows = sampleRows();
  const std::string file = Spreadsheet::xlsx(rows);
  EXPECT_EQ(Spreadsheet::xlsx(rows), file);  // the same rows, the same bytes

  const Json answer = parseJson(testing::runPython(
      "import binascii, io, json, sys, zipfile, zlib\n"
      "import xml.etree.ElementTree as ET\n"
      "data = binascii.unhexlify(sys.stdin.read().strip())\n"
      "archive = zipfile.ZipFile(io.BytesIO(data))\n"
      "entries = []\n"
      "for info in archive.infolist():\n"
      "    body = archive.read(info)\n"
      "    ET.fromstring(body)  # well-formed XML, or the script fails\n"
      "    entries.append({'name': info.filename, 'method': info.compress_type, 'flags': info.flag_bits,\n"
      "                    'date': list(info.date_time), 'crcGood': zlib.crc32(body) == info.CRC,\n"
      "                    'text': body.decode('utf-8')})\n"
      "print(json.dumps({'testzip': archive.testzip(), 'entries': entries}))\n",
      hexText(file)));
  EXPECT_TRUE(answer.find("testzip")->isNull());
  // The five fixed parts are pinned by digest: their bytes are part of the file format, so a
  // change must be deliberate. openpyxl checks what they mean (the next test).
  const std::vector<std::pair<std::string, std::string>> parts = {
      {"[Content_Types].xml", "c5aaca1dd4dc95eda739216e92fdb8f241e5c420131711119bf7a7efae0765dd"},
      {"_rels/.rels", "0b3936235a1f7b4ea68da3a54b7748f7f03f10be6cc5f25e5a3ffaca5039bfc5"},
      {"xl/workbook.xml", "fa2893d08b0d01872d2be8bb2f6d758138f038b52be3930004afa645d71d2da9"},
      {"xl/_rels/workbook.xml.rels", "19a7d5ce536e9d25c5b1a4ebea0b774e831489c20a6a1a0adef95417e0cfde3d"},
      {"xl/styles.xml", "d9b6928da74a5c14d5f0358e72a89d1ddb90722ea374211f5d625a8587bd241a"},
      {"xl/worksheets/sheet1.xml", sha256Hex(worksheetXml(rows))},
  };
  const Json::Array& entries = answer.find("entries")->asArray();
  ASSERT_EQ(entries.size(), parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Json& entry = entries[i];
    EXPECT_EQ(entry.find("name")->asString(), parts[i].first);
    const std::string& body = entry.find("text")->asString();
    EXPECT_EQ(sha256Hex(body), parts[i].second) << parts[i].first << ":\n" << body;
    EXPECT_TRUE(body.starts_with("<?xml version=\"1.0\"?><")) << parts[i].first;
    if (i < 5) {  // (the sample sheet's text holds a line feed)
      EXPECT_EQ(body.find('\n'), std::string::npos) << parts[i].first;
    }
    EXPECT_EQ(entry.find("method")->numberLexeme(), "0") << parts[i].first;  // stored
    EXPECT_EQ(entry.find("flags")->numberLexeme(), "0") << parts[i].first;
    EXPECT_EQ(writeJson(*entry.find("date")), "[1980,1,1,0,0,0]") << parts[i].first;
    EXPECT_TRUE(entry.find("crcGood")->asBool()) << parts[i].first;
  }
}

TEST(XlsxWriterTest, EmptyTableIsAValidPackage) {
  const Json answer = parseJson(testing::runPython(
      "import binascii, io, json, sys, zipfile\n"
      "archive = zipfile.ZipFile(io.BytesIO(binascii.unhexlify(sys.stdin.read().strip())))\n"
      "print(json.dumps([archive.testzip(), archive.namelist(), archive.read('xl/worksheets/sheet1.xml').decode()]))\n",
      hexText(Spreadsheet::xlsx({}))));
  const Json::Array& result = answer.asArray();
  EXPECT_TRUE(result[0].isNull());
  EXPECT_EQ(result[1].asArray().size(), 6u);
  EXPECT_EQ(result[2].asString(), std::string(kSheetStart) + "</sheetData></worksheet>");
}

// openpyxl opens the file as a spreadsheet program would: the sheet, the frozen header row,
// the column width, the values and how numbers and dates are shown.
TEST(XlsxWriterTest, OpenpyxlReadsTitlesFrozenRowNumbersAndDates) {
  const std::vector<SheetRow> rows = sampleRows();
  const Json answer = parseJson(testing::runPython(
      "import binascii, io, json, sys\n"
      "data = binascii.unhexlify(sys.stdin.read().strip())\n"
      "try:\n"
      "    import openpyxl\n"
      "except ImportError:\n"
      "    # Debian's python3-openpyxl, when another python3 comes first on the PATH\n"
      "    sys.path.append('/usr/lib/python3/dist-packages')\n"
      "    try:\n"
      "        import openpyxl\n"
      "    except ImportError as error:\n"
      "        print(json.dumps({'skip': str(error)}))\n"
      "        sys.exit(0)\n"
      "book = openpyxl.load_workbook(io.BytesIO(data))\n"
      "sheet = book.active\n"
      "cells = {}\n"
      "for row in sheet.iter_rows():\n"
      "    for cell in row:\n"
      "        if cell.value is None:\n"
      "            continue\n"
      "        value = cell.value.isoformat() if cell.is_date else str(cell.value)\n"
      "        cells[cell.coordinate] = [type(cell.value).__name__, value, cell.number_format]\n"
      "print(json.dumps({'sheets': book.sheetnames, 'freeze': sheet.freeze_panes, 'maxRow': sheet.max_row,\n"
      "                  'width': sheet.column_dimensions['A'].width, 'cells': cells}))\n",
      hexText(Spreadsheet::xlsx(rows))));
  if (const Json* skip = answer.find("skip")) {
    GTEST_SKIP() << "openpyxl cannot be imported (install the Debian package python3-openpyxl): "
                 << skip->asString();
  }
  EXPECT_EQ(writeJson(*answer.find("sheets")), "[\"Vantry Report\"]");
  EXPECT_EQ(answer.find("freeze")->asString(), "A2");
  EXPECT_EQ(answer.find("maxRow")->numberLexeme(), "5");
  EXPECT_EQ(answer.find("width")->asDouble(), 22.0);

  const Json::Object& cells = answer.find("cells")->asObject();
  auto shown = [&](const std::string& reference) {
    const Json* cell = answer.find("cells")->find(reference);
    if (!cell) return std::string("(missing)");
    const Json::Array& parts = cell->asArray();
    return parts[0].asString() + " " + parts[1].asString() + " " + parts[2].asString();
  };
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"A1", "str Date General"},
      {"D1", "str Hours General"},
      {"K1", "str Net General"},
      {"A2", "datetime 2026-10-22T00:00:00 mm-dd-yy"},  // the calendar day, in the short date format
      {"B2", "str Corner Caf\xC3\xA9 <&> \"Q\" 'x'\nsecond line General"},
      {"C2", "str EUR General"},
      {"D2", "float 8.5 #,##0.00"},  // two decimals with thousands separators
      {"E2", "int 8 #,##0.00"},
      {"G2", "int 0 #,##0.00"},
      {"I2", "float -12.34 #,##0.00"},
      {"J2", "float 1234567.891 #,##0.00"},
      {"K2", "float 0.005 #,##0.00"},
      {"A3", "datetime 2026-03-08T00:00:00 mm-dd-yy"},
      {"B3", "str &amp; General"},
      {"D3", "float -1.25 #,##0.00"},
      {"Z5", "str c25 General"},
      {"AA5", "str c26 General"},
      {"AD5", "str c29 General"},
  };
  for (const auto& [reference, value] : expected) EXPECT_EQ(shown(reference), value) << reference;
  EXPECT_EQ(cells.size(), 11u + 11u + 4u + 30u);  // nothing else appears, row 4 stays empty
}

// openpyxl reads text cells as a spreadsheet program does: a carriage return survives, and
// an overlong cell arrives cut at 32,767 UTF-16 code units, never inside a character.
TEST(XlsxWriterTest, OpenpyxlReadsCarriageReturnsAndCutCells) {
  const std::string astral = "\xF0\x9F\x98\x80";
  const std::vector<std::string> texts = {
      "Night\nShift\r\nCrew", "\r", "a\rb\r", std::string(40000, 'j'),
      std::string(32766, 'c') + astral + "tail", std::string(32765, 'c') + astral + "tail",
  };
  std::vector<SheetRow> rows;
  for (const std::string& value : texts) rows.push_back({text(value)});
  Json::Array expected = {
      Json(texts[0]), Json(texts[1]), Json(texts[2]), Json(std::string(32767, 'j')),
      Json(std::string(32766, 'c')), Json(std::string(32765, 'c') + astral),
  };
  const Json answer = parseJson(testing::runPython(
      "import binascii, io, json, sys\n"
      "data = binascii.unhexlify(sys.stdin.read().strip())\n"
      "try:\n"
      "    import openpyxl\n"
      "except ImportError:\n"
      "    sys.path.append('/usr/lib/python3/dist-packages')\n"
      "    try:\n"
      "        import openpyxl\n"
      "    except ImportError as error:\n"
      "        print(json.dumps({'skip': str(error)}))\n"
      "        sys.exit(0)\n"
      "sheet = openpyxl.load_workbook(io.BytesIO(data)).active\n"
      "values = [row[0].value for row in sheet.iter_rows()]\n"
      "print(json.dumps({'values': values, 'units': [len(v.encode('utf-16-le')) // 2 for v in values]}))\n",
      hexText(Spreadsheet::xlsx(rows))));
  if (const Json* skip = answer.find("skip")) {
    GTEST_SKIP() << "openpyxl cannot be imported (install the Debian package python3-openpyxl): "
                 << skip->asString();
  }
  const Json::Array& values = answer.find("values")->asArray();
  ASSERT_EQ(values.size(), expected.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_TRUE(values[i] == expected[i]) << i << ": " << writeJson(values[i]).substr(0, 80);
  }
  EXPECT_EQ(writeJson(*answer.find("units")), "[17,1,4,32767,32766,32767]");
}

}  // namespace
}  // namespace pellam
