#include "core/huge_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pellam {

void adviseHugePages(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(PELLAM_PORTABLE_FALLBACKS)
  constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t from = (begin + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t to = (begin + bytes) & ~(kHugePage - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);  // advice only: ignore failure
#else
  (void)data;
  (void)bytes;
#endif
}

void reserveWithHugePages(std::string& text, std::size_t bytes) {
  text.reserve(bytes);
  if (bytes >= (std::size_t(2) << 20)) adviseHugePages(text.data(), text.capacity());
}

}  // namespace pellam
