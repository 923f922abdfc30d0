#pragma once
// A ZIP archive of stored (uncompressed) entries with fixed metadata, so the same entries
// always give the same bytes: every entry dated 1980-01-01 00:00, no flags, no extra
// fields, no comments, version 2.0. Entries are written in the order added, names as their
// UTF-8 bytes, bodies unchanged, then the central directory and its end record.
//
// No ZIP64: a body, the central directory or an offset of 4 GiB or more, a name of 64 KiB
// or more, or 65,536 entries or more throw DataError ("The file is too large for a ZIP
// archive."). Exports stay far below that (the agent's response limit is 32 MB).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pellam {

// The CRC-32 a ZIP entry carries (zlib's): crc32("123456789") is 0xCBF43926; empty input
// gives 0.
std::uint32_t crc32(std::string_view bytes);

class ZipWriter {
 public:
  // `expectedSize`: room to reserve for the whole archive, so a large body is not copied
  // while it grows.
  explicit ZipWriter(std::size_t expectedSize = 0);

  void add(std::string_view name, std::string_view bytes);

  // A body written in place: append it to the returned buffer (nothing else), then call
  // endEntry(). Saves building a large body apart and copying it in.
  std::string& beginEntry(std::string_view name);
  void endEntry();

  // The archive; the writer is used up.
  std::string finish() &&;

 private:
  std::string out_;
  std::string directory_;
  std::size_t count_ = 0;
  std::size_t headerOffset_ = 0;  // of the entry being written
  std::size_t bodyOffset_ = 0;
  bool inEntry_ = false;
};

struct ZipEntry {
  std::string_view name;
  std::string_view bytes;
};

// The archive of `entries`, in order.
std::string zipStored(std::span<const ZipEntry> entries);

}  // namespace pellam
