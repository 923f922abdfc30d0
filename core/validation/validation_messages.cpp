#include "core/validation/validation_messages.h"

namespace pellam {

std::string entryOutsideCalendarMessage(const Uuid& id) {
  const std::string text = id.text();
  return "Time entry " + text + " has a date outside the years 0001 to 9999. Correct it with vantry entries update " +
         text + " --start <ISO> --end <ISO>, or remove it with vantry entries delete " + text + ".";
}

}  // namespace pellam
