#include "core/file_placement.h"
#include "core/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <thread>

#include "support/edit_in_place.h"
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

// A restrictive umask must not change the modes the seam promises.
class UmaskGuard {
 public:
  explicit UmaskGuard(mode_t mask) : previous_(::umask(mask)) {}
  ~UmaskGuard() { ::umask(previous_); }

 private:
  mode_t previous_;
};

mode_t modeOf(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777;
}

int errnoOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const FileSystemError& error) {
    return error.errnoValue();
  }
  return 0;
}

TEST(RealFileSystemTest, NewFilesAndFoldersGetExactlyTheRequestedMode) {
  TemporaryFolder folder;
  RealFileSystem fs;
  UmaskGuard mask(0277);
  for (mode_t mode : {0600, 0644, 0400}) {
    std::string path = folder / ("file-" + std::to_string(mode));
    fs.writeNewFile(path, "x", mode);
    EXPECT_EQ(modeOf(path), mode);
  }
  fs.createDirectories(folder / "a/b/c", 0700);
  for (const char* created : {"a", "a/b", "a/b/c"}) EXPECT_EQ(modeOf(folder / created), 0700u) << created;
}

TEST(RealFileSystemTest, CreateDirectoriesLeavesAnExistingFolderAloneAndRefusesAFileInTheWay) {
  TemporaryFolder folder;
  RealFileSystem fs;
  ASSERT_EQ(::mkdir((folder / "existing").c_str(), 0755), 0);
  ASSERT_EQ(::chmod((folder / "existing").c_str(), 0755), 0);
  fs.createDirectories(folder / "existing", 0700);
  EXPECT_EQ(modeOf(folder / "existing"), 0755u);

  writeBytes(folder / "file", "x");
  EXPECT_EQ(errnoOf([&] { fs.createDirectories(folder / "file", 0700); }), ENOTDIR);
  EXPECT_EQ(errnoOf([&] { fs.createDirectories(folder / "file/below", 0700); }), ENOTDIR);
}

TEST(RealFileSystemTest, WriteNewFileNeverReplacesAFileOrFollowsALink) {
  TemporaryFolder folder;
  RealFileSystem fs;
  writeBytes(folder / "target", "original");
  ASSERT_EQ(::symlink((folder / "target").c_str(), (folder / "link").c_str()), 0);
  ASSERT_EQ(::symlink((folder / "nowhere").c_str(), (folder / "dangling").c_str()), 0);

  for (const char* name : {"target", "link", "dangling"}) {
    EXPECT_EQ(errnoOf([&] { fs.writeNewFile(folder / name, "replacement", 0600); }), EEXIST) << name;
  }
  EXPECT_EQ(readBytes(folder / "target"), "original");
  EXPECT_FALSE(fs.status(folder / "nowhere").exists);
}

// A file written in parts holds them joined, with the mode asked for; when the parts stop
// with an error the file is gone and the error passes on; an existing name is never replaced.
TEST(RealFileSystemTest, WriteNewFileInPartsJoinsThePartsOrLeavesNothing) {
  TemporaryFolder folder;
  RealFileSystem fs;
  UmaskGuard mask(0277);
  const std::vector<std::string> parts = {"", "first,", std::string(70000, 'x'), "", std::string("\0last", 5)};
  auto writeParts = [&](const FileSystem::PartWriter& write) {
    for (const std::string& part : parts) write(part);
  };
  fs.writeNewFileInParts(folder / "joined", writeParts, 0600);
  EXPECT_EQ(readBytes(folder / "joined"), parts[1] + parts[2] + parts[4]);
  EXPECT_EQ(modeOf(folder / "joined"), 0600u);

  struct Stopped {};
  EXPECT_THROW(fs.writeNewFileInParts(folder / "stopped",
                                      [&](const FileSystem::PartWriter& write) {
                                        write("half");
                                        throw Stopped{};
                                      },
                                      0600),
               Stopped);
  EXPECT_FALSE(fs.status(folder / "stopped").exists);

  EXPECT_EQ(errnoOf([&] { fs.writeNewFileInParts(folder / "joined", writeParts, 0600); }), EEXIST);
  EXPECT_EQ(readBytes(folder / "joined"), parts[1] + parts[2] + parts[4]);
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"joined"});
}

// A file system that writes whole files only gets the parts gathered: a test double sees one
// writeNewFile with every byte, and parts that stop with an error create nothing.
TEST(FaultInjectingFileSystemTest, PartsAreGatheredIntoOneWrite) {
  TemporaryFolder folder;
  FaultInjectingFileSystem fs;
  fs.writeNewFileInParts(folder / "f", [](const FileSystem::PartWriter& write) { write("ab"); write("cd"); }, 0600);
  EXPECT_EQ(readBytes(folder / "f"), "abcd");
  ASSERT_FALSE(fs.log().empty());
  EXPECT_EQ(fs.log().back().name, "writeNewFile");
  struct Stopped {};
  EXPECT_THROW(fs.writeNewFileInParts(folder / "g", [](const FileSystem::PartWriter&) { throw Stopped{}; }, 0600),
               Stopped);
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"f"});
}

TEST(RealFileSystemTest, StatusDoesNotFollowLinks) {
  TemporaryFolder folder;
  RealFileSystem fs;
  writeBytes(folder / "file", "12345");
  ASSERT_EQ(::symlink(folder.path().c_str(), (folder / "link").c_str()), 0);
  timespec times[2] = {{1'000'000'000, 250'000'000}, {1'000'000'000, 250'000'000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (folder / "file").c_str(), times, 0), 0);

  FileStatus file = fs.status(folder / "file");
  EXPECT_TRUE(file.exists && file.isRegularFile && !file.isSymbolicLink && !file.isDirectory);
  EXPECT_EQ(file.size, 5u);
  EXPECT_EQ(file.modificationTime, FileTime(std::chrono::seconds(1'000'000'000) + std::chrono::milliseconds(250)));

  FileStatus link = fs.status(folder / "link");
  EXPECT_TRUE(link.exists && link.isSymbolicLink && !link.isDirectory);

  EXPECT_TRUE(fs.status(folder.path()).isDirectory);
  EXPECT_FALSE(fs.status(folder / "missing").exists);
  EXPECT_FALSE(fs.status(folder / "file/below").exists);
}

// The change time is the system's own: an edit in place that put the size and the
// modification time back still moves it, and so does a change of permissions.
TEST(RealFileSystemTest, TheChangeTimeMovesWhateverTheOtherTimesSay) {
  TemporaryFolder folder;
  RealFileSystem fs;
  const std::string file = folder / "file";
  writeBytes(file, "before");
  FileStatus first = fs.status(file);
  EXPECT_LE(first.changeTime, std::chrono::system_clock::now());
  EXPECT_GT(first.changeTime, std::chrono::system_clock::now() - std::chrono::hours(1));
  // Past one tick of a coarse file-system clock.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  testing::editInPlace(file, "before", "after!");
  FileStatus edited = fs.status(file);
  EXPECT_EQ(edited.size, first.size);
  EXPECT_EQ(edited.modificationTime, first.modificationTime);
  EXPECT_GT(edited.changeTime, first.changeTime);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  fs.setMode(file, 0640);
  EXPECT_GT(fs.status(file).changeTime, edited.changeTime);
}

TEST(RealFileSystemTest, ErrorsNameTheOperationThePathAndThePlatformText) {
  TemporaryFolder folder;
  RealFileSystem fs;
  ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
  struct Case {
    std::function<void()> action;
    int errnoValue;
    std::string message;
  };
  const std::vector<Case> cases = {
      {[&] { fs.readFile(folder / "missing"); }, ENOENT,
       "Could not read " + folder / "missing" + ": " + std::strerror(ENOENT)},
      {[&] { fs.readFile(folder.path()); }, EISDIR, "Could not read " + folder.path() + ": " + std::strerror(EISDIR)},
      // A FIFO must neither hang the reader nor pass for a file.
      {[&] { fs.readFile(folder / "fifo"); }, EINVAL,
       "Could not read (not a regular file) " + folder / "fifo" + ": " + std::strerror(EINVAL)},
      {[&] { fs.remove(folder / "missing"); }, ENOENT,
       "Could not remove " + folder / "missing" + ": " + std::strerror(ENOENT)},
      {[&] { fs.listDirectory(folder / "missing"); }, ENOENT,
       "Could not list the folder " + folder / "missing" + ": " + std::strerror(ENOENT)},
  };
  for (const auto& c : cases) {
    try {
      c.action();
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const FileSystemError& error) {
      EXPECT_EQ(error.errnoValue(), c.errnoValue);
      EXPECT_EQ(std::string(error.what()), c.message);
    }
  }
}

TEST(RealFileSystemTest, RemoveNeverTakesAFolder) {
  TemporaryFolder folder;
  RealFileSystem fs;
  fs.createDirectories(folder / "sub.json", 0700);
  EXPECT_NE(errnoOf([&] { fs.remove(folder / "sub.json"); }), 0);
  EXPECT_TRUE(fs.status(folder / "sub.json").isDirectory);
}

TEST(RealFileSystemTest, ListingIncludesHiddenNamesSortedByBytes) {
  TemporaryFolder folder;
  RealFileSystem fs;
  for (const char* name : {"b.json", ".hidden", "A.txt", "a.json"}) writeBytes(folder / name, "");
  fs.createDirectories(folder / "sub", 0700);
  EXPECT_EQ(fs.listDirectory(folder.path()), (std::vector<std::string>{".hidden", "A.txt", "a.json", "b.json", "sub"}));
}

TEST(RealFileSystemTest, ReadFileReturnsEveryByte) {
  TemporaryFolder folder;
  RealFileSystem fs;
  std::string bytes;
  for (int i = 0; i < 200'000; ++i) bytes += static_cast<char>(i * 31);
  fs.writeNewFile(folder / "big", bytes, 0600);
  std::string read = fs.readFile(folder / "big");
  EXPECT_EQ(read, bytes);
  // The archive reader parses the bytes where they are only with this room after them.
  EXPECT_GE(read.capacity() - read.size(), RealFileSystem::kReadSpareCapacity);
  fs.writeNewFile(folder / "empty", "", 0600);
  EXPECT_EQ(fs.readFile(folder / "empty"), "");
}

// Files of many megabytes are read into a buffer advised onto huge pages: sizes around the
// 2 MiB boundaries must still come back whole, with the room parsers need after them.
TEST(RealFileSystemTest, ReadFileReturnsEveryByteOfLargeFiles) {
  TemporaryFolder folder;
  RealFileSystem fs;
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  for (std::size_t size : {8 * kMiB - 1, 8 * kMiB, 8 * kMiB + 65, 9 * kMiB + 4097}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131) ^ (i >> 13));
    const std::string path = folder / ("big" + std::to_string(size));
    fs.writeNewFile(path, bytes, 0600);
    std::string read = fs.readFile(path);
    EXPECT_TRUE(read == bytes) << size;
    EXPECT_GE(read.capacity() - read.size(), RealFileSystem::kReadSpareCapacity) << size;
  }
}

#if defined(__linux__) && !defined(PELLAM_PORTABLE_FALLBACKS)
// A synced file's pages are handed back to the kernel, but a read one's stay cached: the host
// reads its data file again at every start, and from the disk if they were dropped.
TEST(RealFileSystemTest, ReadFileLeavesTheFileCached) {
  TemporaryFolder folder;
  RealFileSystem fs;
  const std::string path = folder / "data";
  const std::size_t size = 64 * 4096;
  fs.writeNewFile(path, std::string(size, 'x'), 0600);
  auto residentPages = [&] {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return -1;
    std::vector<unsigned char> pages(size / 4096);
    int resident = -1;
    if (::mincore(map, size, pages.data()) == 0) {
      resident = 0;
      for (unsigned char page : pages) resident += page & 1;
    }
    ::munmap(map, size);
    return resident;
  };
  fs.syncFile(path);
  const int afterSync = residentPages();
  if (afterSync != 0) GTEST_SKIP() << "this file system keeps synced pages (" << afterSync << " resident)";
  EXPECT_EQ(fs.readFile(path).size(), size);
  EXPECT_EQ(residentPages(), static_cast<int>(size / 4096));
}
#endif

TEST(RealFileSystemTest, LinkRefusesAnExistingTargetAndRenameReplacesIt) {
  TemporaryFolder folder;
  RealFileSystem fs;
  writeBytes(folder / "a", "a");
  writeBytes(folder / "b", "b");
  EXPECT_EQ(errnoOf([&] { fs.link(folder / "a", folder / "b"); }), EEXIST);
  EXPECT_EQ(readBytes(folder / "b"), "b");
  fs.link(folder / "a", folder / "c");
  EXPECT_EQ(readBytes(folder / "c"), "a");
  fs.move(folder / "a", folder / "b", Placement::replace);
  EXPECT_EQ(readBytes(folder / "b"), "a");
  EXPECT_FALSE(fs.status(folder / "a").exists);
}

TEST(WriteFileAtomicallyTest, ReplacesTheTargetWithTheModeAndLeavesNoTemporaryFile) {
  TemporaryFolder folder;
  RealFileSystem fs;
  UmaskGuard mask(0022);
  writeBytes(folder / "data.json", "old");
  ::chmod((folder / "data.json").c_str(), 0644);
  writeFileAtomically(fs, folder / "data.json", "new", 0600);
  EXPECT_EQ(readBytes(folder / "data.json"), "new");
  EXPECT_EQ(modeOf(folder / "data.json"), 0600u);
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"data.json"});
}

TEST(WriteFileAtomicallyTest, AFailureAtAnyStepLeavesTheOldFileAndNoTemporaryFile) {
  // Operation n fails; once n is past the last operation the write goes through.
  for (std::size_t n = 1;; ++n) {
    TemporaryFolder folder;
    writeBytes(folder / "data.json", "old");
    FaultInjectingFileSystem fs;
    fs.failAt(n);
    bool failed = errnoOf([&] { writeFileAtomically(fs, folder / "data.json", "new", 0600); }) == EIO;
    if (!failed) {
      EXPECT_EQ(readBytes(folder / "data.json"), "new");
      break;
    }
    // Only the last step, the folder sync, comes after the rename.
    bool afterRename = fs.log().back().name == "syncDirectory";
    EXPECT_EQ(readBytes(folder / "data.json"), afterRename ? "new" : "old") << "failure at " << n;
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"data.json"}) << "failure at " << n;
  }
}

TEST(WriteFileAtomicallyTest, APowerCutAtAnyStepLeavesTheOldOrTheNewCompleteFile) {
  bool sawNew = false;
  for (std::size_t n = 1;; ++n) {
    TemporaryFolder folder;
    writeBytes(folder / "data.json", "old content");
    FaultInjectingFileSystem fs;
    fs.crashAt(n);
    try {
      writeFileAtomically(fs, folder / "data.json", "new content", 0600);
    } catch (const SimulatedCrash&) {
    }
    bool finished = !fs.crashed();
    fs.loseUnsyncedChanges();
    std::string survived = readBytes(folder / "data.json");
    EXPECT_TRUE(survived == "old content" || survived == "new content") << "crash at " << n << ": " << survived;
    sawNew = sawNew || survived == "new content";
    if (finished) {
      EXPECT_EQ(survived, "new content");
      break;
    }
  }
  EXPECT_TRUE(sawNew);
}

// The power-cut model must catch the classic mistakes, or the test above proves nothing.
TEST(FaultInjectingFileSystemTest, APowerCutUndoesWhatWasNotSynced) {
  struct Case {
    const char* name;
    bool syncFile;
    bool syncFolder;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"no sync at all: the rename is lost", false, false, "old"},
      {"file synced, folder not: the rename is lost", true, false, "old"},
      {"folder synced, file not: the renamed file is empty", false, true, ""},
      {"both synced: the new file survives", true, true, "new"},
  };
  for (const auto& c : cases) {
    TemporaryFolder folder;
    writeBytes(folder / "data.json", "old");
    FaultInjectingFileSystem fs;
    fs.writeNewFile(folder / "tmp", "new", 0600);
    if (c.syncFile) fs.syncFile(folder / "tmp");
    fs.move(folder / "tmp", folder / "data.json", Placement::replace);
    if (c.syncFolder) fs.syncDirectory(folder.path());
    fs.loseUnsyncedChanges();
    EXPECT_EQ(readBytes(folder / "data.json"), c.expected) << c.name;
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"data.json"}) << c.name;
  }
}

TEST(FaultInjectingFileSystemTest, APowerCutThatKeepsNamesCutsTheBytesThatWereNotSynced) {
  using CutBytes = FaultInjectingFileSystem::CutBytes;
  struct Case {
    const char* name;
    CutBytes cut;
    bool syncFile;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"emptied", CutBytes::empty, false, ""},
      {"zero-filled", CutBytes::zeros, false, std::string(6, '\0')},
      {"cut in half", CutBytes::firstHalf, false, "new"},
      {"synced: whole", CutBytes::empty, true, "new id"},
  };
  for (const auto& c : cases) {
    TemporaryFolder folder;
    writeBytes(folder / "data.json", "old");
    FaultInjectingFileSystem fs;
    fs.writeNewFile(folder / "tmp", "new id", 0400);
    if (c.syncFile) fs.syncFile(folder / "tmp");
    fs.move(folder / "tmp", folder / "data.json", Placement::replace);
    fs.loseUnsyncedBytes(c.cut);
    EXPECT_EQ(readBytes(folder / "data.json"), c.expected) << c.name;
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"data.json"}) << c.name;
    EXPECT_EQ(std::filesystem::status(folder / "data.json").permissions(), std::filesystem::perms::owner_read)
        << c.name;
  }
}

TEST(FaultInjectingFileSystemTest, AMoveBetweenFoldersLastsOnceBothAreSynced) {
  for (bool syncBoth : {false, true}) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder / "from");
    std::filesystem::create_directories(folder / "to");
    writeBytes(folder / "from/file", "content");
    FaultInjectingFileSystem fs;
    fs.move(folder / "from/file", folder / "to/file", Placement::replace);
    fs.syncDirectory(folder / "to");
    if (syncBoth) fs.syncDirectory(folder / "from");
    fs.loseUnsyncedChanges();
    EXPECT_EQ(namesIn(folder / "from"), syncBoth ? std::vector<std::string>{} : std::vector<std::string>{"file"});
    EXPECT_EQ(namesIn(folder / "to"), syncBoth ? std::vector<std::string>{"file"} : std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace pellam
