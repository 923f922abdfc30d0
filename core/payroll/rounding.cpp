#include "core/payroll/rounding.h"

#include <algorithm>
#include <cmath>

namespace pellam {

double apply(Rounding rounding, double seconds, std::int64_t increment) {
  if (increment <= 0 || rounding == Rounding::none) return std::max(0.0, seconds);
  const double step = static_cast<double>(increment) * 60;
  const double steps = seconds / step;
  double whole = steps;
  switch (rounding) {
    case Rounding::nearest:
      whole = std::round(steps);  // halves away from zero
      break;
    case Rounding::up:
      whole = std::ceil(steps);
      break;
    case Rounding::down:
      whole = std::floor(steps);
      break;
    case Rounding::none:
      break;
  }
  return std::max(0.0, whole * step);
}

}  // namespace pellam
