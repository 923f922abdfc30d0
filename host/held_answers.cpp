#include "host/held_answers.h"

namespace pellam::host {

HeldAnswers::HeldAnswers(ResponseOutbox& outbox, Monotonic now) : outbox_(outbox), now_(std::move(now)) {}

void HeldAnswers::beforeAnswering(const Uuid& id) {
  if (!earlierRunSettled_) outbox_.dropStrayMark(id);
}

void HeldAnswers::publish(const Uuid& id, std::string_view bytes) {
  outbox_.publishHeld(id, bytes);
  held_.emplace_back(now_() + kHold, id);
}

void HeldAnswers::withdrawDue() {
  if (!earlierRunSettled_) {
    try {
      for (const Uuid& id : outbox_.heldAnswers()) {
        bool ours = std::any_of(held_.begin(), held_.end(), [&](const auto& entry) { return entry.second == id; });
        if (!ours) outbox_.withdraw(id);
      }
      earlierRunSettled_ = true;
    } catch (const std::exception&) {
      // Tried again next time.
    }
  }
  const auto now = now_();
  while (!held_.empty() && held_.front().first <= now) {
    try {
      outbox_.withdraw(held_.front().second);
    } catch (const std::exception&) {
      return;  // tried again next time
    }
    held_.pop_front();
  }
}

}  // namespace pellam::host
