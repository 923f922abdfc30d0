#pragma once
// What the engine keeps of an archive between commands, so that reading a window costs what
// the window holds: the entries by start (for entries.list and the CSV export) and the pay
// lines per (job, calendar week) (for the reports and the xlsx and txt exports). The host
// holds one beside its archive and tells it of every change it keeps (adopt) and of every
// archive it replaces or drops (clear); only commands that change nothing read it, so a
// dry run or a failed change never reaches it.
#include <optional>
#include <vector>

#include "core/instant.h"
#include "core/payroll/pay_line.h"
#include "core/payroll/pay_line_cache.h"
#include "core/records/entry_origins.h"
#include "core/records/entry_start_index.h"
#include "core/records/records.h"

namespace pellam::agent {

class ArchiveIndexes {
 public:
  // The entries of `archive` by start; built on first use.
  const EntryStartIndex& starts(const Archive& archive);
  // Payroll's lines of `archive` at `now` whose day lies in [lower, upper), in its order.
  std::vector<PayLine> payLines(const Archive& archive, Instant now, std::optional<Instant> lower,
                                std::optional<Instant> upper);

  // Follows a kept change of the archive, described by `origins`, to `after`.
  void adopt(const Archive& after, const EntryOrigins& origins);
  // Forgets everything: the archive was replaced, read again or dropped.
  void clear();

 private:
  std::optional<EntryStartIndex> starts_;
  PayLineCache payLines_;
};

}  // namespace pellam::agent
