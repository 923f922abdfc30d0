#include "core/exchange/xlsx_writer.h"

#include <utility>
#include <string_view>

#include "core/exchange/worksheet_xml.h"
#include "core/exchange/zip_writer.h"

namespace pellam::Spreadsheet {

namespace {

constexpr std::string_view kContentTypes =
    "<?xml version=\"1.0\"?>"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "</Types>";

constexpr std::string_view kPackageRelationships =
    "<?xml version=\"1.0\"?>"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/>"
    "</Relationships>";

constexpr std::string_view kWorkbook =
    "<?xml version=\"1.0\"?>"
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheets><sheet name=\"Vantry Report\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
    "</workbook>";

constexpr std::string_view kWorkbookRelationships =
    "<?xml version=\"1.0\"?>"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>"
    "</Relationships>";

// Style 0 plain, 1 the built-in number format 4 ("#,##0.00"), 2 the built-in date format 14.
constexpr std::string_view kStyles =
    "<?xml version=\"1.0\"?>"
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border/></borders>"
    "<cellStyleXfs count=\"1\"><xf/></cellStyleXfs>"
    "<cellXfs count=\"3\"><xf xfId=\"0\"/>"
    "<xf numFmtId=\"4\" applyNumberFormat=\"1\" xfId=\"0\"/>"
    "<xf numFmtId=\"14\" applyNumberFormat=\"1\" xfId=\"0\"/></cellXfs>"
    "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
    "</styleSheet>";

}  // namespace

std::string xlsx(const std::vector<SheetRow>& rows) {
  const std::pair<std::string_view, std::string_view> fixedParts[] = {
      {"[Content_Types].xml", kContentTypes},
      {"_rels/.rels", kPackageRelationships},
      {"xl/workbook.xml", kWorkbook},
      {"xl/_rels/workbook.xml.rels", kWorkbookRelationships},
      {"xl/styles.xml", kStyles},
  };
  constexpr std::string_view kSheetName = "xl/worksheets/sheet1.xml";
  std::size_t size = 1024 + worksheetXmlSizeHint(rows);  // 1024: headers, directory, end record
  for (const auto& [name, bytes] : fixedParts) size += bytes.size();
  // The sheet, the one large part, is written straight into the archive.
  ZipWriter zip(size);
  for (const auto& [name, bytes] : fixedParts) zip.add(name, bytes);
  appendWorksheetXml(zip.beginEntry(kSheetName), rows);
  zip.endEntry();
  return std::move(zip).finish();
}

}  // namespace pellam::Spreadsheet
