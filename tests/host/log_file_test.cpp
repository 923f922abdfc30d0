#include "host/log_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace pellam::host {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("vantry-log-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    path_ = folder_ / "host.log";
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path folder_;
  fs::path path_;
};

TEST_F(LogFileTest, RotatesPastItsCapKeepingOnePreviousFile) {
  LogFile log(path_.string(), 100);
  std::string line(39, 'a');  // 40 bytes with its line break
  for (int i = 0; i < 3; ++i) log << line << '\n' << std::flush;  // 120 bytes: moved aside
  EXPECT_EQ(contents(folder_ / "host.log.1").size(), 120u);
  EXPECT_EQ(contents(path_), "");
  log << "next\n" << std::flush;
  EXPECT_EQ(contents(path_), "next\n");
  for (int i = 0; i < 3; ++i) log << line << '\n' << std::flush;  // the older one is replaced
  EXPECT_EQ(contents(folder_ / "host.log.1").substr(0, 5), "next\n");
  EXPECT_FALSE(fs::exists(folder_ / "host.log.2"));
  struct stat info;
  ASSERT_EQ(::stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(LogFileTest, WritesWholeLinesAndRemembersTheLast) {
  LogFile log(path_.string());
  log << "first\nsecond" << std::flush;  // a part line waits for its end
  EXPECT_EQ(contents(path_), "first\n");
  EXPECT_EQ(log.lastLine(), "first");
  log << " half\n" << std::flush;
  EXPECT_EQ(contents(path_), "first\nsecond half\n");
  EXPECT_EQ(log.lastLine(), "second half");
}

TEST_F(LogFileTest, RefusesALinkAndAFolder) {
  fs::create_symlink(folder_ / "elsewhere.log", path_);
  EXPECT_THROW(LogFile(path_.string()), std::runtime_error);
  EXPECT_FALSE(fs::exists(folder_ / "elsewhere.log"));
  EXPECT_THROW(LogFile(folder_.string()), std::runtime_error);
}

}  // namespace
}  // namespace pellam::host
