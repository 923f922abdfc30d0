#include "cli/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/export_file.h"
#include "cli/url_check.h"
#include "core/base64.h"
#include "support/fault_injecting_file_system.h"

namespace pellam::cli {
namespace {

using agent::AgentFailure;

TEST(OutputTest, TextModePrintsTheTextAlone) {
  std::ostringstream out;
  output(out, true, Json(), std::nullopt, std::nullopt, false, "hello");
  EXPECT_EQ(out.str(), "hello\n");
}

TEST(OutputTest, FailureEnvelopeIsCompactInJsonMode) {
  std::ostringstream out;
  output(out, false, Json(), AgentFailure("not_found", "No job a/b.", false), Uuid::parse("0f8fad5b-d9cb-469f-a165-70867728950e"), true);
  EXPECT_EQ(out.str(),
            R"({"data":null,"error":{"code":"not_found","message":"No job a/b.","retryable":false},"ok":false,)"
            R"("requestID":"0F8FAD5B-D9CB-469F-A165-70867728950E","schema":1})"
            "\n");
}

TEST(OutputTest, EnvelopeIsPrettyOtherwiseEvenWithText) {
  std::ostringstream out;
  Json data = Json::object();
  data["url"] = "https://x/y";
  output(out, true, data, std::nullopt, std::nullopt, false);
  EXPECT_EQ(out.str(),
            "{\n  \"data\" : {\n    \"url\" : \"https://x/y\"\n  },\n  \"error\" : null,\n  \"ok\" : true,\n"
            "  \"requestID\" : null,\n  \"schema\" : 1\n}\n");
}

class ExportFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pellam-export-test-XXXXXX";
    folder_ = mkdtemp(pattern);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) result.push_back(entry.path().filename());
    std::sort(result.begin(), result.end());
    return result;
  }
  std::string folder_;
};

TEST_F(ExportFileTest, WritesAPrivateNewFileAndNoTemporary) {
  std::string target = folder_ + "/report.csv";
  writeExport("a,b\n", target);
  std::ifstream file(target);
  std::string content((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(content, "a,b\n");
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(names(), std::vector<std::string>{"report.csv"});
}

TEST_F(ExportFileTest, NeverReplacesAnExistingItem) {
  std::ofstream(folder_ + "/file") << "keep";
  std::filesystem::create_directory(folder_ + "/folder");
  std::filesystem::create_symlink(folder_ + "/missing", folder_ + "/dangling");
  for (const char* name : {"file", "folder", "dangling"}) {
    try {
      writeExport("new", folder_ + "/" + name);
      ADD_FAILURE() << name;
    } catch (const AgentFailure& failure) {
      EXPECT_EQ(failure.code, "output_exists") << name;
      EXPECT_EQ(failure.message,
                "The output already exists. Choose a new --out path; Vantry never silently overwrites exports.");
    }
  }
  EXPECT_EQ(names(), (std::vector<std::string>{"dangling", "file", "folder"}));
  std::ifstream file(folder_ + "/file");
  std::string content((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(content, "keep");
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/missing"));
}

TEST_F(ExportFileTest, MissingFolderCannotBePrepared) {
  try {
    writeExport("x", folder_ + "/absent/report.csv");
    FAIL();
  } catch (const AgentFailure& failure) {
    EXPECT_EQ(failure.code, "export_failed");
    EXPECT_EQ(failure.message, "Could not prepare an export in " + folder_ + "/absent.");
  }
}

std::string fileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), {});
}

// Decoded straight into the file, part by part: the same file as the whole decoding written at
// once, for sizes on either side of a part's end (parts of 192 KiB) and the empty file.
TEST_F(ExportFileTest, ADecodedFileIsTheWholeDecodingByteForByte) {
  constexpr std::size_t kPart = 3 * 64 * 1024;
  for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(2), std::size_t(3), kPart - 1, kPart,
                           kPart + 1, kPart + 2, 2 * kPart, 3 * kPart + 4}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = char((i * 131 + size) & 0xFF);
    const std::string base64 = base64Encode(bytes);
    const std::string whole = folder_ + "/whole-" + std::to_string(size);
    const std::string decoded = folder_ + "/decoded-" + std::to_string(size);
    writeExport(*base64Decode(base64), whole);
    ASSERT_TRUE(writeDecodedExport(base64, decoded)) << size;
    EXPECT_EQ(fileBytes(decoded), fileBytes(whole)) << size;
    EXPECT_EQ(fileBytes(decoded).size(), size);
    struct stat info;
    ASSERT_EQ(stat(decoded.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
  }
}

// Bad Base64, wherever it shows (after parts were written, too), leaves no file and no
// temporary file, and is named before a target that exists or a folder that is missing.
TEST_F(ExportFileTest, BadBase64LeavesNothingAndComesFirst) {
  const std::string good = base64Encode(std::string(3 * 64 * 1024 * 2 + 5, 'z'));
  std::string lateFault = good;
  lateFault[lateFault.size() - 10] = '*';
  std::ofstream(folder_ + "/taken") << "keep";
  for (const std::string& base64 : {std::string("QQ="), std::string("*QUJD"), lateFault, good + "QR=="}) {
    for (const std::string& target : {folder_ + "/new.csv", folder_ + "/taken", folder_ + "/absent/new.csv"}) {
      EXPECT_FALSE(writeDecodedExport(base64, target)) << target;
      EXPECT_EQ(names(), std::vector<std::string>{"taken"}) << target;
    }
  }
  EXPECT_EQ(fileBytes(folder_ + "/taken"), "keep");
}

// Good Base64 meets the same refusals as a file given whole, with the same messages.
TEST_F(ExportFileTest, DecodedExportsFailAsWholeOnes) {
  std::ofstream(folder_ + "/taken") << "keep";
  const struct {
    std::string target;
    std::string code;
    std::string message;
  } cases[] = {
      {folder_ + "/taken", "output_exists",
       "The output already exists. Choose a new --out path; Vantry never silently overwrites exports."},
      {folder_ + "/absent/report.csv", "export_failed", "Could not prepare an export in " + folder_ + "/absent."},
  };
  for (const auto& c : cases) {
    try {
      writeDecodedExport("QUJD", c.target);
      ADD_FAILURE() << c.target;
    } catch (const AgentFailure& failure) {
      EXPECT_EQ(failure.code, c.code);
      EXPECT_EQ(failure.message, c.message);
    }
  }
  // A write that fails on the way (a full disk) leaves no temporary file behind.
  testing::FaultInjectingFileSystem fs;
  fs.failWhen([](const testing::FaultInjectingFileSystem::Operation& op) { return op.name == "writeNewFile"; }, ENOSPC);
  try {
    writeDecodedExport(base64Encode(std::string(500000, 'q')), folder_ + "/full.csv", fs);
    ADD_FAILURE() << "a failed write was reported as written";
  } catch (const AgentFailure& failure) {
    EXPECT_EQ(failure.code, "export_failed");
    EXPECT_EQ(failure.message, "Could not prepare an export in " + folder_ + ".");
  }
  EXPECT_EQ(names(), std::vector<std::string>{"taken"});
  EXPECT_EQ(fileBytes(folder_ + "/taken"), "keep");
}

TEST(UrlCheckTest, AcceptsOnlyHttpsWithAHost) {
  for (const char* good : {"https://vantry.app/docs", "https://a", "https://user@host:8443/x?y#z", "https://[::1]/",
                           "https://a/%20b%C3%A9"}) {
    EXPECT_TRUE(isHttpsURLWithHost(good)) << good;
  }
  for (const char* bad : {"http://vantry.app", "HTTPS://vantry.app", "https://", "https:///path", "https://:443/",
                          "https://host:port/", "https://a b/", "ftp://x", "vantry.app", "", "https://a/%zz", "https://a/%2",
                          "https://a%"}) {
    EXPECT_FALSE(isHttpsURLWithHost(bad)) << bad;
  }
}

}  // namespace
}  // namespace pellam::cli
