#include "core/exchange/csv_entry_export.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/exchange/csv_codec.h"
#include "core/exchange/csv_formula_prefix.h"
#include "core/json.h"
#include "core/payroll/pay_line.h"

namespace pellam::CSV {

namespace {

constexpr std::string_view kHeader[] = {"Entry ID", "Job",  "Start",    "End",     "Break Minutes",
                                        "Time Adjustment Minutes", "Rate", "Tips", "Miles",
                                        "Adjustment", "Taxable", "Tags", "Comment", "Currency",
                                        "Pauses JSON"};

class RowWriter {
 public:
  explicit RowWriter(std::string& out) : out_(out) {}
  void field(std::string_view value) {
    if (!first_) out_ += ',';
    first_ = false;
    appendQuoted(out_, value);
  }
  void end() {
    out_ += "\r\n";
    first_ = true;
  }

 private:
  std::string& out_;
  bool first_ = true;
};

// Tags and pauses are written straight into one reused buffer, not through a Json tree: the
// same compact bytes (keys in order, "/" escaped), without a tree and a string per row.
void appendTagsJson(std::string& out, const std::vector<std::string>& tags) {
  out.push_back('[');
  for (std::size_t i = 0; i < tags.size(); ++i) {
    if (i > 0) out.push_back(',');
    appendJsonString(out, tags[i], /*escapeSlash=*/true);
  }
  out.push_back(']');
}

void appendPausesJson(std::string& out, const std::vector<TimePause>& pauses) {
  out.push_back('[');
  for (std::size_t i = 0; i < pauses.size(); ++i) {
    const TimePause& pause = pauses[i];
    if (i > 0) out.push_back(',');
    out.push_back('{');
    // Dates are digits, '-', ':', 'T' and 'Z': nothing to escape.
    if (pause.end) {  // left out while the break is open
      out += "\"end\":\"";
      appendInternetDateTime(out, *pause.end);
      out += "\",";
    }
    out += "\"id\":\"";
    pause.id.appendText(out);  // hex digits and dashes: nothing to escape
    out.push_back('"');
    out += ",\"kind\":";
    appendJsonString(out, pause.kind, true);
    out += pause.paid ? ",\"paid\":true" : ",\"paid\":false";
    out += ",\"start\":\"";
    appendInternetDateTime(out, pause.start);
    out += "\"}";
  }
  out.push_back(']');
}

}  // namespace

std::string exportEntries(const Archive& archive, std::span<const Entry* const> entries) {
  std::vector<std::pair<Uuid, const Job*>> jobs;
  jobs.reserve(archive.jobs.size());
  for (const Job& job : archive.jobs) jobs.emplace_back(job.id, &job);
  std::sort(jobs.begin(), jobs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  auto jobOf = [&](const Uuid& id) -> const Job* {
    auto at = std::lower_bound(jobs.begin(), jobs.end(), id,
                               [](const auto& item, const Uuid& key) { return item.first < key; });
    return at != jobs.end() && at->first == id ? at->second : nullptr;
  };

  std::string out;
  out.reserve(256 + entries.size() * 400);
  RowWriter row(out);
  std::string scratch;
  for (std::string_view title : kHeader) row.field(title);
  row.end();
  for (const Entry* entry : entries) {
    if (!entry->end) continue;  // a running entry has no finished time to export
    const Job* job = jobOf(entry->jobID);
    row.field(entry->id.text());
    row.field(withFormulaPrefix(job ? std::string_view(job->name) : std::string_view()));
    for (Instant instant : {entry->start, *entry->end}) {
      scratch.clear();
      appendInternetDateTime(scratch, instant);
      row.field(scratch);
    }
    row.field(shortestRoundTrip(entry->manualBreakMinutes));
    row.field(shortestRoundTrip(entry->timeAdjustmentMinutes));
    row.field(entry->rate.text());
    row.field(entry->tips.text());
    row.field(shortestRoundTrip(entry->miles));
    row.field(entry->adjustment.text());
    row.field(entry->adjustmentTaxable ? "true" : "false");
    scratch.clear();
    appendTagsJson(scratch, entry->tags);
    row.field(scratch);
    row.field(withFormulaPrefix(entry->comment));
    row.field(job ? std::string_view(job->currency) : std::string_view("USD"));
    scratch.clear();
    appendPausesJson(scratch, entry->pauses);
    row.field(scratch);
    row.end();
  }
  return out;
}

}  // namespace pellam::CSV
