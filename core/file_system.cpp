#include "core/file_system.h"
#include "core/huge_pages.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "core/paths.h"
#include "core/standard_output.h"
#include "core/folder_watch.h"

// Linux reports birth times only through statx and is the one system here that takes advice
// on its page cache. Elsewhere, and whenever PELLAM_PORTABLE_FALLBACKS is defined (so that the
// fallbacks are built and tested on Linux too), plain POSIX calls stand in.
#if defined(__linux__) && !defined(PELLAM_PORTABLE_FALLBACKS)
#define PELLAM_LINUX_FILE_CALLS 1
#else
#define PELLAM_LINUX_FILE_CALLS 0
#endif

namespace pellam {

namespace {

[[noreturn]] void fail(int errnoValue, const std::string& action, const std::string& path) {
  throw FileSystemError(errnoValue, action + " " + path);
}

[[noreturn]] void failWithErrno(const std::string& action, const std::string& path) {
  fail(errno, action, path);
}

// Closes on scope exit (for reading and syncing, where a close error tells nothing new).
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

int openRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// rename(2) that never replaces; false with errno set on failure (ENOSYS where the system has
// no such call, so the caller falls back to a hard link).
bool renameNoReplace(const std::string& from, const std::string& to) {
#if defined(RENAME_NOREPLACE) && !defined(PELLAM_PORTABLE_FALLBACKS)
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
#else
  (void)from;
  (void)to;
  errno = ENOSYS;
  return false;
#endif
}

void syncDescriptor(int fd, const std::string& action, const std::string& path) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) failWithErrno(action, path);
  }
}

FileTime fileTime(std::int64_t seconds, std::uint32_t nanoseconds) {
  return FileTime(std::chrono::duration_cast<FileTime::duration>(std::chrono::seconds(seconds) +
                                                                 std::chrono::nanoseconds(nanoseconds)));
}

// The caller is done with the file's bytes: hand its clean pages back to the kernel. Only
// advice, so where it cannot be given nothing is lost but the speed.
void dropCachedPages([[maybe_unused]] int fd) {
#if PELLAM_LINUX_FILE_CALLS
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
#endif
}

}  // namespace

void RealFileSystem::createDirectories(const std::string& path, mode_t mode) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) fail(ENOTDIR, "Could not create the folder", path);
    return;
  }
  if (errno != ENOENT) failWithErrno("Could not create the folder", path);
  std::string parent = parentFolder(path);
  if (parent != path && parent != "." && parent != "/") createDirectories(parent, mode);
  if (::mkdir(path.c_str(), mode) != 0) {
    // Someone else made it in the meantime: fine when it is a folder.
    if (errno == EEXIST && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
    failWithErrno("Could not create the folder", path);
  }
  // mkdir's mode passes through the umask; the folder must have exactly `mode`.
  if (::chmod(path.c_str(), mode) != 0) failWithErrno("Could not set the permissions of", path);
}

void RealFileSystem::setMode(const std::string& path, mode_t mode) {
  if (::chmod(path.c_str(), mode) != 0) failWithErrno("Could not set the permissions of", path);
}

FileStatus RealFileSystem::status(const std::string& path) {
  FileStatus result;
#if PELLAM_LINUX_FILE_CALLS
  struct statx info;
  if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return result;
    failWithErrno("Could not read the attributes of", path);
  }
  result.exists = true;
  result.isRegularFile = S_ISREG(info.stx_mode);
  result.isDirectory = S_ISDIR(info.stx_mode);
  result.isSymbolicLink = S_ISLNK(info.stx_mode);
  result.device = (static_cast<std::uint64_t>(info.stx_dev_major) << 32) | info.stx_dev_minor;
  result.inode = info.stx_ino;
  result.size = info.stx_size;
  result.mode = info.stx_mode & 07777;
  result.modificationTime = fileTime(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
  result.changeTime = fileTime(info.stx_ctime.tv_sec, info.stx_ctime.tv_nsec);
  if (info.stx_mask & STATX_BTIME) result.creationTime = fileTime(info.stx_btime.tv_sec, info.stx_btime.tv_nsec);
#else
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return result;
    failWithErrno("Could not read the attributes of", path);
  }
  result.exists = true;
  result.isRegularFile = S_ISREG(info.st_mode);
  result.isDirectory = S_ISDIR(info.st_mode);
  result.isSymbolicLink = S_ISLNK(info.st_mode);
  result.device = static_cast<std::uint64_t>(info.st_dev);
  result.inode = static_cast<std::uint64_t>(info.st_ino);
  result.size = static_cast<std::uint64_t>(info.st_size);
  result.mode = info.st_mode & 07777;
#if defined(__APPLE__)
  result.modificationTime = fileTime(info.st_mtimespec.tv_sec, info.st_mtimespec.tv_nsec);
  result.creationTime = fileTime(info.st_birthtimespec.tv_sec, info.st_birthtimespec.tv_nsec);
  result.changeTime = fileTime(info.st_ctimespec.tv_sec, info.st_ctimespec.tv_nsec);
#else
  // POSIX has no birth time: callers fall back to the modification time.
  result.modificationTime = fileTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
  result.changeTime = fileTime(info.st_ctim.tv_sec, info.st_ctim.tv_nsec);
#endif
#endif
  return result;
}

std::string RealFileSystem::readFile(const std::string& path) {
  // Non-blocking so that a FIFO in its place cannot hang the reader; it is refused below.
  FileDescriptor fd(openRetrying(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) failWithErrno("Could not read", path);
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) failWithErrno("Could not read", path);
  if (S_ISDIR(info.st_mode)) fail(EISDIR, "Could not read", path);
  if (!S_ISREG(info.st_mode)) fail(EINVAL, "Could not read (not a regular file)", path);
  std::string bytes;
  // One byte more than the size, so that the end is seen without growing the buffer, and
  // the spare capacity promised to parsers.
  bytes.reserve(static_cast<std::size_t>(info.st_size) + 1 + kReadSpareCapacity);
  // A large file (the data file) fills in far fewer page faults in huge pages.
  if (bytes.capacity() >= (std::size_t(8) << 20)) adviseHugePages(bytes.data(), bytes.capacity());
  bytes.resize(static_cast<std::size_t>(info.st_size) + 1 + kReadSpareCapacity);
  std::size_t filled = 0;
  while (true) {
    if (filled + kReadSpareCapacity == bytes.size()) bytes.resize(bytes.size() * 2);  // the file has grown
    ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - kReadSpareCapacity - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      failWithErrno("Could not read", path);
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  bytes.resize(filled);
  // The pages read stay cached (clean, so the kernel reclaims them at no cost): the data file
  // is read again at every start of the host, from the disk if they were dropped.
  return bytes;
}

std::optional<std::string> RealFileSystem::readFileAtMost(const std::string& path, std::size_t maximum) {
  FileDescriptor fd(openRetrying(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) failWithErrno("Could not read", path);
  struct stat info;
  if (::fstat(fd.get(), &info) != 0) failWithErrno("Could not read", path);
  if (S_ISDIR(info.st_mode)) fail(EISDIR, "Could not read", path);
  if (!S_ISREG(info.st_mode)) fail(EINVAL, "Could not read (not a regular file)", path);
  if (static_cast<std::uint64_t>(info.st_size) > maximum) return std::nullopt;
  std::string bytes;
  reserveWithHugePages(bytes, static_cast<std::size_t>(info.st_size) + 1);  // an answer can be megabytes
  bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
  std::size_t filled = 0;
  while (true) {
    if (filled == bytes.size()) {
      if (filled > maximum) return std::nullopt;  // it grew while being read
      bytes.resize(std::min(bytes.size() * 2, maximum + 1));
    }
    ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      failWithErrno("Could not read", path);
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  if (filled > maximum) return std::nullopt;
  bytes.resize(filled);
  return bytes;
}

void RealFileSystem::writeNewFile(const std::string& path, std::string_view bytes, mode_t mode) {
  writeNewFileInParts(path, [&](const PartWriter& write) { write(bytes); }, mode);
}

void RealFileSystem::writeNewFileInParts(const std::string& path,
                                         const std::function<void(const PartWriter&)>& contents, mode_t mode) {
  int fd = openRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) failWithErrno("Could not create", path);
  const char* failedAction = nullptr;
  int error = 0;
  // open's mode passes through the umask; the file must have exactly `mode`.
  if (::fchmod(fd, mode) != 0) {
    failedAction = "Could not set the permissions of";
    error = errno;
  }
  if (!failedAction) {
    try {
      contents([&](std::string_view part) {
        if (!failedAction && !writeAll(fd, part)) {
          failedAction = "Could not write";
          error = errno;
        }
      });
    } catch (...) {
      ::close(fd);
      ::unlink(path.c_str());
      throw;
    }
  }
  if (::close(fd) != 0 && !failedAction) {
    failedAction = "Could not write";
    error = errno;
  }
  if (failedAction) {
    ::unlink(path.c_str());
    fail(error, failedAction, path);
  }
}

void FileSystem::writeNewFileInParts(const std::string& path, const std::function<void(const PartWriter&)>& contents,
                                     mode_t mode) {
  std::string bytes;
  contents([&](std::string_view part) { bytes.append(part); });
  writeNewFile(path, bytes, mode);
}

void RealFileSystem::syncFile(const std::string& path) {
  FileDescriptor fd(openRetrying(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (fd.get() < 0) failWithErrno("Could not sync", path);
  syncDescriptor(fd.get(), "Could not sync", path);
  // A synced file is on disk and, here, not read again soon (an archive, a backup, an
  // answer); handing its clean pages back lets the next large write reuse them instead of
  // the kernel finding fresh ones, which made writing a 67 MB archive take up to 10x longer.
  dropCachedPages(fd.get());
}

void RealFileSystem::syncDirectory(const std::string& path) {
  FileDescriptor fd(openRetrying(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) failWithErrno("Could not sync the folder", path);
  while (::fsync(fd.get()) != 0) {
    if (errno == EINTR) continue;
    // Some file systems cannot sync a folder at all; their renames are as durable as they get.
    if (errno == EINVAL) return;
    failWithErrno("Could not sync the folder", path);
  }
}

void RealFileSystem::move(const std::string& from, const std::string& to, Placement placement) {
  const std::string action = "Could not move " + from + " to";
  if (placement == Placement::replace) {
    if (::rename(from.c_str(), to.c_str()) != 0) failWithErrno(action, to);
    return;
  }
  if (renameNoReplace(from, to)) return;
  if (errno != EINVAL && errno != ENOSYS) failWithErrno(action, to);
  // A file system without no-replace moves: a hard link is never made over a name either.
  if (::link(from.c_str(), to.c_str()) != 0) failWithErrno(action, to);
  ::unlink(from.c_str());  // in place already; a leftover source name is only litter
}

void RealFileSystem::link(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) != 0) failWithErrno("Could not link " + from + " to", to);
}

void RealFileSystem::remove(const std::string& path) {
  if (::unlink(path.c_str()) != 0) failWithErrno("Could not remove", path);
}

void RealFileSystem::removeTree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);  // never follows the links inside
  if (error) fail(error.value(), "Could not remove", path);
}

std::vector<std::string> RealFileSystem::listDirectory(const std::string& path) {
  DIR* folder = ::opendir(path.c_str());
  if (!folder) failWithErrno("Could not list the folder", path);
  std::vector<std::string> names;
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(folder);
    if (!entry) break;
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  int error = errno;
  ::closedir(folder);
  if (error != 0) fail(error, "Could not list the folder", path);
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

class DescriptorLock final : public FileLock {
 public:
  explicit DescriptorLock(int fd) : fd_(fd) {}
  ~DescriptorLock() override { ::close(fd_); }  // closing the descriptor releases the lock

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<FileLock> RealFileSystem::tryLock(const std::string& path) {
  int fd = openRetrying(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) failWithErrno("Could not open", path);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return nullptr;
    fail(error, "Could not lock", path);
  }
  return std::make_unique<DescriptorLock>(fd);
}

std::unique_ptr<FolderWatch> RealFileSystem::watchFolder(const std::string& path) {
  return watchFolderForChanges(path);
}

std::shared_ptr<FileSystem> RealFileSystem::shared() {
  static const std::shared_ptr<FileSystem> instance = std::make_shared<RealFileSystem>();
  return instance;
}

}  // namespace pellam
