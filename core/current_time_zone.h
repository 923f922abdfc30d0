#pragma once
#include <string>

namespace pellam {

// The machine's current IANA time-zone identifier: the TZ environment variable when it
// names a zone the database knows, else the target of /etc/localtime after "zoneinfo/",
// else "UTC".
std::string currentTimeZoneIdentifier();

}  // namespace pellam
