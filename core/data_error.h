#pragma once
#include <stdexcept>
#include <string>

namespace pellam {

// The core library's error: one message for the end user (an invalid archive, a bad date).
class DataError : public std::runtime_error {
 public:
  explicit DataError(const std::string& message) : std::runtime_error(message) {}
  const char* message() const { return what(); }
};

}  // namespace pellam
