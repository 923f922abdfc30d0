#pragma once
#include <cstddef>
#include <optional>
#include <string>

namespace pellam::agent {

// Reads a regular file without following a final symbolic link and without blocking on a
// FIFO put in its place. Returns none when the file holds more than `maximum` bytes (only
// `maximum` + 1 bytes are ever read). Throws std::system_error naming the path when it
// cannot be opened or read, or is not a regular file.
std::optional<std::string> readBoundedFile(const std::string& path, std::size_t maximum);

}  // namespace pellam::agent
