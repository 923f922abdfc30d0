// The app locks when launched if the preferences say so; so does the host, but only on a data
// file it can read: a missing or damaged one must leave the way to a restore open.
#include <unistd.h>

#include "host/app_commands.h"
#include "host_fixture.h"

namespace pellam::host::testing {
namespace {

Archive withLockOnLaunch(bool on) {
  Archive archive;
  archive.preferences.lockOnLaunch = on;
  return archive;
}

TEST_F(HostFolderTest, TheHostLocksAtLaunchOnlyWhenAReadableDataFileAsksForIt) {
  const std::string dataFile = root_ + "/pellam.json";
  std::string asking = ArchiveIO::encode(withLockOnLaunch(true));
  struct Case {
    const char* label;
    std::function<void()> make;
    bool locks;
  };
  const Case cases[] = {
      {"no data file", [] {}, false},
      {"the preference off", [&] { ArchiveIO(root_).save(withLockOnLaunch(false)); }, false},
      {"the preference on", [&] { ArchiveIO(root_).save(withLockOnLaunch(true)); }, true},
      {"a damaged file that asks", [&] { writeFile(dataFile, asking.substr(0, asking.size() - 2)); }, false},
      {"a file over the limit",
       [&] {
         writeFile(dataFile, asking);
         ASSERT_EQ(::truncate(dataFile.c_str(), static_cast<off_t>(ArchiveIO::kMaximumDataFileBytes + 1)), 0);
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(dataFile);
    std::filesystem::remove_all(root_ + "/Backups");
    c.make();
    ArchiveStore store(root_, RealFileSystem::shared());
    EXPECT_EQ(locksOnLaunch(store), c.locks);
  }
}

}  // namespace
}  // namespace pellam::host::testing
