#pragma once
// Answers that need not be kept for replays: those of commands that only look, of dry runs,
// and failures of the host's own that a retry may get past and that left the data file as it
// was (a full disk at save). Each is published like any answer, so the waiting client reads
// it; once the longest wait a client may have (120 seconds) has surely passed, it is
// withdrawn: its file goes and its identifier is free, so a later request with it runs again.
// A replay during the hold gets the same answer. The hold is measured on the monotonic clock.
//
// A held answer is not synced before it takes its name (the sync was most of the time a
// read took in the host): it serves the client waiting now, which reads it whether or not it
// ever reaches the disk. A power cut may then leave a cut file under its name (empty, zeros,
// a part), which must never stand as the identifier's answer. So a held answer carries its
// status itself: it is created without the owner's write permission
// (ResponseOutbox::kHeldAnswerMode; kept answers have it, and are synced), and every start
// withdraws every answer so made, before the heartbeat lets a client in. This holds because
// the mode belongs to the file, not to its bytes: it is given as the file is created, before
// the file takes the answer's name, and a file system that keeps a name through a crash
// keeps the file it names with its mode (its metadata is journalled in order); only unsynced
// bytes are lost. No clock is consulted, so clock jumps change nothing; a client that was
// waiting read the answer long before the restart, and one that replays it later runs the
// command again, which is harmless for an answer that changed nothing.
//
// Earlier versions marked a held answer with an empty Responses/.<ID>.held beside it; the
// first start withdraws what such marks name too, and drops marks that lost their answer.
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

  // Before `id` is answered anew: an earlier version's mark left without its answer must not
  // take the new answer for a held one. Looks only until the earlier run is settled.
  void beforeAnswering(const Uuid& id);
  // Publishes `id`'s held answer and starts its hold.
  void publish(const Uuid& id, std::string_view bytes);

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
