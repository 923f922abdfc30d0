// A large archive's entries are checked on two cores; the message must still be that of the
// first broken rule in order, wherever the broken records lie.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/record_fixtures.h"
#include "core/validation/validation.h"

namespace pellam {
namespace {

using testing::messageOf;

constexpr std::size_t kEntries = 30000;  // enough for the two-core check
constexpr std::size_t kEarly = 10, kLate = kEntries - 10;

Archive largeArchive() {
  Archive archive;
  archive.preferences = testing::fixedPreferences();
  archive.jobs.push_back(testing::plainJob(testing::kJobA, "Corner Café"));
  archive.entries.reserve(kEntries);
  for (std::size_t i = 0; i < kEntries; ++i) {
    const Instant start{800000000.0 + 86400.0 * static_cast<double>(i)};
    Entry entry = testing::plainEntry(Uuid::random(), testing::kJobA, start, Instant{start.seconds + 28800});
    entry.pauses.push_back(testing::pause(Uuid::random(), Instant{start.seconds + 3600}, Instant{start.seconds + 5400}));
    archive.entries.push_back(std::move(entry));
  }
  return archive;
}

void badEntry(Entry& entry) { entry.miles = -1; }
void badBreaks(Entry& entry) { entry.pauses[0].end = Instant{entry.end->seconds + 1}; }

TEST(LargeArchiveValidationTest, TheFirstBrokenRuleInOrderDecidesWhereverItLies) {
  struct Case {
    const char* label;
    std::function<void(Archive&)> change;
    std::string message;
  };
  const Case cases[] = {
      {"valid", [](Archive&) {}, ""},
      {"a bad entry late", [](Archive& a) { badEntry(a.entries[kLate]); }, std::string(kEntryMessage)},
      {"a bad entry early", [](Archive& a) { badEntry(a.entries[kEarly]); }, std::string(kEntryMessage)},
      {"bad breaks early, a bad entry late",
       [](Archive& a) {
         badBreaks(a.entries[kEarly]);
         badEntry(a.entries[kLate]);
       },
       std::string(kBreaksMessage)},
      {"a bad entry early, bad breaks late",
       [](Archive& a) {
         badEntry(a.entries[kEarly]);
         badBreaks(a.entries[kLate]);
       },
       std::string(kEntryMessage)},
      {"bad breaks last before the middle", [](Archive& a) { badBreaks(a.entries[kEntries / 2 - 1]); },
       std::string(kBreaksMessage)},
      {"a bad entry at the middle", [](Archive& a) { badEntry(a.entries[kEntries / 2]); }, std::string(kEntryMessage)},
      {"bad breaks last of all", [](Archive& a) { badBreaks(a.entries.back()); }, std::string(kBreaksMessage)},
      {"an unknown job late", [](Archive& a) { a.entries[kLate].jobID = testing::kJobB; }, std::string(kEntryMessage)},
      {"bad preferences, a bad entry late",
       [](Archive& a) {
         a.preferences.weekStartsOn = 9;
         badEntry(a.entries[kLate]);
       },
       std::string(kPreferencesMessage)},
      {"a duplicate id late, bad breaks early",
       [](Archive& a) {
         a.entries[kLate].id = a.entries[kEarly].id;
         badBreaks(a.entries[kEarly]);
       },
       std::string(kDuplicateIdentifiersMessage)},
      {"an unsupported format, bad entries everywhere",
       [](Archive& a) {
         a.format = "Other";
         badEntry(a.entries[kEarly]);
         badEntry(a.entries[kLate]);
       },
       std::string(kUnsupportedFormatMessage)},
  };
  const Archive base = largeArchive();
  for (const Case& c : cases) {
    Archive archive = base;
    c.change(archive);
    EXPECT_EQ(messageOf([&] { validate(archive); }), c.message) << c.label;
  }
}

}  // namespace
}  // namespace pellam
