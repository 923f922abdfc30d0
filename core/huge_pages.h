#pragma once
// Large buffers that are filled at once (a million pay lines is 190 MB) cost one page
// fault per 4 KB page, which dominates their filling on virtual machines. Asking for
// transparent huge pages turns that into one fault per 2 MB. Only advice: where the
// system has no such pages, nothing changes.
#include <cstddef>
#include <string>

namespace pellam {

// Advises the kernel to back the whole 2 MB pages inside [data, data + bytes) with huge
// pages. Call it on freshly reserved memory, before writing to it.
void adviseHugePages(const void* data, std::size_t bytes);

// Reserves room for `bytes` in an empty string and gives the advice before anything is written
// (filling it, zeros included, is what faults the pages in). Small sizes only reserve.
void reserveWithHugePages(std::string& text, std::size_t bytes);

}  // namespace pellam
