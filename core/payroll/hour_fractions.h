#pragma once
// decimal(seconds) / 3600, remembered for recent lengths: typed and rounded entries repeat
// a few lengths (whole minutes, full shifts), and this division is the dearest step of a
// pay line. The value is the same computed or remembered.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/decimal.h"

namespace pellam {

class HourFractions {
 public:
  HourFractions() : slots_(kSlots) {}

  const Decimal& of(double seconds) {
    std::uint64_t bits;
    std::memcpy(&bits, &seconds, sizeof bits);
    Slot& slot = slots_[(bits ^ (bits >> 29) ^ (bits >> 43)) & (kSlots - 1)];
    if (!slot.used || slot.bits != bits) {
      slot.bits = bits;
      slot.used = true;
      // Every time here is finite and far inside the decimal's range.
      slot.value = Decimal::fromDouble(seconds).value_or(Decimal()) / hour_;
    }
    return slot.value;
  }

 private:
  static constexpr std::size_t kSlots = 4096;
  struct Slot {
    std::uint64_t bits = 0;
    bool used = false;
    Decimal value;
  };
  std::vector<Slot> slots_;
  const Decimal hour_ = 3600;
};

}  // namespace pellam
