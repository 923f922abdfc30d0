#include "core/storage/encoded_archive.h"

#include <stdexcept>

#include "core/storage/archive_json_layout.h"
#include "core/huge_pages.h"

namespace pellam {

EncodedArchive::EncodedArchive(const Archive& archive) {
  bytes_.reserve(4096 + archive.entries.size() * 1024 + archive.jobs.size() * 2048);
  adviseHugePages(bytes_.data(), bytes_.capacity());
  pieces_.reserve(archive.entries.size());
  archive_layout::writeArchive(bytes_, archive, [&](std::string& out, std::size_t index) {
    const std::size_t start = out.size();
    archive_layout::writeEntry(out, archive.entries[index]);
    pieces_.push_back({start, out.size() - start});
  });
}

EncodedArchive EncodedArchive::next(const Archive& after, const EntryOrigins& origins, std::string storage) const {
  if (origins.before() != pieces_.size() || origins.after() != after.entries.size()) {
    throw std::logic_error("The entries' origins do not fit the encoded archive.");
  }
  EncodedArchive result;
  result.bytes_ = std::move(storage);
  result.bytes_.clear();
  // Room for the old text and the changed entries: one allocation, no growth copies.
  const std::size_t room = bytes_.size() + 4096 + origins.changed().size() * 1024 + after.jobs.size() * 2048;
  if (result.bytes_.capacity() < room) {
    result.bytes_ = std::string();
    result.bytes_.reserve(room + room / 16);  // and some to grow into
    adviseHugePages(result.bytes_.data(), result.bytes_.capacity());
  }
  result.pieces_.reserve(after.entries.size());
  archive_layout::writeArchive(result.bytes_, after, [&](std::string& out, std::size_t index) {
    const std::size_t start = out.size();
    const std::size_t origin = origins.from(index);
    if (origin == EntryOrigins::kChanged) {
      archive_layout::writeEntry(out, after.entries[index]);
    } else {
      const Piece& piece = pieces_[origin];
      out.append(bytes_, piece.offset, piece.length);
    }
    result.pieces_.push_back({start, out.size() - start});
  });
  return result;
}

}  // namespace pellam
