#pragma once
// An edit of a file by another program that leaves no trace in its size or times, as cp -p,
// rsync -t or touch -r leave one: the bytes rewritten in place (the same inode, the same
// size), then the access and modification times put back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

namespace pellam::testing {

// Replaces every `from` in the file with `to`, which has the same length.
inline void editInPlace(const std::string& path, const std::string& from, const std::string& to) {
  ASSERT_EQ(from.size(), to.size());
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  in.close();
  ASSERT_NE(bytes.find(from), std::string::npos) << bytes;
  for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + to.size())) {
    bytes.replace(at, from.size(), to);
  }
  int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  struct stat after;
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  ASSERT_EQ(after.st_ino, before.st_ino);
  ASSERT_EQ(after.st_size, before.st_size);
  ASSERT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  ASSERT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

}  // namespace pellam::testing
