#include "agent/failure.h"
#include "cli/run.h"

namespace pellam::cli {

int runRemoteCommand(const CLIOptions&, bool, std::optional<Uuid>&, std::ostream&) {
  throw agent::AgentFailure("operation_failed",
                            "This build of vantry answers only local commands; app commands are not available yet.",
                            false);
}

}  // namespace pellam::cli
