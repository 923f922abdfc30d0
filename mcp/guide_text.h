#pragma once
#include <string_view>

namespace pellam::mcp {

// docs/CLI.md as it was when the server was built.
std::string_view guideText();

}  // namespace pellam::mcp
