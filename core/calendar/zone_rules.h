#pragma once
// A zone of the operating system's time-zone database as its file states it whole: the
// transitions the file lists, then the closing rule (the POSIX TZ text at the file's end)
// for every later instant. The date library reads only the listed transitions, which end
// in 2037 in full files and at the last rule change in slim ones; without the closing rule
// daylight saving would stop there. Every conversion between local time and UTC in the
// reporting calendar goes through this one type.
#include <date/date.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace Posix {
class time_zone;
}

// The date library's zone database, included only where offsets are looked up: its header
// costs each unit that parses it more than all the engine's own headers together.
namespace date {
class time_zone;
struct sys_info;
}  // namespace date

namespace pellam {

class ZoneRules {
 public:
  // The zone of that name (case-sensitive), read once per process and kept for its
  // lifetime; null when the database does not know the name.
  static const ZoneRules* named(std::string_view name);

  const std::string& name() const { return name_; }

  // The offset in effect at `instant` and the span over which it holds.
  date::sys_info info(date::sys_seconds instant) const;
  date::local_seconds toLocal(date::sys_seconds instant) const;
  // The first instant at which the local clock reads `local`; when the zone skipped that
  // local time, the instant the gap ends.
  date::sys_seconds earliest(date::local_seconds local) const;

  // The last transition the file lists, where the closing rule takes over. Without a rule
  // the date library can read, the last listed offset holds for ever.
  date::sys_seconds endOfList() const { return endOfList_; }

  explicit ZoneRules(const date::time_zone& zone);
  ~ZoneRules();

 private:
  const date::time_zone* zone_;
  std::string name_;
  std::unique_ptr<const Posix::time_zone> closing_;
  date::sys_seconds endOfList_;
};

// The POSIX TZ text that closes a TZif file (version 2 or later), or nothing when the bytes
// carry none.
std::optional<std::string> closingRuleText(std::string_view fileBytes);

}  // namespace pellam
