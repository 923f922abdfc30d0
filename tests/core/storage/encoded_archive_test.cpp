// An encoding assembled from the entries of the last one must be the whole encoding, byte
// for byte, after any sequence of changes (random, with a fixed seed), whether the entries'
// origins were tracked or worked out by comparing.
#include <gtest/gtest.h>

#include "core/storage/archive_json.h"
#include "core/storage/encoded_archive.h"
#include "core/random_changes.h"

namespace pellam {
namespace {

TEST(EncodedArchiveTest, AnAssembledEncodingIsTheWholeEncoding) {
  testing::RandomChanges changes(29);
  Archive archive = changes.start(30);
  EncodedArchive encoded(archive);
  ASSERT_EQ(encoded.bytes(), encodeArchiveJson(archive));
  for (int step = 0; step < 1500; ++step) {
    Archive changed = archive;
    const EntryOrigins tracked = changes.change(changed);
    const EntryOrigins compared = EntryOrigins::between(archive.entries, changed.entries);
    const EncodedArchive next = encoded.next(changed, step % 2 ? tracked : compared);
    ASSERT_EQ(next.bytes(), encodeArchiveJson(changed)) << "step " << step;
    // Valid or not: the encoding does not care, and the chain goes on from every change.
    archive = std::move(changed);
    encoded = next;
  }
  Archive emptied = archive;
  emptied.entries.clear();
  EXPECT_EQ(encoded.next(emptied, EntryOrigins(archive.entries.size(), {})).bytes(), encodeArchiveJson(emptied));
}

}  // namespace
}  // namespace pellam
