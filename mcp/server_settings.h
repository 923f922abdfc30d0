#pragma once
#include <string>

namespace pellam::mcp {

// What every call of one server shares: the app's data folder and how long to wait.
struct ServerSettings {
  std::string dataDirectory;  // absolute
  int timeoutSeconds = 10;
};

}  // namespace pellam::mcp
