// Answers, set-aside requests and abandoned temporary requests are kept a week of the time
// the host ran, whatever the wall clock or the files' times say, across restarts.
#include <sys/stat.h>

#include "host/answer_retention.h"
#include "host_fixture.h"

namespace pellam::host::testing {
namespace {

using std::chrono::steady_clock;
using namespace std::chrono_literals;

class AnswerRetentionTest : public HostFolderTest {
 protected:
  // One file of each kind that is kept a week, each with its modification time `shift` from
  // now (a clock set forward leaves files that look old; one set back, files from the future).
  std::vector<std::string> placeKeptFiles(std::chrono::seconds shift) {
    std::vector<std::string> paths = {responsePath(Uuid::random()), folders_.rejected + "/junk.json.1",
                                      folders_.requests + "/." + Uuid::random().text() + ".pending"};
    for (const std::string& path : paths) {
      writeFile(path, "{}");
      std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() + shift);
    }
    return paths;
  }
  std::size_t present(const std::vector<std::string>& paths) const {
    return std::count_if(paths.begin(), paths.end(), [](const std::string& p) { return std::filesystem::exists(p); });
  }
  AnswerRetention retention() { return AnswerRetention(RealFileSystem::shared(), folders_, [this] { return now_; }); }

  steady_clock::time_point now_ = steady_clock::time_point() + 5000h;
};

TEST_F(AnswerRetentionTest, FilesStayAWeekOfRunningTimeWhateverTheirTimesSay) {
  struct Case {
    const char* label;
    std::chrono::seconds shift;
  };
  const Case cases[] = {
      {"the clock was set eight days forward", -std::chrono::hours(24 * 8)},
      {"the clock was set a year back", std::chrono::hours(24 * 366)},
      {"times as they should be", 0s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove(folders_.retention);
    std::vector<std::string> paths = placeKeptFiles(c.shift);
    std::string request = requestPath(Uuid::random());  // waiting: never the pruner's
    writeFile(request, "{}");
    std::filesystem::last_write_time(request, std::filesystem::file_time_type::clock::now() - 24h * 30);

    AnswerRetention host = retention();
    host.prune();
    EXPECT_EQ(present(paths), 3u);
    now_ += AnswerRetention::kKeep;
    host.prune();
    EXPECT_EQ(present(paths), 3u);
    now_ += 1ms;
    host.prune();
    EXPECT_EQ(present(paths), 0u);
    EXPECT_TRUE(std::filesystem::exists(request));
    std::filesystem::remove(request);
  }
}

// Running time adds up across restarts; time while no host runs does not count.
TEST_F(AnswerRetentionTest, RunningTimeAddsUpAcrossRestarts) {
  std::vector<std::string> paths = placeKeptFiles(0s);
  {
    AnswerRetention first = retention();
    first.prune();
    now_ += 4 * 24h;
    first.prune();
  }
  now_ += 30 * 24h;  // down for a month: the monotonic clock of the next host starts anew
  AnswerRetention second = retention();
  now_ += 3 * 24h;
  second.prune();
  EXPECT_EQ(second.ranFor(), 7 * 24h);
  EXPECT_EQ(present(paths), 3u);
  now_ += 1s;
  second.prune();
  EXPECT_EQ(present(paths), 0u);
}

// Whatever the ledger held, it only ever makes files stay longer: a damaged or foreign one
// starts afresh. A held answer's mark goes with it.
TEST_F(AnswerRetentionTest, ADamagedLedgerKeepsEverythingAFullWeekAndMarksGoWithTheirAnswers) {
  Uuid id = Uuid::random();
  writeFile(responsePath(id), "{}");
  writeFile(folders_.heldMarkPath(id), "");
  const std::string seenBeforeItsTime =
      R"({"firstSeen":{"Responses/)" + id.text() + R"(.json":-1},"ranMilliseconds":604800001})";
  for (const std::string& ledger : {std::string("not json"), std::string(R"({"ranMilliseconds":-5,"firstSeen":{}})"),
                                    seenBeforeItsTime}) {
    SCOPED_TRACE(ledger);
    std::filesystem::remove(folders_.retention);
    writeFile(folders_.retention, ledger);
    AnswerRetention host = retention();
    now_ += 6 * 24h;
    host.prune();
    EXPECT_TRUE(std::filesystem::exists(responsePath(id)));
  }
  AnswerRetention host = retention();
  host.prune();
  now_ += AnswerRetention::kKeep + 1s;
  host.prune();
  EXPECT_EQ(names(folders_.responses), std::vector<std::string>{});
  struct stat ledger {};
  ASSERT_EQ(::stat(folders_.retention.c_str(), &ledger), 0);
  EXPECT_EQ(ledger.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace pellam::host::testing
