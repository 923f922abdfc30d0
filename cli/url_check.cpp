#include "cli/url_check.h"

#include <cctype>
#include <string>

namespace pellam::cli {

namespace {

bool urlCharacter(unsigned char c) {
  if (std::isalnum(c)) return true;
  return std::string_view("-._~:/?#[]@!$&'()*+,;=%").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

bool isHttpsURLWithHost(std::string_view text) {
  constexpr std::string_view prefix = "https://";
  if (text.substr(0, prefix.size()) != prefix) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!urlCharacter(static_cast<unsigned char>(text[i]))) return false;
    // A percent sign only ever starts an escape of two hexadecimal digits.
    if (text[i] == '%' && (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
                           !std::isxdigit(static_cast<unsigned char>(text[i + 2])))) {
      return false;
    }
  }
  std::string_view authority = text.substr(prefix.size());
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view host = authority;
  if (!host.empty() && host[0] == '[') {
    host = host.substr(0, host.find(']') == std::string_view::npos ? 0 : host.find(']') + 1);
  } else if (auto colon = host.find(':'); colon != std::string_view::npos) {
    std::string_view port = host.substr(colon + 1);
    for (char c : port) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    host = host.substr(0, colon);
  }
  return !host.empty();
}

}  // namespace pellam::cli
