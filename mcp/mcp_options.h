#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "mcp/server_settings.h"

namespace pellam::mcp {

// vantry-mcp [--data-dir PATH] [--timeout SECONDS] | --help | --version
struct McpOptions {
  ServerSettings settings;  // the folder defaults as vantry's does
  bool help = false;
  bool version = false;

  // Parses the arguments without the program name; throws McpUsageError.
  static McpOptions parse(const std::vector<std::string>& args);
};

class McpUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kMcpVersion = "vantry-mcp 1.0 (Vantry CLI 1.0; protocol 1)";

inline constexpr const char* kMcpUsage =
    "Usage: vantry-mcp [--data-dir PATH] [--timeout SECONDS]\n"
    "       vantry-mcp --help | --version\n"
    "Serves vantry's commands as Model Context Protocol tools over standard input and output\n"
    "(JSON-RPC 2.0, one message per line, at most 4194304 bytes each) until its input ends.\n"
    "Each tool call is sent to the app (or vantry-host) as vantry sends it and waits up to\n"
    "--timeout seconds (1 to 120, default 10) for the answer.\n"
    "The folder defaults to VANTRY_DATA_DIR, then PELLAM_DESKTOP_DATA_DIR, then\n"
    "$XDG_DATA_HOME/vantry (~/.local/share/vantry), as vantry's does.\n"
    "Standard output carries only protocol messages; logs go to standard error.";

}  // namespace pellam::mcp
