#include "core/exchange/csv_formula_prefix.h"

namespace pellam::CSV {

namespace {

// The characters a spreadsheet program starts a formula with, after any single quotes.
bool opensFormulaAfterQuotes(std::string_view text) {
  const std::size_t first = text.find_first_not_of('\'');
  if (first == std::string_view::npos) return false;
  switch (text[first]) {
    case '=': case '+': case '-': case '@': case '\t': case '\r':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string withFormulaPrefix(std::string_view value) {
  if (!opensFormulaAfterQuotes(value)) return std::string(value);
  std::string prefixed;
  prefixed.reserve(value.size() + 1);
  prefixed += '\'';
  prefixed += value;
  return prefixed;
}

std::string_view withoutFormulaPrefix(std::string_view cell) {
  if (cell.starts_with('\'') && opensFormulaAfterQuotes(cell)) cell.remove_prefix(1);
  return cell;
}

}  // namespace pellam::CSV
