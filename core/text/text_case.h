#pragma once
// Letter case changes by Unicode's default full case mapping (no locale): "ß" upper-cases
// to "SS", "İ" lower-cases to "i̇".
#include <string>
#include <string_view>

namespace pellam {

std::string uppercased(std::string_view text);
std::string lowercased(std::string_view text);

}  // namespace pellam
