#pragma once
// The pay lines of an archive kept per (job, calendar week) between calls, so that the lines
// of a window cost what the window holds, not the whole history. The lines of one (job,
// week) depend only on that job's pay settings, the reporting calendar and the time its
// entries have in that week: daily totals are per day, the weekly total per week, rounding
// moves time only between an entry's own days, and pay periods shape no line. So a
// (job, week) is computed again only when something it depends on changed:
//  - a changed, added or removed entry: every week its days touch, before and after, for
//    the old and the new job (adopt);
//  - a job's pay settings, or a job added or removed: all of that job's weeks;
//  - the time zone or the first weekday: everything;
//  - anything else that replaces the archive: the owner clears the cache.
// Running entries depend on the time they are taken at, so they are never kept: every
// (job, week) a running entry touches at the asked time is computed afresh, with that job's
// other entries in it, and not stored.
//
// The lines given are exactly Payroll::calculate's, in its order; builds without NDEBUG
// prove every answer against it.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/payroll/pay_line.h"
#include "core/payroll/payroll.h"
#include "core/records/entry_origins.h"
#include "core/records/entry_start_index.h"
#include "core/records/records.h"

namespace pellam {

class PayLineCache {
 public:
  // The lines Payroll(archive.preferences).calculate(archive, now) gives whose day lies in
  // [lower, upper) (an absent side unbounded), in its order. `starts` stands for the
  // archive's entries; the cache stands for them too, as adopt() has followed them.
  std::vector<PayLine> lines(const Archive& archive, const EntryStartIndex& starts, Instant now,
                             std::optional<Instant> lower, std::optional<Instant> upper);

  // Follows a change of the entries (and perhaps of the jobs and preferences) the cache
  // stood for, as `origins` say, to `after`.
  void adopt(const Archive& after, const EntryOrigins& origins);

  // Forgets everything; the next call computes the lines whole.
  void clear();

 private:
  // Where the lines of one finished entry fall: its job and its first and last week.
  struct Reach {
    Uuid job;
    double firstWeek = 0;
    double lastWeek = 0;
    bool hasLines = false;
  };
  struct Week {
    bool stale = false;
    std::vector<PayLine> lines;     // in calculate's order
    std::vector<double> starts;     // the start of each line's entry
  };
  struct JobWeeks {
    Job job;                       // as its weeks were computed
    std::map<double, Week> weeks;  // by the week's start
  };

  bool calendarMatches(const Preferences& preferences) const;
  void build(const Archive& archive, const std::vector<const Job*>& jobs);
  void syncJobs(const Archive& archive);
  void refresh(const Archive& archive, const EntryStartIndex& starts, const Job& job, double week, Instant now,
               const std::vector<DayWork>& running, Week& into);
  Reach reachOf(const Payroll& payroll, DayLocator& locator, const Entry& entry, const Job& job,
                std::vector<DayWork>& items);

  bool built_ = false;
  std::string zone_;
  std::int64_t weekStartsOn_ = 0;
  std::vector<Reach> reach_;  // by entry position; none for running entries
  std::map<Uuid, JobWeeks> jobs_;
  Payroll::Scratch scratch_;
};

}  // namespace pellam
