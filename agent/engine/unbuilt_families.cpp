// Families whose commands are not built yet. Until a family has its own file, every name
// under its prefix is refused exactly as an unknown name of that family would be; the
// family's file replaces its function here.
#include "agent/engine/families.h"

namespace pellam::agent::engine {

Json importRecords(const AgentRequest& request, Archive&, Instant) { throw unknownCommand(request.command); }

}  // namespace pellam::agent::engine
