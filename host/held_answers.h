#pragma once
// Answers that need not be kept for replays: those of commands that only look, of dry runs,
// and failures of the host's own that a retry may get past and that left the data file as it
// was (a full disk at save). Each is published like any answer, so the waiting client reads
// it; once the longest wait a client may have (120 seconds) has surely passed, it is
// withdrawn: its file goes and its identifier is free, so a later request with it runs again.
// A replay during the hold gets the same answer.
//
// The hold is measured on the monotonic clock. Each held answer is marked beside it
// (Responses/.<ID>.held) so that a restart withdraws what an earlier run still held, at once.
// A client that waits for an answer while the host restarts has read it long before.
#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <utility>

#include "core/uuid.h"
#include "host/response_outbox.h"

namespace pellam::host {

class HeldAnswers {
 public:
  using Monotonic = std::function<std::chrono::steady_clock::time_point()>;
  // The longest client wait (120 seconds) and a generous margin.
  static constexpr std::chrono::minutes kHold{5};

  HeldAnswers(ResponseOutbox& outbox, Monotonic now);

  // Marks `id`'s answer as held before it is published, so that no kill can leave it
  // unmarked; a mark without its answer is dropped at the next start or before the
  // identifier is answered again. Should the mark fail, the answer is still withdrawn by this
  // run; a later run keeps it the full time.
  void mark(const Uuid& id);
  // Starts the hold of the answer just published for `id`.
  void hold(const Uuid& id);

  // Withdraws the answers whose hold has passed, and, the first time, every answer an
  // earlier run was still holding. What cannot be withdrawn now is tried again next time.
  void withdrawDue();

 private:
  ResponseOutbox& outbox_;
  Monotonic now_;
  std::deque<std::pair<std::chrono::steady_clock::time_point, Uuid>> held_;  // by time of release
  bool earlierRunSettled_ = false;
};

}  // namespace pellam::host
