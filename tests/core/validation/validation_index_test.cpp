// The check of a change against the whole validation, its reference: on random changes of
// a small archive (a fixed seed), both must give the same message, or both none, at every
// step; an accepted change is adopted and the next one checked against it. Every case of
// validation_test.cpp is checked the same way there.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/random_changes.h"
#include "core/validation/validation.h"
#include "core/validation/validation_index.h"

namespace pellam {
namespace {

using testing::messageOf;

TEST(ValidationIndexTest, AChangeIsJudgedExactlyAsTheWholeValidationJudgesIt) {
  testing::RandomChanges changes(17);
  Archive archive = changes.start(40);
  ValidationIndex known(archive);
  std::set<std::string> seen;
  for (int step = 0; step < 3000; ++step) {
    const Instant now = changes.someNow();
    Archive changed = archive;
    const EntryOrigins tracked = changes.change(changed);
    const std::string whole =
        messageOf([&] { validateChange(changed, ArchiveChange{archive.jobs, archive.filters, archive.entries, tracked}, now); });
    seen.insert(whole);
    ASSERT_EQ(messageOf([&] { known.checkChange(changed, tracked, now); }), whole) << "step " << step;
    const EntryOrigins compared = EntryOrigins::between(archive.entries, changed.entries);
    ASSERT_EQ(messageOf([&] { known.checkChange(changed, compared, now); }), whole) << "step " << step << ", compared";
    if (whole.empty()) {
      known.adopt(changed, step % 2 ? tracked : compared);
      archive = std::move(changed);
    }
  }
  // The changes reached every rule, so the comparison above covered them all.
  for (std::string_view message : {kUnsupportedFormatMessage, kDuplicateIdentifiersMessage, kSavedViewMessage,
                                   kRunningTimersMessage, kPreferencesMessage, kEntryMessage, kBreaksMessage}) {
    EXPECT_TRUE(seen.count(std::string(message))) << message;
  }
  EXPECT_TRUE(seen.count(""));  // and valid changes
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
                          [](const std::string& m) { return m.starts_with(kJobSettingsMessagePrefix); }));
}

TEST(ValidationIndexTest, EntryOriginsAreWorkedOutToTheLastBit) {
  Archive archive = testing::RandomChanges(3).start(6);
  std::vector<Entry> after = archive.entries;
  after[2].miles = -0.0;  // equal to 0, but written "-0"
  EXPECT_EQ(after[2], archive.entries[2]);
  EXPECT_EQ(EntryOrigins::between(archive.entries, after).changed(), std::vector<std::size_t>{2});

  after.erase(after.begin() + 4);
  after.insert(after.begin() + 1, archive.entries[6]);
  const EntryOrigins origins = EntryOrigins::between(archive.entries, after);
  // The same head and tail keep their places; everything between counts as changed.
  EXPECT_EQ(origins.changed(), (std::vector<std::size_t>{1, 2, 3, 4}));
  EXPECT_EQ(origins.gone(), (std::vector<std::size_t>{1, 2, 3, 4}));
  EXPECT_EQ(origins.from(0), 0u);
  EXPECT_EQ(origins.from(5), 5u);
  EXPECT_EQ(origins.from(6), 6u);
}

TEST(ValidationIndexTest, AnIndexOfNoArchiveRefusesEveryChangeRatherThanAcceptIt) {
  // What a command that only looks is given: should it change something after all, the change
  // must fail loudly, even one that leaves no entry behind.
  const ValidationIndex none;
  for (std::size_t entries : {0u, 3u}) {
    Archive archive = testing::RandomChanges(5).start(entries);
    const EntryOrigins origins = EntryOrigins::allChanged(0, archive.entries.size());
    EXPECT_THROW(none.checkChange(archive, origins, Instant{800000000}), std::logic_error) << entries;
    ValidationIndex adopting;
    EXPECT_THROW(adopting.adopt(archive, origins), std::logic_error) << entries;
  }
}

}  // namespace
}  // namespace pellam
