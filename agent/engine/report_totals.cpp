#include "agent/engine/report_totals.h"

namespace pellam::agent::engine {

void ReportTotals::add(const PayLine& line) {
  worked += line.seconds();
  regular += line.regular;
  overtime += line.overtime;
  doubleTime += line.doubleTime;
  gross += line.gross();
  withholding += line.withholding;
  reimbursement += line.reimbursement;
}

Decimal ReportTotals::net() const { return gross - withholding + reimbursement; }

Json ReportTotals::toJson(std::string_view currency) const {
  // Members in key order, each placed at the end without a search or a copy; a daily
  // report builds thousands of these.
  Json::Object members;
  auto put = [&](std::string_view key, Json value) { members.emplace_hint(members.end(), key, std::move(value)); };
  put("currency", currency);
  put("doubleTimeSeconds", doubleTime);
  put("gross", gross.text());
  put("net", net().text());
  put("overtimeSeconds", overtime);
  put("regularSeconds", regular);
  put("reimbursement", reimbursement.text());
  put("withholding", withholding.text());
  put("workedSeconds", worked);
  return Json(std::move(members));
}

}  // namespace pellam::agent::engine
