#pragma once
#include <string_view>

namespace pellam::cli {

// True for an absolute URL whose scheme is exactly "https" and whose host is not empty,
// made only of characters a URL may hold.
bool isHttpsURLWithHost(std::string_view text);

}  // namespace pellam::cli
