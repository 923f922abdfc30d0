#pragma once
#include <string>
#include <string_view>

namespace pellam {

// The machine's current IANA time-zone identifier: the TZ environment variable when it
// names a zone the database knows, else the target of /etc/localtime after "zoneinfo/",
// else "UTC".
std::string currentTimeZoneIdentifier();

// True when the operating system's time-zone database knows `name` (case-sensitive).
bool isKnownZone(std::string_view name);

}  // namespace pellam
