#pragma once
// Realistic archives for benchmarks: a handful of jobs with varied pay settings, and
// entries spread over years with breaks, tags, comments (some with non-ASCII text, quotes
// and line breaks), tips, miles and adjustments, plus a few saved views. The same seed and
// size always give the same archive, and every archive passes validation. All entries are
// finished, so validity does not depend on the day the benchmark runs.
#include <cstddef>
#include <cstdint>

#include "core/records/records.h"

namespace pellam::bench {

struct ArchiveShape {
  std::size_t entries = 1000;
  std::uint64_t seed = 1;
};

Archive generateArchive(const ArchiveShape& shape);

// generateArchive({.entries = entries}), made once per size and kept for the program's life.
const Archive& generatedArchive(std::size_t entries);

}  // namespace pellam::bench
