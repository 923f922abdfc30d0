#include "core/calendar/current_time_zone.h"

#include <date/tz.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string_view>

namespace pellam {

namespace {

// The zone name inside a path such as /usr/share/zoneinfo/Europe/Paris.
std::string_view afterZoneinfo(std::string_view path) {
  constexpr std::string_view marker = "zoneinfo/";
  auto at = path.rfind(marker);
  if (at == std::string_view::npos) return path;
  path.remove_prefix(at + marker.size());
  // The "posix/" and "right/" trees hold the same names.
  for (std::string_view tree : {"posix/", "right/"}) {
    if (path.substr(0, tree.size()) == tree) path.remove_prefix(tree.size());
  }
  return path;
}

}  // namespace

bool isKnownZone(std::string_view name) {
  if (name.empty()) return false;
  try {
    date::locate_zone(name);
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

std::string currentTimeZoneIdentifier() {
  if (const char* tz = std::getenv("TZ")) {
    std::string_view name = tz;
    if (!name.empty() && name.front() == ':') name.remove_prefix(1);
    name = afterZoneinfo(name);
    if (isKnownZone(name)) return std::string(name);
  }
  char target[4096];
  ssize_t length = ::readlink("/etc/localtime", target, sizeof target - 1);
  if (length > 0) {
    std::string_view path(target, static_cast<std::size_t>(length));
    if (path.find("zoneinfo/") != std::string_view::npos) {
      std::string_view name = afterZoneinfo(path);
      if (isKnownZone(name)) return std::string(name);
    }
  }
  return "UTC";
}

}  // namespace pellam
