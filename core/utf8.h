#pragma once
#include <string>
#include <string_view>

namespace pellam {

bool isValidUtf8(std::string_view bytes);
// Replaces every invalid sequence with U+FFFD, as the platform does for process arguments.
std::string repairedUtf8(std::string_view bytes);

}  // namespace pellam
