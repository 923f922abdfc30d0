#include "core/memory_advice.h"

#include <sys/mman.h>

#include <cstdint>

namespace pellam {

void adviseHugePages([[maybe_unused]] void* start, [[maybe_unused]] std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(PELLAM_PORTABLE_FALLBACKS)
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  if (size < 4 * kHugePage) return;
  const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (begin + size) & ~(kHugePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

}  // namespace pellam
