#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "core/standard_output.h"
#include "mcp/mcp_options.h"
#include "mcp/server.h"

namespace {

using pellam::mcp::McpServer;

// Reads standard input line by line and answers each line at once. A line longer than the
// limit is skipped to its end without being held, and answered with an error.
int serve(McpServer& server) {
  std::string line;
  bool oversized = false;
  char buffer[65536];
  auto finish = [&](bool overflowed) {
    std::optional<std::string> answer = overflowed ? server.oversizedLine() : server.handleLine(line);
    line.clear();
    if (!answer) return true;
    answer->push_back('\n');
    return pellam::writeAll(STDOUT_FILENO, *answer);
  };
  for (;;) {
    ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      std::cerr << "vantry-mcp: cannot read standard input\n";
      return 1;
    }
    if (count == 0) break;
    std::string_view chunk(buffer, static_cast<std::size_t>(count));
    while (!chunk.empty()) {
      std::size_t end = chunk.find('\n');
      std::string_view piece = chunk.substr(0, end);
      if (!oversized) {
        if (line.size() + piece.size() > pellam::mcp::kMaximumMessageBytes) {
          oversized = true;
          line.clear();
          line.shrink_to_fit();
        } else {
          line.append(piece);
        }
      }
      if (end == std::string_view::npos) break;
      chunk.remove_prefix(end + 1);
      if (!finish(oversized)) return 1;  // the client went away
      oversized = false;
    }
  }
  // A last message without its line feed is still a message.
  if ((oversized || !line.empty()) && !finish(oversized)) return 1;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pellam::mcp;
  try {
    McpOptions options = McpOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help || options.version) {
      std::string text = options.help ? kMcpUsage : kMcpVersion;
      return pellam::writeAllAndClose(STDOUT_FILENO, text + '\n') ? 0 : 1;
    }
    // A client that closed its end is seen as a failed write, not a signal.
    ::signal(SIGPIPE, SIG_IGN);
    std::cerr << "vantry-mcp: serving " << options.settings.dataDirectory << '\n';
    McpServer server(options.settings, {}, &std::cerr);
    return serve(server);
  } catch (const McpUsageError& error) {
    std::cerr << "vantry-mcp: " << error.what() << '\n' << kMcpUsage << '\n';
    return 2;
  }
}
