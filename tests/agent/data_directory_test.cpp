#include "agent/folder/data_directory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace pellam::agent {
namespace {

namespace fs = std::filesystem;

// Sets or unsets the variables the default folder depends on, and puts them back after.
class Environment {
 public:
  Environment() {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_[index(name)] = value ? std::optional<std::string>(value) : std::nullopt;
    }
  }
  ~Environment() {
    for (const char* name : kNames) set(name, saved_[index(name)]);
  }
  void set(const char* name, const std::optional<std::string>& value) {
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

 private:
  static constexpr const char* kNames[] = {"HOME", "XDG_DATA_HOME", "VANTRY_DATA_DIR", "PELLAM_DESKTOP_DATA_DIR"};
  static int index(const char* name) {
    for (int i = 0; i < 4; ++i) {
      if (std::string(kNames[i]) == name) return i;
    }
    return 0;
  }
  std::optional<std::string> saved_[4];
};

class DataDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::temp_directory_path() / ("vantry-home-" + std::to_string(::getpid()));
    fs::remove_all(home_);
    fs::create_directories(home_);
    env_.set("HOME", home_.string());
  }
  void TearDown() override { fs::remove_all(home_); }

  void putDataFile(const fs::path& folder) {
    fs::create_directories(folder);
    std::ofstream(folder / "pellam.json") << "{}";
  }

  Environment env_;
  fs::path home_;
};

TEST_F(DataDirectoryTest, XdgRuleDecidesTheDefaultOnLinux) {
#ifdef __APPLE__
  GTEST_SKIP() << "macOS keeps the app's folder";
#endif
  struct Case {
    const char* what;
    std::optional<std::string> xdg;
    std::string expected;  // "~" stands for the home folder
  };
  const Case cases[] = {
      {"unset", std::nullopt, "~/.local/share/vantry"},
      {"empty", std::string(""), "~/.local/share/vantry"},
      {"relative, so invalid", std::string("data"), "~/.local/share/vantry"},
      {"a tilde is not expanded by the rule", std::string("~/data"), "~/.local/share/vantry"},
      {"absolute", std::string("/srv/u/data"), "/srv/u/data/vantry"},
      {"absolute with a trailing slash", std::string("/srv/u/data/"), "/srv/u/data/vantry"},
      {"the root", std::string("/"), "/vantry"},
  };
  env_.set("VANTRY_DATA_DIR", std::nullopt);
  env_.set("PELLAM_DESKTOP_DATA_DIR", std::nullopt);
  for (const Case& c : cases) {
    env_.set("XDG_DATA_HOME", c.xdg);
    std::string expected = c.expected[0] == '~' ? home_.string() + c.expected.substr(1) : c.expected;
    DataDirectoryChoice choice = chooseDataDirectory();
    EXPECT_EQ(choice.path, expected) << c.what;
    EXPECT_EQ(choice.source, DataDirectoryChoice::Source::platformDefault) << c.what;
    EXPECT_EQ(defaultDataDirectory(), expected) << c.what;
  }
}

TEST_F(DataDirectoryTest, VariablesComeBeforeTheDefault) {
  env_.set("XDG_DATA_HOME", std::string("/srv/xdg"));
  env_.set("VANTRY_DATA_DIR", std::string("/a"));
  env_.set("PELLAM_DESKTOP_DATA_DIR", std::string("/b"));
  EXPECT_EQ(chooseDataDirectory().path, "/a");
  EXPECT_EQ(chooseDataDirectory().origin, "VANTRY_DATA_DIR");
  env_.set("VANTRY_DATA_DIR", std::nullopt);
  EXPECT_EQ(chooseDataDirectory().path, "/b");
  EXPECT_EQ(chooseDataDirectory().origin, "PELLAM_DESKTOP_DATA_DIR");
  env_.set("PELLAM_DESKTOP_DATA_DIR", std::string("~/c"));
  EXPECT_EQ(chooseDataDirectory().path, home_.string() + "/c");
  env_.set("VANTRY_DATA_DIR", std::string(""));  // set but empty: the default, not the second
#ifndef __APPLE__
  EXPECT_EQ(chooseDataDirectory().path, "/srv/xdg/vantry");
#endif
}

TEST_F(DataDirectoryTest, OldFolderHoldingTheOnlyDataFileStaysInUse) {
#ifdef __APPLE__
  GTEST_SKIP() << "macOS keeps the app's folder";
#endif
  env_.set("VANTRY_DATA_DIR", std::nullopt);
  env_.set("PELLAM_DESKTOP_DATA_DIR", std::nullopt);
  env_.set("XDG_DATA_HOME", std::nullopt);
  std::string old = appContainerDirectory(home_.string());
  std::string xdg = home_.string() + "/.local/share/vantry";

  fs::create_directories(old);  // an old folder without a data file is not used
  EXPECT_EQ(chooseDataDirectory().path, xdg);

  putDataFile(old);
  DataDirectoryChoice choice = chooseDataDirectory();
  EXPECT_EQ(choice.path, old);
  EXPECT_EQ(choice.source, DataDirectoryChoice::Source::oldDefault);

  putDataFile(xdg);  // once the new folder has one, it wins
  EXPECT_EQ(chooseDataDirectory().path, xdg);
  EXPECT_EQ(chooseDataDirectory().source, DataDirectoryChoice::Source::platformDefault);
}

}  // namespace
}  // namespace pellam::agent
