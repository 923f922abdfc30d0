#include "agent/engine/report_totals.h"

namespace pellam::agent::engine {

void ReportTotals::add(const PayLine& line) {
  worked += line.seconds();
  regular += line.regular;
  overtime += line.overtime;
  doubleTime += line.doubleTime;
  const Decimal lineGross = line.gross();
  gross += lineGross;
  withholding += line.withholding;
  reimbursement += line.reimbursement;
  // Each line's net, summed: past 38 digits a sum of differences rounds unlike a
  // difference of sums.
  net += lineGross - line.withholding + line.reimbursement;
}

Json ReportTotals::toJson(std::string_view currency) const {
  Json totals = Json::object();
  totals["currency"] = currency;
  totals["workedSeconds"] = worked;
  totals["regularSeconds"] = regular;
  totals["overtimeSeconds"] = overtime;
  totals["doubleTimeSeconds"] = doubleTime;
  totals["gross"] = gross.text();
  totals["withholding"] = withholding.text();
  totals["reimbursement"] = reimbursement.text();
  totals["net"] = net.text();
  return totals;
}

}  // namespace pellam::agent::engine
