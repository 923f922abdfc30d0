#include "core/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace pellam {

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/";
}

std::string expandTilde(std::string_view path) {
  if (path.empty() || path[0] != '~') return std::string(path);
  std::size_t slash = path.find('/');
  std::string_view user = path.substr(1, slash == std::string_view::npos ? std::string_view::npos : slash - 1);
  std::string_view rest = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
  std::string home;
  if (user.empty()) {
    home = homeDirectory();
  } else {
    const passwd* entry = getpwnam(std::string(user).c_str());
    if (!entry || !entry->pw_dir) return std::string(path);
    home = entry->pw_dir;
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home + std::string(rest);
}

std::string absolutePath(std::string_view path) {
  std::string result;
  if (!path.empty() && path[0] == '/') {
    result = std::string(path);
  } else {
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) buffer.resize(buffer.size() * 2);
    result = buffer.data();
    if (!path.empty()) {
      if (result.back() != '/') result += '/';
      result += path;
    }
  }
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

std::string standardizedPath(std::string_view path) {
  std::string absolute = absolutePath(path);
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= absolute.size()) {
    std::size_t next = absolute.find('/', at);
    if (next == std::string::npos) next = absolute.size();
    std::string part = absolute.substr(at, next - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = next + 1;
  }
  std::string result;
  for (const auto& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

std::string parentFolder(std::string_view path) {
  std::string_view trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.remove_suffix(1);
  std::size_t slash = trimmed.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(trimmed.substr(0, slash));
}

}  // namespace pellam
