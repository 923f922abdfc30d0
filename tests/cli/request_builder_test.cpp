#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "agent/wire/failure.h"
#include "cli/options.h"
#include "cli/request_builder.h"
#include "core/base64.h"

namespace pellam::cli {
namespace {

using agent::AgentFailure;
using Arguments = std::map<std::string, std::string>;

const Instant kNow = Instant{800000000};

class RequestBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pellam-request-test-XXXXXX";
    folder_ = mkdtemp(pattern);
    write("args.json", R"({"limit": 5, "archived": false, "note": "a/b", "none": null, "obj": {"b": 1, "a": [true, "x/y"]}})");
    write("list.json", "[1, 2]");
    write("scalar.json", "5");
    write("broken.json", "{\"a\":");
    write("patch.json", "{\"name\":\"Caf\xc3\xa9\"}");
    write("latin1.json", "{\"name\":\"Caf\xe9\"}");
    write("data.CSV", "Job,Start,End\n");
    write("backup", "{}");
    write(".hidden", "{}");
    write("exact", std::string(600000, 'x'));
    std::filesystem::create_directory(folder_ + "/folder");
    std::filesystem::create_symlink(folder_ + "/patch.json", folder_ + "/link.json");
    // One byte over the limit, without writing 600 kB of data.
    std::ofstream(folder_ + "/big.csv").close();
    ::truncate((folder_ + "/big.csv").c_str(), 600001);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void write(const std::string& name, const std::string& bytes) { std::ofstream(folder_ + "/" + name) << bytes; }

  // The command line with $ standing for the fixture folder.
  std::vector<std::string> line(std::vector<std::string> args) const {
    for (std::string& arg : args) {
      if (auto at = arg.find('$'); at != std::string::npos) arg.replace(at, 1, folder_);
    }
    return args;
  }

  agent::AgentRequest build(const std::vector<std::string>& args) const {
    return buildRequest(CLIOptions::parse(line(args)), kNow);
  }

  std::string folder_;
};

struct TranslationCase {
  std::vector<std::string> args;
  std::string command;
  Arguments arguments;
};

TEST_F(RequestBuilderTest, CommandLinesBecomeTheseRequests) {
  const std::vector<TranslationCase> cases = {
      {{"capabilities"}, "capabilities", {}},
      {{"jobs", "list", "--archived", "true", "--query", "caf"}, "jobs.list", {{"archived", "true"}, {"query", "caf"}}},
      {{"jobs", "show", "J1"}, "jobs.show", {{"id", "J1"}}},
      {{"jobs", "show"}, "jobs.show", {}},
      {{"jobs", "create", "--name", "N", "--rate", "12.5", "--currency", "USD"},
       "jobs.create",
       {{"name", "N"}, {"rate", "12.5"}, {"currency", "USD"}}},
      {{"jobs", "update", "J1", "--if-match", "R", "--patch", "{}"},
       "jobs.update",
       {{"id", "J1"}, {"if-match", "R"}, {"patch", "{}"}}},
      {{"jobs", "archive", "J1", "--archived", "false"}, "jobs.archive", {{"id", "J1"}, {"archived", "false"}}},
      {{"jobs", "copy", "J1", "--name", "C"}, "jobs.copy", {{"id", "J1"}, {"name", "C"}}},
      {{"timer", "status", "--job", "J"}, "timer.status", {{"job", "J"}}},
      {{"timer", "clock-in", "J"}, "timer.clock-in", {{"job", "J"}}},
      {{"timer", "clock-out"}, "timer.clock-out", {}},
      {{"timer", "clock-out", "E"}, "timer.clock-out", {{"entry", "E"}}},
      {{"timer", "break", "E", "--paid", "true", "--kind", "Break"},
       "timer.break",
       {{"entry", "E"}, {"paid", "true"}, {"kind", "Break"}}},
      {{"timer", "resume", "E"}, "timer.resume", {{"entry", "E"}}},
      {{"entries", "list", "--range", "week"}, "entries.list", {{"range", "week"}}},
      {{"entries", "show", "E"}, "entries.show", {{"id", "E"}}},
      {{"entries", "create", "--job", "J", "--start", "S", "--end", "T"},
       "entries.create",
       {{"job", "J"}, {"start", "S"}, {"end", "T"}}},
      {{"entries", "update", "E", "--running", "false"}, "entries.update", {{"id", "E"}, {"running", "false"}}},
      {{"entries", "copy", "E"}, "entries.copy", {{"id", "E"}}},
      {{"entries", "delete", "E"}, "entries.delete", {{"id", "E"}}},
      {{"preferences", "get"}, "preferences.get", {}},
      {{"preferences", "set", "--patch", "{\"weekStartsOn\":2}"}, "preferences.set", {{"patch", "{\"weekStartsOn\":2}"}}},
      {{"tags", "list"}, "tags.list", {}},
      {{"tags", "rename", "old", "new"}, "tags.rename", {{"tag", "old"}, {"to", "new"}}},
      {{"tags", "merge", "a", "b"}, "tags.merge", {{"tag", "a"}, {"to", "b"}}},
      {{"tags", "rename", "old", "--to", "new"}, "tags.rename", {{"tag", "old"}, {"to", "new"}}},
      {{"tags", "remove", "x"}, "tags.remove", {{"tag", "x"}}},
      {{"filters", "list"}, "filters.list", {}},
      {{"filters", "create", "--name", "W", "--range", "This week", "--job-id", "U"},
       "filters.create",
       {{"name", "W"}, {"range", "This week"}, {"job-id", "U"}}},
      {{"filters", "update", "F", "--patch", "{}"}, "filters.update", {{"id", "F"}, {"patch", "{}"}}},
      {{"filters", "delete", "F"}, "filters.delete", {{"id", "F"}}},
      {{"reports", "summary", "--range", "week", "--job", "J"}, "reports.summary", {{"range", "week"}, {"job", "J"}}},
      {{"reports", "daily", "--from", "2026-01-01", "--through", "2026-01-31"},
       "reports.daily",
       {{"from", "2026-01-01"}, {"through", "2026-01-31"}}},
      {{"reports", "payperiod", "--job", "J"}, "reports.payperiod", {{"job", "J"}}},
      {{"reports", "pay-period", "--job", "J", "--at", "A"}, "reports.payperiod", {{"job", "J"}, {"at", "A"}}},
      {{"reports", "print", "--job", "J", "--range", "week"}, "reports.print", {{"job", "J"}, {"range", "week"}}},
      {{"export"}, "export", {}},
      {{"export", "csv", "--out", "x.csv"}, "export", {{"format", "csv"}}},
      {{"export", "--format", "xlsx", "--job", "J"}, "export", {{"format", "xlsx"}, {"job", "J"}}},
      {{"app", "status"}, "app.status", {}},
      {{"app", "show"}, "app.show", {}},
      {{"app", "settings"}, "app.settings", {}},
      {{"app", "help"}, "app.help", {}},
      {{"app", "data-folder"}, "app.data-folder", {}},
      {{"app", "lock"}, "app.lock", {}},
      {{"app", "unlock"}, "app.unlock", {}},
      {{"ui", "navigate", "jobs", "--id", "J"}, "ui.navigate", {{"screen", "jobs"}, {"id", "J"}}},
      {{"ui", "edit-job", "J"}, "ui.edit-job", {{"id", "J"}}},
      {{"ui", "edit-entry", "E"}, "ui.edit-entry", {{"id", "E"}}},
      {{"ui", "dismiss"}, "ui.dismiss", {}},
      {{"cloud", "status"}, "cloud.status", {}},
      {{"cloud", "enable"}, "cloud.enable", {}},
      {{"cloud", "disable"}, "cloud.disable", {}},
      {{"cloud", "sync"}, "cloud.sync", {}},
      {{"notifications", "status"}, "notifications.status", {}},
      {{"notifications", "request"}, "notifications.request", {}},
      {{"location", "status"}, "location.status", {}},
      {{"location", "start"}, "location.start", {}},
      {{"location", "stop"}, "location.stop", {}},
      {{"backups", "list"}, "backups.list", {}},
      {{"backups", "preview", "B"}, "backups.preview", {{"id", "B"}}},
      {{"backups", "restore", "B", "--preview", "T"}, "backups.restore", {{"id", "B"}, {"preview", "T"}}},
      {{"command", "jobs.list", "--limit", "5"}, "jobs.list", {{"limit", "5"}}},
      {{"command", "app.status"}, "app.status", {}},
      {{"command", "jobs.list", "--args-file", "$/args.json"},
       "jobs.list",
       {{"limit", "5"},
        {"archived", "false"},
        {"note", "a/b"},
        {"none", "null"},
        {"obj", "{\"a\":[true,\"x\\/y\"],\"b\":1}"}}},
      {{"jobs", "update", "J", "--patch-file", "$/patch.json"},
       "jobs.update",
       {{"id", "J"}, {"patch", "{\"name\":\"Caf\xc3\xa9\"}"}}},
      {{"import", "preview", "$/data.CSV"},
       "import.preview",
       {{"content", base64Encode("Job,Start,End\n")}, {"format", "csv"}}},
      {{"import", "apply", "--file", "$/data.CSV", "--format", "json", "--preview", "T"},
       "import.apply",
       {{"content", base64Encode("Job,Start,End\n")}, {"format", "json"}, {"preview", "T"}}},
      {{"import", "preview", "$/backup"}, "import.preview", {{"content", base64Encode("{}")}, {"format", ""}}},
      {{"import", "preview", "$/.hidden"}, "import.preview", {{"content", base64Encode("{}")}, {"format", ""}}},
      {{"import", "preview", "--content", "e30="}, "import.preview", {{"content", "e30="}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    agent::AgentRequest request = build(c.args);
    EXPECT_EQ(request.command, c.command);
    EXPECT_EQ(request.arguments, c.arguments);
    EXPECT_EQ(request.version, 1);
    EXPECT_EQ(request.createdAt, kNow);
    EXPECT_FALSE(request.dryRun);
  }
}

TEST_F(RequestBuilderTest, IdentityAndDryRunComeFromTheOptions) {
  agent::AgentRequest request =
      build({"jobs", "list", "--dry-run", "--request-id", "0f8fad5b-d9cb-469f-a165-70867728950e"});
  EXPECT_EQ(request.id.text(), "0F8FAD5B-D9CB-469F-A165-70867728950E");
  EXPECT_TRUE(request.dryRun);
  EXPECT_NE(build({"jobs", "list"}).id, build({"jobs", "list"}).id);  // fresh each time
}

TEST_F(RequestBuilderTest, AnImportFileOfExactlyTheLimitIsRead) {
  agent::AgentRequest request = build({"import", "preview", "$/exact"});
  EXPECT_EQ(request.arguments.at("content"), base64Encode(std::string(600000, 'x')));
}

struct FailureCase {
  std::vector<std::string> args;
  std::string code;
  std::string message;
};

TEST_F(RequestBuilderTest, TranslationFailuresCarryTheirCodesAndMessages) {
  const std::string tooLarge = "Choose a regular file no larger than 600000 bytes.";
  const std::vector<FailureCase> cases = {
      {{"command"}, "invalid_argument", "Use vantry command <command.name> --args-file <json>."},
      {{"command", "a", "b"}, "invalid_argument", "Use vantry command <command.name> --args-file <json>."},
      {{"command", "jobs.nope"}, "unknown_command", "Unknown command: jobs.nope. Run vantry help."},
      {{"export", "csv", "x"}, "invalid_argument", "Use vantry export [json|csv|xlsx|txt] --out <path>."},
      {{"export", "csv", "--format", "xlsx"}, "invalid_argument", "Specify the export format once."},
      {{"jobs"}, "invalid_argument", "Supply an operation. Run vantry help."},
      {{"help", "extra"}, "unknown_command", "Unknown command: help.extra. Run vantry help."},
      {{"jobs", "delete", "J"}, "unknown_command", "Unknown command: jobs.delete. Run vantry help."},
      {{"command", "jobs.list", "--args-file", "$/list.json"}, "invalid_argument",
       "--args-file must contain a JSON object."},
      {{"jobs", "list", "--limit", "10", "--args-file", "$/args.json"}, "invalid_argument",
       "Duplicate argument: limit."},
      {{"export", "csv", "--args-file", "$/args.json", "--limit", "1"}, "invalid_argument",
       "Duplicate argument: limit."},
      {{"jobs", "update", "J", "--patch", "{}", "--patch-file", "$/patch.json"}, "invalid_argument",
       "Specify --patch or --patch-file once."},
      {{"jobs", "update", "J", "--patch-file", "$/latin1.json"}, "invalid_argument", "A patch file must be UTF-8 JSON."},
      {{"jobs", "show", "A", "--id", "B"}, "invalid_argument", "Specify id once."},
      {{"tags", "rename", "a", "b", "--to", "c"}, "invalid_argument", "Specify to once."},
      {{"import", "preview", "$/data.CSV", "--content", "e30="}, "invalid_argument",
       "Specify a file or base64 content once."},
      {{"import", "preview", "$/data.CSV", "--file", "$/backup"}, "invalid_argument", "Specify file once."},
      {{"timer", "clock-out", "E1", "E2"}, "invalid_argument", "Unexpected positional arguments: E2."},
      {{"jobs", "list", "a", "b"}, "invalid_argument", "Unexpected positional arguments: a b."},
      {{"ui", "navigate", "jobs", "--id", "J", "--foo", "1"}, "invalid_argument",
       "Unknown arguments for ui.navigate: foo."},
      {{"app", "lock", "--id", "J"}, "invalid_argument", "Unknown arguments for app.lock: id."},
      {{"backups", "restore", "B", "--zeta", "1", "--alpha", "2"}, "invalid_argument",
       "Unknown arguments for backups.restore: alpha, zeta."},
      {{"jobs", "list", "--out", "x"}, "invalid_argument", "--out is only available for export."},
      {{"app", "status", "--out", "x"}, "invalid_argument", "--out is only available for export."},
      {{"import", "preview", "$/big.csv"}, "invalid_argument", tooLarge},
      {{"import", "preview", "$/folder"}, "invalid_argument", tooLarge},
      {{"jobs", "update", "J", "--patch-file", "$/link.json"}, "invalid_argument", tooLarge},
      {{"command", "jobs.list", "--args-file", "$/folder"}, "invalid_argument",
       "Choose a regular file no larger than 1048576 bytes."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    try {
      build(c.args);
      ADD_FAILURE() << "no failure";
    } catch (const AgentFailure& failure) {
      EXPECT_EQ(failure.code, c.code);
      EXPECT_EQ(failure.message, c.message);
      EXPECT_FALSE(failure.retryable);
    }
  }
}

TEST_F(RequestBuilderTest, FileAndJsonErrorsAreNotArgumentFailures) {
  // These reach the top level as operation_failed (exit 1), not as invalid_argument.
  for (std::vector<std::string> args : {std::vector<std::string>{"command", "jobs.list", "--args-file", "$/missing"},
                                        {"command", "jobs.list", "--args-file", "$/broken.json"},
                                        {"command", "jobs.list", "--args-file", "$/scalar.json"},
                                        {"import", "preview", "$/missing.csv"}}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    try {
      build(args);
      ADD_FAILURE() << "no failure";
    } catch (const AgentFailure& failure) {
      ADD_FAILURE() << failure.code;
    } catch (const std::exception& error) {
      EXPECT_NE(std::string(error.what()), "");
    }
  }
}

}  // namespace
}  // namespace pellam::cli
