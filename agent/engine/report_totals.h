#pragma once
// Hours and money of a group of pay lines in one currency. Money is summed exactly and
// written as plain decimal text (never rounded to cents, never mixed across currencies);
// seconds are doubles.
#include <string_view>

#include "core/decimal.h"
#include "core/json.h"
#include "core/payroll/pay_line.h"

namespace pellam::agent::engine {

struct ReportTotals {
  double worked = 0;  // regular + overtime + double time
  double regular = 0;
  double overtime = 0;
  double doubleTime = 0;
  Decimal gross;  // wages + extras
  Decimal withholding;
  Decimal reimbursement;

  void add(const PayLine& line);
  // wages + extras - withholding + reimbursement, from the sums, so the totals shown always
  // agree with each other.
  Decimal net() const;

  // {currency, workedSeconds, regularSeconds, overtimeSeconds, doubleTimeSeconds, gross,
  //  withholding, reimbursement, net}
  Json toJson(std::string_view currency) const;
};

}  // namespace pellam::agent::engine
