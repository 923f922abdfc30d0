// The last reminder a host found due, kept in AgentAPI/reminders.json across restarts: a file
// that is missing or cannot be read is forgotten, never an obstacle.
#include <gtest/gtest.h>

#include <fstream>

#include "host/reminders.h"
#include "support/temporary_folder.h"

namespace pellam::host::testing {
namespace {

TEST(ReminderMemoryTest, ReadsTheLastReminderAndForgetsWhatItCannotRead) {
  pellam::testing::TemporaryFolder folder;
  const std::string path = folder / "reminders.json";
  RealFileSystem fs;
  EXPECT_EQ(rememberedReminder(fs, path), std::nullopt);  // none yet
  struct Case {
    const char* why;
    std::string bytes;
    std::optional<Instant> expected;
  };
  const Case cases[] = {
      {"kept", R"({"lastReminder":"2026-03-04T09:00:00Z"})",
       parseInternetDateTime("2026-03-04T09:00:00Z", FractionalSeconds::Refused)},
      {"cut short", R"({"lastReminder":"2026-03-04T09:0)", std::nullopt},
      {"not a date", R"({"lastReminder":"soon"})", std::nullopt},
      {"not text", R"({"lastReminder":12})", std::nullopt},
      {"something else", R"([1,2])", std::nullopt},
      {"far too large", std::string(100000, ' ') + "{}", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
    EXPECT_EQ(rememberedReminder(fs, path), c.expected);
  }
}

}  // namespace
}  // namespace pellam::host::testing
