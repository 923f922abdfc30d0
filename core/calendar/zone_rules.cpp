#include "core/calendar/zone_rules.h"

// The header's own name() meets both date::hh_mm_ss and std::chrono::hh_mm_ss under C++20;
// a name in its namespace is found first and settles it.
namespace Posix {
template <class Duration>
using hh_mm_ss = date::hh_mm_ss<Duration>;
}
#include <date/ptz.h>
#include <date/tz.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>

namespace pellam {

namespace {

// Where the operating system keeps the files the date library reads.
constexpr std::string_view kZoneFolder = "/usr/share/zoneinfo/";

std::unique_ptr<const Posix::time_zone> closingRule(const std::string& name) {
  std::ifstream file(std::string(kZoneFolder) + name, std::ios::binary);
  if (!file) return nullptr;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  const std::optional<std::string> text = closingRuleText(bytes.str());
  if (!text) return nullptr;
  try {
    return std::make_unique<const Posix::time_zone>(*text);
  } catch (const std::runtime_error&) {
    // A rule the library cannot read (a negative transition time, for one): the listed
    // transitions still hold, as they did before the rule was read at all.
    return nullptr;
  }
}

}  // namespace

std::optional<std::string> closingRuleText(std::string_view bytes) {
  // "TZif", a version byte ('2' or later carries the rule), ... "\n" rule "\n".
  if (bytes.size() < 6 || bytes.substr(0, 4) != "TZif" || bytes[4] < '2' || bytes.back() != '\n') {
    return std::nullopt;
  }
  bytes.remove_suffix(1);
  const std::size_t newline = bytes.rfind('\n');
  if (newline == std::string_view::npos) return std::nullopt;
  std::string_view rule = bytes.substr(newline + 1);
  if (rule.empty()) return std::nullopt;
  return std::string(rule);
}

ZoneRules::ZoneRules(const date::time_zone& zone) : zone_(&zone), name_(zone.name()), closing_(closingRule(name_)) {
  // The span in effect long after every listed transition begins at the last of them.
  const date::sys_seconds farFuture{date::sys_days{date::year{9000} / 1 / 1}.time_since_epoch()};
  endOfList_ = zone.get_info(farFuture).begin;
}

ZoneRules::~ZoneRules() = default;

const ZoneRules* ZoneRules::named(std::string_view name) {
  static std::mutex lock;
  static std::map<std::string, std::unique_ptr<const ZoneRules>, std::less<>> zones;
  const std::lock_guard<std::mutex> guard(lock);
  if (auto found = zones.find(name); found != zones.end()) return found->second.get();
  const date::time_zone* zone = nullptr;
  try {
    zone = date::locate_zone(name);
  } catch (const std::runtime_error&) {
    return nullptr;
  }
  auto [at, inserted] = zones.emplace(std::string(name), std::make_unique<const ZoneRules>(*zone));
  return at->second.get();
}

date::sys_info ZoneRules::info(date::sys_seconds instant) const {
  if (!closing_ || instant < endOfList_) return zone_->get_info(instant);
  date::sys_info info = closing_->get_info(instant);
  if (info.begin < endOfList_) info.begin = endOfList_;
  return info;
}

date::local_seconds ZoneRules::toLocal(date::sys_seconds instant) const {
  return date::local_seconds{(instant + info(instant).offset).time_since_epoch()};
}

date::sys_seconds ZoneRules::earliest(date::local_seconds local) const {
  // The file answers for instants before the end of its list, the rule for the rest. The
  // file's earliest reading, when it lies before the end, is earlier than any of the rule's.
  const date::sys_seconds listed = zone_->to_sys(local, date::choose::earliest);
  if (!closing_ || listed < endOfList_) return listed;
  const date::sys_seconds ruled = closing_->to_sys(local, date::choose::earliest);
  return ruled < endOfList_ ? listed : ruled;
}

}  // namespace pellam
