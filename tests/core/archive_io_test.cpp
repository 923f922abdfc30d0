#include "core/archive_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <regex>

#include "core/data_error.h"
#include "core/json.h"
#include "support/fault_injecting_file_system.h"
#include "support/temporary_folder.h"

namespace pellam {
namespace {

using testing::FaultInjectingFileSystem;
using testing::SimulatedCrash;
using testing::TemporaryFolder;
using testing::namesIn;
using testing::readBytes;
using testing::writeBytes;

constexpr double kUnixNow = 1'700'000'000.75;  // 2023-11-14T22:13:20.75Z
const ArchiveIO::Clock kClock = [] { return Instant::fromUnix(kUnixNow); };

Uuid uuid(const char* text) { return *Uuid::parse(text); }

// A small valid archive; `generation` tells versions of it apart.
Archive sampleArchive(int generation) {
  Archive archive;
  archive.preferences.timeZone = "Europe/Berlin";
  Job job;
  job.id = uuid("11111111-2222-3333-4444-555555555555");
  job.name = "Acme";
  job.rate = Decimal::scaled(2550, -2);
  job.payAnchor = Instant::fromUnix(1'699'920'000);
  archive.jobs.push_back(job);
  Entry entry;
  entry.id = uuid("AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE");
  entry.jobID = job.id;
  entry.start = Instant::fromUnix(1'700'000'000);
  entry.end = Instant::fromUnix(1'700'000'000 + 8 * 3600);
  entry.rate = job.rate;
  entry.comment = "generation " + std::to_string(generation);
  entry.tags = {"site"};
  TimePause pause;
  pause.id = uuid("99999999-8888-7777-6666-555555555555");
  pause.start = Instant::fromUnix(1'700'000'000 + 2 * 3600);
  pause.end = Instant::fromUnix(1'700'000'000 + 2 * 3600 + 1800);
  entry.pauses.push_back(pause);
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
  std::vector<std::string> backups = namesIn(io.backupsURL());
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

TEST(BackupFileNameTest, OnlyTheExtensionJsonCounts) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"pellam-1700000000-0A1B2C3D.json", true}, {"notes.txt", false},  {"old.JSON", false},
      {"pellam.json.tmp", false},                {".json", false},      {".hidden.json", true},
      {"json", false},                           {"a.json.", false},    {"a..json", true},
  };
  for (const auto& [name, counts] : cases) EXPECT_EQ(isBackupFileName(name), counts) << name;
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
  std::vector<std::string> remaining = namesIn(io.backupsURL());
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
  EXPECT_EQ(namesIn(io.backupsURL()).size(), 31u);
  EXPECT_EQ(io.load(), sampleArchive(2));
}

// The one listing both pruning and the host's list of backups read: every entry named like
// a backup, newest first, an entry whose date cannot be read last, equal dates in byte order.
TEST_F(ArchiveIOTest, BackupsAreListedNewestFirstWithUndatedEntriesLast) {
  const std::string folder = io.backupsURL();
  std::filesystem::create_directories(folder + "/folder.json");
  for (const char* name : {"b-older.json", "a-twin.json", ".hidden.json", "undated.json", "notes.txt"}) {
    writeBytes(folder + "/" + name, name);
  }
  const std::pair<const char*, int> created[] = {
      {"b-older.json", 100}, {"a-twin.json", 100}, {".hidden.json", 300}, {"folder.json", 200}};
  for (const auto& [name, seconds] : created) {
    fs->setCreationTime(folder + "/" + name, FileTime(std::chrono::seconds(seconds)));
  }
  fs->failEvery("status", folder + "/undated.json", EIO);

  std::vector<BackupFile> backups = io.backups();
  std::vector<std::string> names;
  for (const BackupFile& backup : backups) names.push_back(backup.name);
  EXPECT_EQ(names, (std::vector<std::string>{".hidden.json", "folder.json", "a-twin.json", "b-older.json",
                                             "undated.json"}));
  ASSERT_EQ(backups.size(), 5u);
  EXPECT_EQ(backups[0].path, folder + "/.hidden.json");
  EXPECT_TRUE(backups[1].status && backups[1].status->isDirectory);
  EXPECT_EQ(backups[3].created, FileTime(std::chrono::seconds(100)));
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

KnownDataFile knownFrom(const FileStatus& status) {
  return KnownDataFile{status.size, status.modificationTime, status.creationTime};
}

TEST_F(ArchiveIOTest, AKnownDataFileIsBackedUpWithoutBeingReadAgain) {
  io.save(sampleArchive(1));
  KnownDataFile known = knownFrom(fs->status(io.dataURL()));
  io.save(sampleArchive(2), known);
  EXPECT_EQ(readsOf(*fs, io.dataURL()), 0u);
  std::vector<std::string> backups = namesIn(io.backupsURL());
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(readBytes(io.backupsURL() + "/" + backups[0]), ArchiveIO::encode(sampleArchive(1)));
  EXPECT_EQ(modeOf(io.backupsURL() + "/" + backups[0]), 0600u);
  EXPECT_EQ(io.load(), sampleArchive(2));
}

TEST_F(ArchiveIOTest, ADataFileThatIsNotTheKnownOneIsStillCheckedAndNeverOverwritten) {
  io.save(sampleArchive(1));
  KnownDataFile known = knownFrom(fs->status(io.dataURL()));
  // Another writer replaced the file since: a different size, so not the known file.
  putDataFile("{ damaged");
  EXPECT_NE(errorOf([&] { io.save(sampleArchive(2), known); }), "");
  EXPECT_EQ(readBytes(io.dataURL()), "{ damaged");
  EXPECT_TRUE(namesIn(io.backupsURL()).empty());
}

TEST_F(ArchiveIOTest, AFileSystemWithoutHardLinksGetsACopiedBackup) {
  io.save(sampleArchive(1));
  fs->failEvery("link", io.dataURL(), EPERM);
  io.save(sampleArchive(2), knownFrom(fs->status(io.dataURL())));
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

}  // namespace
}  // namespace pellam
