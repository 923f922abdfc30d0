#pragma once
// One cell of a worksheet: text, a number (shown with two decimals) or a date (shown in the
// short date format). The alternatives keep this order: text, number, date.
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/decimal.h"
#include "core/instant.h"

namespace pellam {

struct SheetCell {
  std::variant<std::string, Decimal, Instant> value;

  static SheetCell text(std::string text) { return {std::move(text)}; }
  static SheetCell number(Decimal number) { return {number}; }
  // The sheet shows the UTC calendar day of `instant`: pass 00:00 UTC of the day to show.
  static SheetCell date(Instant instant) { return {instant}; }

  bool operator==(const SheetCell&) const = default;
};

using SheetRow = std::vector<SheetCell>;

}  // namespace pellam
