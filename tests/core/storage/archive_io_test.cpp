#include "core/storage/archive_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <regex>

#include "core/data_error.h"
#include "core/json.h"
#include "support/edit_in_place.h"
#include "support/fault_injecting_file_system.h"
#include "support/record_builders.h"
#include "support/temporary_folder.h"

namespace pellam {
namespace {

using testing::FaultInjectingFileSystem;
using testing::SimulatedCrash;
using testing::TemporaryFolder;
using testing::namesIn;
using testing::pause;
using testing::plainEntry;
using testing::plainJob;
using testing::readBytes;
using testing::uuid;
using testing::writeBytes;

constexpr double kUnixNow = 1'700'000'000.75;  // 2023-11-14T22:13:20.75Z
const ArchiveIO::Clock kClock = [] { return Instant::fromUnix(kUnixNow); };


// A small valid archive; `generation` tells versions of it apart.
Archive sampleArchive(int generation) {
  Archive archive;
  archive.preferences.timeZone = "Europe/Berlin";
  Job job = plainJob(uuid("11111111-2222-3333-4444-555555555555"), "Acme");
  job.rate = Decimal::scaled(2550, -2);
  job.payAnchor = Instant::fromUnix(1'699'920'000);
  archive.jobs.push_back(job);
  Entry entry = plainEntry(uuid("AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE"), job.id, Instant::fromUnix(1'700'000'000),
                           Instant::fromUnix(1'700'000'000 + 8 * 3600));
  entry.rate = job.rate;
  entry.comment = "generation " + std::to_string(generation);
  entry.tags = {"site"};
  entry.pauses.push_back(pause(uuid("99999999-8888-7777-6666-555555555555"),
                               Instant::fromUnix(1'700'000'000 + 2 * 3600),
                               Instant::fromUnix(1'700'000'000 + 2 * 3600 + 1800)));
  archive.entries.push_back(entry);
  return archive;
}

mode_t modeOf(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777;
}

bool exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

std::vector<std::string> withExtension(const std::vector<std::string>& names, std::string_view extension) {
  std::vector<std::string> kept;
  for (const auto& name : names) {
    if (name.size() > extension.size() && name.ends_with(extension)) kept.push_back(name);
  }
  return kept;
}

// The names in the backup folder without the record of the backups' order kept beside them.
std::vector<std::string> backupNamesIn(const ArchiveIO& io) {
  std::vector<std::string> names = namesIn(io.backupsURL());
  std::erase(names, std::string(ArchiveIO::kBackupOrderFileName));
  return names;
}

class ArchiveIOTest : public ::testing::Test {
 protected:
  TemporaryFolder root;
  std::string directory = root / "nested/data";
  std::shared_ptr<FaultInjectingFileSystem> fs = std::make_shared<FaultInjectingFileSystem>();
  ArchiveIO io{directory, fs, kClock};

  void putDataFile(const std::string& bytes) {
    std::filesystem::create_directories(directory);
    writeBytes(io.dataURL(), bytes);
  }
};

TEST_F(ArchiveIOTest, LoadWithoutADataFileGivesANewArchiveAndWritesNothing) {
  Archive archive = io.load();
  EXPECT_EQ(archive.format, "PellamDesktop");
  EXPECT_EQ(archive.version, 2);
  EXPECT_TRUE(archive.jobs.empty() && archive.entries.empty() && archive.filters.empty());
  EXPECT_TRUE(namesIn(root.path()).empty());
}

TEST_F(ArchiveIOTest, SaveCreatesPrivateFoldersAndFileAndBacksUpEachEarlierFile) {
  io.save(sampleArchive(1));
  EXPECT_EQ(readBytes(io.dataURL()), ArchiveIO::encode(sampleArchive(1)));
  EXPECT_TRUE(namesIn(io.backupsURL()).empty());
  for (const std::string& folder : {root / "nested", directory, io.backupsURL()}) EXPECT_EQ(modeOf(folder), 0700u) << folder;
  EXPECT_EQ(modeOf(io.dataURL()), 0600u);

  io.save(sampleArchive(2));
  io.save(sampleArchive(3));  // in the same second as the one before
  EXPECT_EQ(io.load(), sampleArchive(3));
  std::vector<std::string> backups = backupNamesIn(io);
  ASSERT_EQ(backups.size(), 2u);
  std::vector<std::string> contents;
  for (const auto& name : backups) {
    EXPECT_TRUE(std::regex_match(name, std::regex("pellam-1700000000-[0-9A-F]{8}\\.json"))) << name;
    EXPECT_EQ(modeOf(io.backupsURL() + "/" + name), 0600u);
    contents.push_back(readBytes(io.backupsURL() + "/" + name));
  }
  std::sort(contents.begin(), contents.end());
  EXPECT_EQ(contents, (std::vector<std::string>{ArchiveIO::encode(sampleArchive(1)), ArchiveIO::encode(sampleArchive(2))}));
}

TEST_F(ArchiveIOTest, SaveNeverOverwritesADataFileThatCannotBeDecoded) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string message;  // empty: the reader's own message, whatever it says
  };
  Json version3 = parseJson(ArchiveIO::encode(sampleArchive(1)));
  version3["version"] = Json(3);
  const std::vector<Case> cases = {
      {"not JSON", "{ this is not json", ""},
      {"empty", "", ""},
      {"JSON of another shape", "[1, 2, 3]", ""},
      {"an invalid archive", writeJson(version3, {.pretty = true}), "Unsupported backup format or version."},
  };
  for (const auto& c : cases) {
    TemporaryFolder folder;
    ArchiveIO io(folder / "data", fs, kClock);
    std::filesystem::create_directories(folder / "data");
    writeBytes(io.dataURL(), c.bytes);
    std::string message = errorOf([&] { io.save(sampleArchive(2)); });
    EXPECT_NE(message, "") << c.name;
    if (!c.message.empty()) {
      EXPECT_EQ(message, c.message) << c.name;
    }
    EXPECT_EQ(readBytes(io.dataURL()), c.bytes) << c.name;
    EXPECT_TRUE(namesIn(io.backupsURL()).empty()) << c.name;
    EXPECT_EQ(namesIn(folder / "data"), (std::vector<std::string>{"Backups", "pellam.json"})) << c.name;
    EXPECT_NE(errorOf([&] { io.load(); }), "") << c.name;
  }
}

TEST_F(ArchiveIOTest, EncodeAndSaveRefuseAnInvalidArchive) {
  Archive invalid = sampleArchive(1);
  invalid.version = 3;
  EXPECT_EQ(errorOf([&] { ArchiveIO::encode(invalid); }), "Unsupported backup format or version.");
  EXPECT_EQ(errorOf([&] { io.save(invalid); }), "Unsupported backup format or version.");
  EXPECT_EQ(errorOf([&] { io.recover(invalid); }), "Unsupported backup format or version.");
  EXPECT_TRUE(namesIn(root.path()).empty());
}

TEST_F(ArchiveIOTest, RecoverRefusesAReadableDataFile) {
  io.save(sampleArchive(1));
  std::string before = readBytes(io.dataURL());
  try {
    io.recover(sampleArchive(2));
    ADD_FAILURE() << "recover replaced a readable file";
  } catch (const DataError& error) {
    EXPECT_STREQ(error.what(), "The main file is readable. Preview a normal import before replacing it.");
  }
  EXPECT_EQ(readBytes(io.dataURL()), before);
  EXPECT_FALSE(exists(io.recoveryURL()));
}

TEST_F(ArchiveIOTest, RecoverKeepsACopyOfTheDamagedFileAndReplacesIt) {
  putDataFile("{\"format\": \"PellamDesk");
  std::optional<std::string> copy = io.recover(sampleArchive(2));
  ASSERT_TRUE(copy.has_value());
  EXPECT_EQ(namesIn(io.recoveryURL()).size(), 1u);
  EXPECT_EQ(*copy, io.recoveryURL() + "/" + namesIn(io.recoveryURL()).front());
  EXPECT_TRUE(std::regex_match(*copy, std::regex(".*/Recovery/pellam-unreadable-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-"
                                                 "[0-9A-F]{4}-[0-9A-F]{12}\\.json")))
      << *copy;
  EXPECT_EQ(readBytes(*copy), "{\"format\": \"PellamDesk");
  EXPECT_EQ(modeOf(*copy), 0600u);
  EXPECT_EQ(modeOf(io.recoveryURL()), 0700u);
  EXPECT_EQ(io.load(), sampleArchive(2));
  EXPECT_EQ(modeOf(io.dataURL()), 0600u);
  EXPECT_FALSE(exists(io.backupsURL()));  // recover takes no backup
}

TEST_F(ArchiveIOTest, RecoverWithoutADataFileWritesOneAndReturnsNoCopy) {
  EXPECT_EQ(io.recover(sampleArchive(1)), std::nullopt);
  EXPECT_EQ(io.load(), sampleArchive(1));
  EXPECT_FALSE(exists(io.recoveryURL()));
}

TEST_F(ArchiveIOTest, DatesWrittenAsTextReadAndAreSavedAsNumbers) {
  Json json = parseJson(ArchiveIO::encode(sampleArchive(1)));
  json["jobs"].asArray()[0]["payAnchor"] = Json("2023-11-14T00:00:00Z");
  Json& entry = json["entries"].asArray()[0];
  entry["start"] = Json("2023-11-14T22:13:20Z");
  entry["end"] = Json("2023-11-15T06:13:20.000Z");
  entry["pauses"].asArray()[0]["start"] = Json("2023-11-15T01:13:20+01:00");
  entry["pauses"].asArray()[0]["end"] = Json("2023-11-14T19:43:20.0-05:00");
  putDataFile(writeJson(json, {.pretty = true}));

  EXPECT_EQ(io.load(), sampleArchive(1));
  io.save(sampleArchive(1));
  EXPECT_EQ(readBytes(io.dataURL()), ArchiveIO::encode(sampleArchive(1)));
}

TEST_F(ArchiveIOTest, ADateTextWithoutAZoneFailsTheRead) {
  Json json = parseJson(ArchiveIO::encode(sampleArchive(1)));
  json["entries"].asArray()[0]["start"] = Json("2023-11-14T22:13:20");
  putDataFile(writeJson(json, {.pretty = true}));
  EXPECT_EQ(errorOf([&] { io.load(); }), "Invalid backup date.");
  EXPECT_EQ(errorOf([&] { ArchiveIO::decode(readBytes(io.dataURL())); }), "Invalid backup date.");
}

TEST(BackupFileNameTest, OnlyNamesMadeLikeBackupsCount) {
  const std::vector<std::pair<std::string, std::optional<std::int64_t>>> cases = {
      {"pellam-1700000000-0A1B2C3D.json", 1'700'000'000},
      {"pellam-0-00000000.json", 0},
      {"pellam-9223372036854775807-FFFFFFFF.json", 9'223'372'036'854'775'807},
      {"pellam-9223372036854775808-FFFFFFFF.json", std::nullopt},  // past any time
      {"pellam-1700000000-0a1b2c3d.json", std::nullopt},           // ours are upper-case
      {"pellam-1700000000-0A1B2C3.json", std::nullopt},
      {"pellam-1700000000-0A1B2C3DE.json", std::nullopt},
      {"pellam--0A1B2C3D.json", std::nullopt},
      {"pellam-+1-0A1B2C3D.json", std::nullopt},
      {"pellam-1e9-0A1B2C3D.json", std::nullopt},
      {"pellam-1700000000-0A1B2C3D.json.tmp", std::nullopt},
      {".pellam-1700000000-0A1B2C3D.json", std::nullopt},
      {"pellam-unreadable-0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3.json", std::nullopt},
      {"my-notes.json", std::nullopt},
      {"notes.txt", std::nullopt},
      {"old.JSON", std::nullopt},
      {".json", std::nullopt},
      {".hidden.json", std::nullopt},
      {"a..json", std::nullopt},
  };
  for (const auto& [name, seconds] : cases) {
    EXPECT_EQ(backupFileSeconds(name), seconds) << name;
    EXPECT_EQ(isBackupFileName(name), seconds.has_value()) << name;
  }
}

// Backups named in one order and dated in the opposite one, so that sorting by name would
// remove the wrong files.
struct PruneCase {
  std::size_t existing;
  bool creationTimes;  // false: the file system reports none and modification times decide
};

class PruneTest : public ArchiveIOTest, public ::testing::WithParamInterface<PruneCase> {};

TEST_P(PruneTest, KeepsTheThirtyNewestByDateAndNeverTouchesOtherFiles) {
  const PruneCase& c = GetParam();
  io.save(sampleArchive(1));
  std::vector<std::string> byAge;  // oldest first
  for (std::size_t i = 0; i < c.existing; ++i) {
    std::string name = "pellam-" + std::to_string(1'600'000'000 - i) + "-0000" + std::to_string(1000 + i) + ".json";
    std::string path = io.backupsURL() + "/" + name;
    writeBytes(path, "backup " + name);
    auto seconds = static_cast<std::int64_t>(1'600'000'000 + c.existing - i);  // later names are older
    if (c.creationTimes) {
      fs->setCreationTime(path, FileTime(std::chrono::seconds(seconds)));
    } else {
      timespec times[2] = {{seconds, 0}, {seconds, 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    byAge.insert(byAge.begin(), name);
  }
  if (!c.creationTimes) fs->reportNoCreationTimes();
  const std::vector<std::string> others = {"notes.txt", ".json", "old.JSON", "pellam.json.tmp"};
  for (const auto& name : others) writeBytes(io.backupsURL() + "/" + name, name);

  io.save(sampleArchive(2));

  std::vector<std::string> remaining = namesIn(io.backupsURL());
  std::size_t removed = c.existing + 1 > 30 ? c.existing + 1 - 30 : 0;
  std::vector<std::string> expected(byAge.begin() + static_cast<std::ptrdiff_t>(removed), byAge.end());
  expected.insert(expected.end(), others.begin(), others.end());
  std::vector<std::string> fresh;  // the backup this save made
  for (const auto& name : remaining) {
    if (name.starts_with("pellam-1700000000-")) fresh.push_back(name);
  }
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_EQ(readBytes(io.backupsURL() + "/" + fresh[0]), ArchiveIO::encode(sampleArchive(1)));
  expected.push_back(fresh[0]);
  expected.emplace_back(ArchiveIO::kBackupOrderFileName);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(remaining, expected);
}

INSTANTIATE_TEST_SUITE_P(Backups, PruneTest,
                         ::testing::Values(PruneCase{28, true}, PruneCase{29, true}, PruneCase{30, true},
                                           PruneCase{31, true}, PruneCase{45, true}, PruneCase{30, false},
                                           PruneCase{31, false}, PruneCase{45, false}),
                         [](const ::testing::TestParamInfo<PruneCase>& info) {
                           return std::to_string(info.param.existing) +
                                  (info.param.creationTimes ? "WithCreationTimes" : "WithModificationTimesOnly");
                         });

// After the clock was set back, every earlier backup looks newer than the one just made;
// that one still holds the only copy of the file this save replaced.
TEST_F(ArchiveIOTest, TheBackupJustMadeIsKeptWhenEarlierOnesLookNewer) {
  io.save(sampleArchive(1));
  std::vector<std::string> byAge;  // oldest first
  for (int i = 0; i < 30; ++i) {
    std::string path = io.backupsURL() + "/pellam-" + std::to_string(4'000'000'000 + i) + "-00000000.json";
    writeBytes(path, "from the future");
    fs->setCreationTime(path, FileTime(std::chrono::seconds(4'000'000'000 + i)));
    byAge.push_back(path);
  }
  io.save(sampleArchive(2));
  EXPECT_FALSE(exists(byAge[0]));
  std::vector<std::string> remaining = backupNamesIn(io);
  EXPECT_EQ(remaining.size(), 30u);
  bool kept = false;
  for (const auto& name : remaining) kept = kept || readBytes(io.backupsURL() + "/" + name) == ArchiveIO::encode(sampleArchive(1));
  EXPECT_TRUE(kept);
}

TEST_F(ArchiveIOTest, ABackupThatCannotBeRemovedDoesNotFailTheSave) {
  io.save(sampleArchive(1));
  std::vector<std::string> byAge;  // oldest first
  for (int i = 0; i < 31; ++i) {
    std::string path = io.backupsURL() + "/pellam-" + std::to_string(1'600'000'000 + i) + "-00000000.json";
    writeBytes(path, "old");
    fs->setCreationTime(path, FileTime(std::chrono::seconds(1'600'000'000 + i)));
    byAge.push_back(path);
  }
  fs->failEvery("remove", byAge[0]);
  io.save(sampleArchive(2));
  EXPECT_TRUE(exists(byAge[0]));
  EXPECT_FALSE(exists(byAge[1]));
  EXPECT_TRUE(exists(byAge[2]));
  EXPECT_EQ(backupNamesIn(io).size(), 31u);
  EXPECT_EQ(io.load(), sampleArchive(2));
}

// The one listing both pruning and the host's list of backups read: every entry named like
// a backup, newest first, equal dates by the seconds in the name, an entry whose date cannot
// be read last.
TEST_F(ArchiveIOTest, BackupsAreListedNewestFirstWithUndatedEntriesLast) {
  const std::string folder = io.backupsURL();
  std::filesystem::create_directories(folder + "/pellam-200-00000002.json");
  for (const char* name : {"pellam-100-0000000A.json", "pellam-101-0000000B.json", "pellam-300-00000003.json",
                           "pellam-50-00000005.json", "notes.txt", "mine.json", ".hidden.json"}) {
    writeBytes(folder + "/" + name, name);
  }
  const std::pair<const char*, int> created[] = {{"pellam-100-0000000A.json", 100},
                                                 {"pellam-101-0000000B.json", 100},
                                                 {"pellam-300-00000003.json", 300},
                                                 {"pellam-200-00000002.json", 200},
                                                 {"mine.json", 900}};
  for (const auto& [name, seconds] : created) {
    fs->setCreationTime(folder + "/" + name, FileTime(std::chrono::seconds(seconds)));
  }
  fs->failEvery("status", folder + "/pellam-50-00000005.json", EIO);

  std::vector<BackupFile> backups = io.backups();
  std::vector<std::string> names;
  for (const BackupFile& backup : backups) names.push_back(backup.name);
  EXPECT_EQ(names, (std::vector<std::string>{"pellam-300-00000003.json", "pellam-200-00000002.json",
                                             "pellam-101-0000000B.json", "pellam-100-0000000A.json",
                                             "pellam-50-00000005.json"}));
  ASSERT_EQ(backups.size(), 5u);
  EXPECT_EQ(backups[0].path, folder + "/pellam-300-00000003.json");
  EXPECT_TRUE(backups[1].status && backups[1].status->isDirectory);
  EXPECT_EQ(backups[3].created, FileTime(std::chrono::seconds(100)));
  EXPECT_EQ(backups[3].nameSeconds, 100);
  EXPECT_FALSE(backups[4].status || backups[4].created);
}

TEST_F(ArchiveIOTest, AFolderThatCannotBeListedFailsTheSaveAfterTheDataFileIsWritten) {
  io.save(sampleArchive(1));
  fs->failEvery("listDirectory", io.backupsURL());
  EXPECT_NE(errorOf([&] { io.save(sampleArchive(2)); }), "");
  EXPECT_EQ(io.load(), sampleArchive(2));
}

std::size_t readsOf(const FaultInjectingFileSystem& fs, const std::string& path) {
  std::size_t reads = 0;
  for (const auto& operation : fs.log()) reads += operation.name == "readFile" && operation.path == path;
  return reads;
}

TEST_F(ArchiveIOTest, AKnownDataFileIsBackedUpWithoutBeingReadAgain) {
  io.save(sampleArchive(1));
  FileStatus known = fs->status(io.dataURL());
  io.save(sampleArchive(2), known);
  EXPECT_EQ(readsOf(*fs, io.dataURL()), 0u);
  std::vector<std::string> backups = backupNamesIn(io);
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(readBytes(io.backupsURL() + "/" + backups[0]), ArchiveIO::encode(sampleArchive(1)));
  EXPECT_EQ(modeOf(io.backupsURL() + "/" + backups[0]), 0600u);
  EXPECT_EQ(io.load(), sampleArchive(2));
}

// Taking the backup tightens its permissions, and with them the data file's (one file, two
// names): that is the save's own doing, not an edit by another program.
TEST_F(ArchiveIOTest, AKnownDataFileWithWiderPermissionsIsStillSavedOver) {
  io.save(sampleArchive(1));
  std::filesystem::permissions(io.dataURL(), std::filesystem::perms(0644));
  FileStatus known = fs->status(io.dataURL());
  io.save(sampleArchive(2), known);
  EXPECT_EQ(io.load(), sampleArchive(2));
  std::vector<std::string> backups = backupNamesIn(io);
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(modeOf(io.backupsURL() + "/" + backups[0]), 0600u);
}

TEST_F(ArchiveIOTest, ADataFileThatIsNotTheKnownOneIsStillCheckedAndNeverOverwritten) {
  io.save(sampleArchive(1));
  FileStatus known = fs->status(io.dataURL());
  // Another writer replaced the file since: a different size, so not the known file.
  putDataFile("{ damaged");
  EXPECT_NE(errorOf([&] { io.save(sampleArchive(2), known); }), "");
  EXPECT_EQ(readBytes(io.dataURL()), "{ damaged");
  EXPECT_TRUE(namesIn(io.backupsURL()).empty());
}

// Whenever another program edits the data file (in place, keeping its size and times, or
// by creating it where there was none), up to the moment the new file would take its name,
// a save for the known file replaces nothing and says so.
TEST_F(ArchiveIOTest, ASaveForAKnownFileNeverReplacesAnEditMadeMeanwhile) {
  struct Case {
    const char* label;
    bool startAbsent;
    std::function<bool(const FaultInjectingFileSystem::Operation&)> editAt;  // none: before the save
  };
  const std::string data = io.dataURL();
  const Case cases[] = {
      {"edited in place before the save", false, nullptr},
      {"created where there was none", true, nullptr},
      {"edited in place while the new file was written", false,
       [](const auto& op) { return op.name == "syncFile" && op.path.find("/.pellam.json.") != std::string::npos; }},
      {"grown while the backup was taken", false, [data](const auto& op) { return op.name == "link" && op.path == data; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    if (!c.startAbsent) io.save(sampleArchive(1));
    FileStatus known = fs->status(data);
    std::string edited;
    auto edit = [&] {
      if (!edited.empty()) return;
      if (c.startAbsent) {
        putDataFile(ArchiveIO::encode(sampleArchive(3)));
      } else if (std::string(c.label).starts_with("grown")) {
        writeBytes(data, ArchiveIO::encode(sampleArchive(3)) + "\n");
      } else {
        testing::editInPlace(data, "generation 1", "generation 3");
      }
      edited = readBytes(data);
    };
    if (c.editAt) {
      fs->failWhen([&](const FaultInjectingFileSystem::Operation& op) {
        if (c.editAt(op)) edit();
        return false;
      });
    } else {
      edit();
    }
    EXPECT_THROW(io.save(sampleArchive(2), known), DataFileChangedError);
    ASSERT_FALSE(edited.empty());
    EXPECT_EQ(readBytes(data), edited);
    EXPECT_EQ(withExtension(namesIn(directory), ".tmp"), std::vector<std::string>{});
    fs = std::make_shared<FaultInjectingFileSystem>();
    io = ArchiveIO(directory, fs, kClock);
  }
}

TEST_F(ArchiveIOTest, AFileSystemWithoutHardLinksGetsACopiedBackup) {
  io.save(sampleArchive(1));
  fs->failEvery("link", io.dataURL(), EPERM);
  io.save(sampleArchive(2), fs->status(io.dataURL()));
  std::vector<std::string> backups = withExtension(namesIn(io.backupsURL()), ".json");
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(readBytes(io.backupsURL() + "/" + backups[0]), ArchiveIO::encode(sampleArchive(1)));
  EXPECT_EQ(io.load(), sampleArchive(2));
}

// Fault injection: a failure, a crash or a power cut at every single operation of save
// and recover in turn. Whatever happens, the data file is the old or the new complete
// file, and when it is the new one a copy of the old one is in Backups (save) or Recovery
// (recover).
struct FaultScenario {
  const char* name;
  bool recover;
  std::optional<std::string> (*oldBytes)();
  std::size_t backups;  // present before the call
};

std::optional<std::string> noFile() { return std::nullopt; }
std::optional<std::string> readableFile() { return ArchiveIO::encode(sampleArchive(1)); }
std::optional<std::string> damagedFile() { return std::string("{\"format\": \"Pellam"); }

const FaultScenario kFaultScenarios[] = {
    {"save into an empty folder", false, noFile, 0},
    {"save over a readable file", false, readableFile, 0},
    {"save with thirty backups to prune", false, readableFile, 30},
    {"recover over a damaged file", true, damagedFile, 0},
    {"recover without a data file", true, noFile, 0},
};

enum class Fault { Failure, Crash, PowerCut };

class FaultTest : public ::testing::TestWithParam<Fault> {};

void prepare(const FaultScenario& scenario, const ArchiveIO& io) {
  std::filesystem::create_directories(io.backupsURL());
  if (auto old = scenario.oldBytes()) writeBytes(io.dataURL(), *old);
  for (std::size_t i = 0; i < scenario.backups; ++i) {
    writeBytes(io.backupsURL() + "/pellam-" + std::to_string(1'600'000'000 + i) + "-00000000.json", "old backup");
  }
}

void expectSurvivors(const FaultScenario& scenario, const ArchiveIO& io, bool finished, const std::string& where) {
  std::optional<std::string> old = scenario.oldBytes();
  std::string fresh = ArchiveIO::encode(sampleArchive(2));
  std::optional<std::string> now;
  if (exists(io.dataURL())) now = readBytes(io.dataURL());
  if (finished) {
    EXPECT_EQ(now, fresh) << where;
  } else {
    EXPECT_TRUE(now == old || now == fresh) << where << ": data file holds " << now.value_or("(nothing)");
  }
  if (old && now == fresh) {
    std::string keeper = scenario.recover ? io.recoveryURL() : io.backupsURL();
    bool kept = false;
    for (const auto& name : namesIn(keeper)) kept = kept || readBytes(keeper + "/" + name) == *old;
    EXPECT_TRUE(kept) << where << ": the old data file was replaced without a copy";
  }
  if (now == fresh) {
    EXPECT_EQ(modeOf(io.dataURL()), 0600u) << where;
  }
}

TEST_P(FaultTest, EveryStepOfSaveAndRecover) {
  const Fault fault = GetParam();
  for (const FaultScenario& scenario : kFaultScenarios) {
    std::size_t steps = 0;
    for (std::size_t n = 1;; ++n) {
      TemporaryFolder root;
      auto fs = std::make_shared<FaultInjectingFileSystem>();
      ArchiveIO io(root / "data", fs, kClock);
      prepare(scenario, io);
      if (fault == Fault::Failure) {
        fs->failAt(n);
      } else {
        fs->crashAt(n);
      }
      bool finished = false;
      try {
        if (scenario.recover) {
          io.recover(sampleArchive(2));
        } else {
          io.save(sampleArchive(2));
        }
        finished = !fs->crashed();
      } catch (const SimulatedCrash&) {
      } catch (const FileSystemError&) {
      }
      bool faultFired = fs->operationCount() >= n;
      std::string where = std::string(scenario.name) + ", fault at operation " + std::to_string(n) + " (" +
                          (faultFired ? fs->log()[n - 1].name + " " + fs->log()[n - 1].path : "none") + ")";
      if (fault == Fault::PowerCut) fs->loseUnsyncedChanges();
      expectSurvivors(scenario, io, finished, where);
      if (fault == Fault::Failure) {
        // A failed step cleans up after itself.
        for (const std::string& folder : {io.directory(), io.backupsURL(), io.recoveryURL()}) {
          EXPECT_TRUE(withExtension(namesIn(folder), ".tmp").empty()) << where;
        }
      }
      if (!faultFired) break;
      steps = n;
    }
    EXPECT_GT(steps, 0u) << scenario.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTest, ::testing::Values(Fault::Failure, Fault::Crash, Fault::PowerCut),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                           switch (info.param) {
                             case Fault::Failure: return "Failure";
                             case Fault::Crash: return "Crash";
                             case Fault::PowerCut: return "PowerCut";
                           }
                           return "";
                         });

// Backups of earlier, different states, dated long ago: `count` of them, oldest first.
std::vector<std::string> putOldBackups(const ArchiveIO& io, FaultInjectingFileSystem& fs, int count) {
  std::filesystem::create_directories(io.backupsURL());
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    std::string name = "pellam-" + std::to_string(1'600'000'000 + i) + "-0000000" + "0123456789ABCDEF"[i % 16] + ".json";
    writeBytes(io.backupsURL() + "/" + name, "state " + std::to_string(i));
    fs.setCreationTime(io.backupsURL() + "/" + name, FileTime(std::chrono::seconds(1'600'000'000 + i)));
    names.push_back(name);
  }
  return names;
}

std::vector<std::string> backupContents(const ArchiveIO& io) {
  std::vector<std::string> contents;
  for (const std::string& name : backupNamesIn(io)) contents.push_back(readBytes(io.backupsURL() + "/" + name));
  std::sort(contents.begin(), contents.end());
  return contents;
}

bool writesTheDataFile(const ArchiveIO& io, const FaultInjectingFileSystem::Operation& operation) {
  return operation.name == "writeNewFile" && operation.path.starts_with(io.directory() + "/.pellam.json.");
}

// A disk that is full whenever the new data file is written, or a host killed right then,
// again and again: each attempt has taken its backup of the same data file. The 30 kept
// after the next good save must still be 30 different states.
TEST(FailedSaveTest, RepeatedFailuresAfterTheBackupCostNoRestorePoint) {
  for (bool crash : {false, true}) {
    SCOPED_TRACE(crash ? "killed" : "disk full");
    TemporaryFolder root;
    auto setup = std::make_shared<FaultInjectingFileSystem>();
    ArchiveIO first(root / "data", setup, kClock);
    first.save(sampleArchive(1));
    std::vector<std::string> old = putOldBackups(first, *setup, 30);

    for (int attempt = 0; attempt < 40; ++attempt) {
      auto fs = std::make_shared<FaultInjectingFileSystem>();
      ArchiveIO io(root / "data", fs, kClock);
      auto isDataWrite = [&](const FaultInjectingFileSystem::Operation& op) { return writesTheDataFile(io, op); };
      if (crash) {
        fs->crashWhen(isDataWrite);
        EXPECT_THROW(io.save(sampleArchive(2)), SimulatedCrash);
      } else {
        fs->failWhen(isDataWrite, ENOSPC);
        EXPECT_THROW(io.save(sampleArchive(2)), FileSystemError);
      }
      ASSERT_EQ(ArchiveIO(root / "data").load(), sampleArchive(1));
    }

    auto fs = std::make_shared<FaultInjectingFileSystem>();
    for (std::size_t i = 0; i < old.size(); ++i) {
      fs->setCreationTime(first.backupsURL() + "/" + old[i], FileTime(std::chrono::seconds(1'600'000'000 + i)));
    }
    ArchiveIO io(root / "data", fs, kClock);
    io.save(sampleArchive(3));
    EXPECT_EQ(io.load(), sampleArchive(3));
    std::vector<std::string> expected;
    for (int i = 1; i < 30; ++i) expected.push_back("state " + std::to_string(i));  // the oldest went
    expected.push_back(ArchiveIO::encode(sampleArchive(1)));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(backupContents(io), expected);
  }
}

// Which backups stay when their dates cannot tell them apart or lie.
TEST(BackupOrderTest, SavesWithinOneTickOfACoarseClockKeepTheNewest) {
  TemporaryFolder root;
  auto fs = std::make_shared<FaultInjectingFileSystem>();
  fs->reportEveryTimeAs(FileTime(std::chrono::seconds(1'700'000'000)));
  ArchiveIO io(root / "data", fs, kClock);  // every backup named in the same second
  for (int generation = 0; generation <= 40; ++generation) io.save(sampleArchive(generation));
  std::vector<std::string> expected;
  for (int generation = 10; generation < 40; ++generation) expected.push_back(ArchiveIO::encode(sampleArchive(generation)));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(backupContents(io), expected);

  // A later run knows that order too: its own backups and the earlier run's outrank one
  // named a second later that no run made.
  const std::string folder = io.backupsURL();
  writeBytes(folder + "/pellam-1700000001-FFFFFFFF.json", "named a second later");
  ArchiveIO next(root / "data", fs, [] { return Instant::fromUnix(1'699'999'000); });
  next.save(sampleArchive(41));
  EXPECT_FALSE(exists(folder + "/pellam-1700000001-FFFFFFFF.json"));
  expected.erase(expected.begin(), expected.end());
  for (int generation = 11; generation <= 40; ++generation) expected.push_back(ArchiveIO::encode(sampleArchive(generation)));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(backupContents(next), expected);
}

TEST(BackupOrderTest, BackupsOfThisRunOutliveOlderOnesDatedInTheFuture) {
  TemporaryFolder root;
  auto fs = std::make_shared<FaultInjectingFileSystem>();
  ArchiveIO io(root / "data", fs, kClock);
  io.save(sampleArchive(0));
  // Made while the clock was a year ahead, then set right.
  for (int i = 0; i < 30; ++i) {
    std::string path = io.backupsURL() + "/pellam-" + std::to_string(2'100'000'000 + i) + "-0000000" +
                       "0123456789ABCDEF"[i % 16] + ".json";
    writeBytes(path, "future " + std::to_string(i));
    fs->setCreationTime(path, FileTime(std::chrono::seconds(2'100'000'000 + i)));
  }
  for (int generation = 1; generation <= 5; ++generation) io.save(sampleArchive(generation));
  std::vector<std::string> contents = backupContents(io);
  EXPECT_EQ(contents.size(), 30u);
  for (int generation = 0; generation < 5; ++generation) {
    EXPECT_TRUE(std::count(contents.begin(), contents.end(), ArchiveIO::encode(sampleArchive(generation))) == 1)
        << "generation " << generation;
  }
  EXPECT_FALSE(exists(io.backupsURL() + "/pellam-2100000004-00000004.json"));  // the oldest future ones went
  EXPECT_TRUE(exists(io.backupsURL() + "/pellam-2100000005-00000005.json"));
}

// The contents of the listed backups, newest first.
std::vector<std::string> listedContents(const ArchiveIO& io) {
  std::vector<std::string> contents;
  for (const BackupFile& backup : io.backups()) contents.push_back(readBytes(backup.path));
  return contents;
}

// After a restart, on a file system that records no birth times, backups copied in from a
// machine whose clock ran a year ahead must not push out the ones the previous run made.
TEST(BackupOrderTest, BackupsOfAnEarlierRunOutliveOthersDatedAYearAhead) {
  TemporaryFolder root;
  const std::string directory = root / "data";
  {
    auto fs = std::make_shared<FaultInjectingFileSystem>();
    fs->reportNoCreationTimes();
    ArchiveIO previous(directory, fs, kClock);
    for (int generation = 0; generation <= 5; ++generation) previous.save(sampleArchive(generation));
  }
  ArchiveIO plain(directory);
  const auto yearAhead = std::filesystem::file_time_type::clock::now() + std::chrono::hours(24 * 366);
  for (int i = 0; i < 30; ++i) {
    std::string path = plain.backupsURL() + "/pellam-" + std::to_string(1'731'000'000 + i) + "-0000000" +
                       "0123456789ABCDEF"[i % 16] + ".json";
    writeBytes(path, "future " + std::to_string(i));
    std::filesystem::last_write_time(path, yearAhead + std::chrono::seconds(i));
  }

  auto fs = std::make_shared<FaultInjectingFileSystem>();
  fs->reportNoCreationTimes();
  ArchiveIO restarted(directory, fs, kClock);
  restarted.save(sampleArchive(6));
  // The backups made, the last made first, then the 24 newest of the others by date.
  std::vector<std::string> expected;
  for (int generation = 5; generation >= 0; --generation) expected.push_back(ArchiveIO::encode(sampleArchive(generation)));
  for (int i = 29; i >= 6; --i) expected.push_back("future " + std::to_string(i));
  EXPECT_EQ(listedContents(restarted), expected);
  EXPECT_EQ(backupNamesIn(restarted).size(), 30u);
}

// With the clock before 1970 a name's seconds would be negative, and a backup so named is
// never listed nor pruned: they are clamped at 0, and the record of the order made keeps the
// backups in order, across a restart too, where no date can tell them apart. The broken
// clock is told once per run.
TEST(BackupOrderTest, AClockBefore1970NamesBackupsAtZeroAndTheyStayInOrder) {
  TemporaryFolder root;
  const std::string directory = root / "data";
  const ArchiveIO::Clock before1970 = [] { return Instant::fromUnix(-3598.5); };
  auto fs = std::make_shared<FaultInjectingFileSystem>();
  fs->reportEveryTimeAs(FileTime(std::chrono::seconds(0)));
  std::vector<std::string> notices;
  auto note = [&](const std::string& text) { notices.push_back(text); };
  {
    ArchiveIO first(directory, fs, before1970);
    first.setNotices(note);
    for (int generation = 0; generation <= 20; ++generation) first.save(sampleArchive(generation));
  }
  ArchiveIO next(directory, fs, before1970);
  next.setNotices(note);
  for (int generation = 21; generation <= 40; ++generation) next.save(sampleArchive(generation));

  std::vector<BackupFile> listed = next.backups();
  ASSERT_EQ(listed.size(), 30u);
  for (std::size_t i = 0; i < listed.size(); ++i) {
    EXPECT_TRUE(std::regex_match(listed[i].name, std::regex("pellam-0-[0-9A-F]{8}\\.json"))) << listed[i].name;
    EXPECT_EQ(readBytes(listed[i].path), ArchiveIO::encode(sampleArchive(39 - static_cast<int>(i)))) << i;
  }
  EXPECT_EQ(backupNamesIn(next).size(), 30u);
  const std::string notice = "The clock is set before 1970; backups are named with the time 0 until it is set right.";
  EXPECT_EQ(notices, (std::vector<std::string>{notice, notice}));
}

// What the record holds is only a hint: lines that are not backups' names are passed over
// (never taken as paths), and a file too large to be a record is not read.
TEST(BackupOrderTest, ARecordThatIsDamagedOrStaleOrdersNothingWrongly) {
  TemporaryFolder root;
  const std::string directory = root / "data";
  struct Case {
    const char* label;
    std::function<std::string(const std::string& newest)> record;
  };
  const Case cases[] = {
      {"garbage around a name", [&](const std::string& newest) { return "../pellam.json\n\n" + newest + "\nnot a name"; }},
      {"too large", [&](const std::string& newest) { return newest + "\n" + std::string(70 * 1024, 'x'); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(directory);
    auto fs = std::make_shared<FaultInjectingFileSystem>();
    fs->reportEveryTimeAs(FileTime(std::chrono::seconds(1'700'000'000)));
    {
      ArchiveIO io(directory, fs, kClock);
      for (int generation = 0; generation <= 2; ++generation) io.save(sampleArchive(generation));
    }
    ArchiveIO plain(directory);
    std::string newest = plain.backups().front().name;  // no record read: by name alone
    writeBytes(plain.backupOrderURL(), c.record(newest));
    ArchiveIO next(directory, fs, kClock);
    std::vector<BackupFile> listed = next.backups();
    ASSERT_EQ(listed.size(), 2u);
    if (std::string(c.label) != "too large") {
      EXPECT_EQ(listed[0].name, newest);
    }
    next.save(sampleArchive(3));
    listed = next.backups();
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(readBytes(listed[0].path), ArchiveIO::encode(sampleArchive(2)));
  }
}

// The record is a help to pruning, not part of the data: where it cannot be written, changes
// are saved all the same and the log is told once.
TEST(BackupOrderTest, ARecordThatCannotBeWrittenCostsNoChange) {
  TemporaryFolder root;
  auto fs = std::make_shared<FaultInjectingFileSystem>();
  ArchiveIO io(root / "data", fs, kClock);
  std::vector<std::string> notices;
  io.setNotices([&](const std::string& text) { notices.push_back(text); });
  std::filesystem::create_directories(io.backupOrderURL() + "/inside");
  for (int generation = 0; generation <= 3; ++generation) io.save(sampleArchive(generation));
  EXPECT_EQ(io.load(), sampleArchive(3));
  EXPECT_EQ(backupContents(io), (std::vector<std::string>{ArchiveIO::encode(sampleArchive(0)),
                                                          ArchiveIO::encode(sampleArchive(1)),
                                                          ArchiveIO::encode(sampleArchive(2))}));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_TRUE(notices[0].starts_with("The order of the backups could not be recorded: ")) << notices[0];
  EXPECT_TRUE(exists(io.backupOrderURL() + "/inside"));
}

// A kill in the middle of a write leaves its temporary file; removeLeftoverTemporaries takes
// exactly those that this storage makes and leaves everything else.
TEST(LeftoverTest, TemporariesOfKilledWritesAreRemovedAndNothingElse) {
  TemporaryFolder root;
  const std::string directory = root / "data";
  struct Kill {
    const char* label;
    std::function<void(ArchiveIO&, FaultInjectingFileSystem&)> run;
  };
  const Kill kills[] = {
      {"writing the data file",
       [](ArchiveIO& io, FaultInjectingFileSystem& fs) {
         fs.crashWhen([&](const auto& op) { return writesTheDataFile(io, op); });
         io.save(sampleArchive(2));
       }},
      {"copying a backup",
       [](ArchiveIO& io, FaultInjectingFileSystem& fs) {
         fs.failEvery("link", io.dataURL(), EPERM);
         fs.crashWhen([&](const auto& op) { return op.name == "writeNewFile" && op.path.starts_with(io.backupsURL()); });
         io.save(sampleArchive(2));
       }},
      {"keeping an unreadable file",
       [](ArchiveIO& io, FaultInjectingFileSystem& fs) {
         writeBytes(io.dataURL() + ".damaged", "{");
         std::filesystem::rename(io.dataURL() + ".damaged", io.dataURL());
         fs.crashWhen(
             [&](const auto& op) { return op.name == "writeNewFile" && op.path.starts_with(io.recoveryURL()); });
         io.recover(sampleArchive(2));
       }},
  };
  for (const Kill& kill : kills) {
    SCOPED_TRACE(kill.label);
    auto fs = std::make_shared<FaultInjectingFileSystem>();
    ArchiveIO io(directory, fs, kClock);
    io.save(sampleArchive(1));
    EXPECT_THROW(kill.run(io, *fs), SimulatedCrash);
  }
  ArchiveIO io(directory);
  std::size_t leftovers = 0;
  for (const std::string& folder : {io.directory(), io.backupsURL(), io.recoveryURL()}) {
    leftovers += withExtension(namesIn(folder), ".tmp").size();
  }
  ASSERT_EQ(leftovers, 3u);

  const std::string uuid = "0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3";
  const std::vector<std::string> others = {
      directory + "/pellam.json.tmp",
      directory + "/.pellam.json.notes.tmp",
      directory + "/.pellam.json.0a1b2c3d-4e5f-4a6b-8c7d-8e9fa0b1c2d3.tmp",  // not ours: ours are upper-case
      directory + "/.other.json." + uuid + ".tmp",
      io.backupsURL() + "/.mine.json." + uuid + ".tmp",
      io.recoveryURL() + "/.pellam.json." + uuid + ".tmp",
  };
  for (const std::string& path : others) writeBytes(path, "keep");
  std::filesystem::create_directory(directory + "/.pellam.json." + uuid + ".tmp");  // a folder is not ours either

  io.removeLeftoverTemporaries();
  std::vector<std::string> remaining;
  for (const std::string& folder : {io.directory(), io.backupsURL(), io.recoveryURL()}) {
    for (const std::string& name : withExtension(namesIn(folder), ".tmp")) remaining.push_back(folder + "/" + name);
  }
  std::vector<std::string> expected = others;
  expected.push_back(directory + "/.pellam.json." + uuid + ".tmp");
  std::sort(expected.begin(), expected.end());
  std::sort(remaining.begin(), remaining.end());
  EXPECT_EQ(remaining, expected);
}

// Whatever is in the data file's place, recover keeps it without following it, or says what
// to move; a file too large is neither read nor written over by load or save.
TEST_F(ArchiveIOTest, RecoverKeepsWhatIsNotAReadableFileWithoutFollowingIt) {
  const std::string elsewhere = root / "elsewhere.json";
  writeBytes(elsewhere, ArchiveIO::encode(sampleArchive(1)));
  struct Case {
    const char* label;
    std::function<void(const std::string& path)> make;
    bool kept;  // false: refused
  };
  const Case cases[] = {
      {"a symbolic link", [&](const std::string& path) { std::filesystem::create_symlink(elsewhere, path); }, true},
      {"a FIFO", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }, true},
      {"a file over the limit",
       [](const std::string& path) {
         writeBytes(path, "");
         ASSERT_EQ(::truncate(path.c_str(), ArchiveIO::kMaximumDataFileBytes + 1), 0);
       },
       true},
      {"a folder", [](const std::string& path) { std::filesystem::create_directories(path + "/inside"); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    c.make(io.dataURL());
    const FileStatus before = fs->status(io.dataURL());
    std::size_t readsBefore = readsOf(*fs, io.dataURL());
    if (!c.kept) {
      EXPECT_EQ(errorOf([&] { io.recover(sampleArchive(2)); }),
                "pellam.json is a folder, not a file. Move the folder " + io.dataURL() +
                    " out of the data folder, then try again.");
      EXPECT_TRUE(exists(io.dataURL() + "/inside"));
      continue;
    }
    std::optional<std::string> copy = io.recover(sampleArchive(2));
    EXPECT_EQ(readsOf(*fs, io.dataURL()), readsBefore);
    ASSERT_TRUE(copy);
    EXPECT_TRUE(fs->status(*copy).isSameFile(before));  // the very thing that was there
    EXPECT_EQ(io.load(), sampleArchive(2));
  }
  EXPECT_EQ(readBytes(elsewhere), ArchiveIO::encode(sampleArchive(1)));  // the link's target untouched
}

TEST_F(ArchiveIOTest, ADataFileOverTheLimitIsNeitherReadNorReplaced) {
  putDataFile("");
  const std::uint64_t size = ArchiveIO::kMaximumDataFileBytes + 1;
  ASSERT_EQ(::truncate(io.dataURL().c_str(), static_cast<off_t>(size)), 0);
  const std::string message = "The data file holds 536870913 bytes, more than the 536870912 bytes (512 MiB) Vantry reads.";
  EXPECT_EQ(errorOf([&] { io.load(); }), message);
  EXPECT_EQ(errorOf([&] { io.save(sampleArchive(1)); }), message);
  EXPECT_EQ(readsOf(*fs, io.dataURL()), 0u);
  EXPECT_EQ(std::filesystem::file_size(io.dataURL()), size);
  EXPECT_TRUE(namesIn(io.backupsURL()).empty());
}

}  // namespace
}  // namespace pellam
