#pragma once
// A ZIP archive of stored (uncompressed) entries with fixed metadata, so the same entries
// always give the same bytes: every entry dated 1980-01-01 00:00, no flags, no extra
// fields, no comments, version 2.0. Entries are written in the order given, names as their
// UTF-8 bytes, bodies unchanged, each followed by the central directory and its end record.
//
// No ZIP64: a body, the central directory or an offset of 4 GiB or more, a name of 64 KiB
// or more, or 65,536 entries or more throw DataError ("The file is too large for a ZIP
// archive."). Exports stay far below that (the agent's response limit is 32 MB).
#include <span>
#include <string>
#include <string_view>

namespace pellam {

struct ZipEntry {
  std::string_view name;
  std::string_view bytes;
};

std::string zipStored(std::span<const ZipEntry> entries);

}  // namespace pellam
