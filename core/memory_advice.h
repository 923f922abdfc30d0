#pragma once
#include <cstddef>

namespace pellam {

// Advises the system to back [start, start + size) with huge pages before it is first
// written: a buffer of many megabytes (a large archive's bytes or records) then fills in far
// fewer page faults. Only advice: smaller buffers, and systems without it, are left as they are.
void adviseHugePages(void* start, std::size_t size);

}  // namespace pellam
