#pragma once
// The archive file's bytes as last encoded, with the place of every entry in them, so that
// the next encoding of a changed archive copies the entries left as they were instead of
// formatting them again: a change of one entry among 100,000 formats one. The bytes are
// always exactly encodeArchiveJson's for the same archive.
#include <cstddef>
#include <string>
#include <vector>

#include "core/records/entry_origins.h"
#include "core/records/records.h"

namespace pellam {

class EncodedArchive {
 public:
  EncodedArchive() = default;
  // Encodes `archive` whole (encodeArchiveJson; no validation).
  explicit EncodedArchive(const Archive& archive);

  // The encoding of `after`: the archive encoded here, its entries changed as `origins` say
  // (its small parts in any way). Entries left as they were are copied from here. It is
  // written into `storage` (its content dropped): a buffer of an earlier encoding given
  // back spares a large archive the cost of fresh memory, one page fault per page.
  EncodedArchive next(const Archive& after, const EntryOrigins& origins, std::string storage = {}) const;

  const std::string& bytes() const { return bytes_; }
  // The bytes' buffer, for a later next(); this encoding is spent.
  std::string takeStorage() && { return std::move(bytes_); }
  std::size_t entryCount() const { return pieces_.size(); }

 private:
  struct Piece {
    std::size_t offset;
    std::size_t length;
  };
  std::string bytes_;
  std::vector<Piece> pieces_;  // each entry's text in bytes_, in entry order
};

}  // namespace pellam
