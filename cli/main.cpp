#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/run.h"
#include "core/standard_output.h"

// Everything is printed at the end, in one piece, and every write and the final close are
// checked: an answer that did not reach standard output is a failure (status 1), never a
// success, and nothing more is printed, since standard output is what failed and standard
// error stays unused. SIGPIPE keeps its default: a reader that left ends the process.
int main(int argc, char** argv) {
  // Nothing could be shown, so nothing is sent: a change whose answer nobody sees is not made.
  if (!pellam::isOpenDescriptor(STDOUT_FILENO)) return 1;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::ostringstream out;
  int status = pellam::cli::run(args, out);
  if (!pellam::writeAllAndClose(STDOUT_FILENO, out.view())) return 1;
  return status;
}
