#pragma once
#include <string>
#include <string_view>

namespace pellam {

// The user's home folder: $HOME, else the password database.
std::string homeDirectory();
// "~" and "~/x" become the home folder; "~user/x" that user's; anything else is unchanged.
std::string expandTilde(std::string_view path);
// An absolute path (relative ones are taken from the working folder), without trailing slash.
std::string absolutePath(std::string_view path);
// absolutePath with "." and ".." components resolved textually (links are not followed).
std::string standardizedPath(std::string_view path);
// Everything before the last component ("/" for a top-level item).
std::string parentFolder(std::string_view path);

}  // namespace pellam
