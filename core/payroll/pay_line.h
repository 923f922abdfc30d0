#pragma once
// One entry's pay on one calendar day.
#include <string>

#include "core/decimal.h"
#include "core/instant.h"
#include "core/uuid.h"

namespace pellam {

struct PayLine {
  Uuid entryID;
  Uuid jobID;
  Instant day;            // the start of the calendar day the line covers
  double regular = 0;     // seconds
  double overtime = 0;    // seconds
  double doubleTime = 0;  // seconds
  Decimal wages;          // pay for the three kinds of time
  Decimal extras;         // tips plus adjustment, on the entry's last line only
  Decimal withholding;
  Decimal reimbursement;  // mileage, on the entry's last line only

  // "<entry UUID>-<day start in seconds since 1970>", the seconds in shortest round-trip
  // form with a point kept on whole numbers: "A1A1...0001-1772600400.0".
  std::string id() const;
  double seconds() const { return regular + overtime + doubleTime; }
  Decimal gross() const { return wages + extras; }
  Decimal net() const { return wages + extras - withholding + reimbursement; }

  bool operator==(const PayLine&) const = default;
};

// The shortest text that reads back as `value`, in plain notation, a whole number keeping
// ".0" ("1772600400.0", "0.5", "-3.25").
std::string shortestRoundTrip(double value);

}  // namespace pellam
