#include <sys/stat.h>

#include <map>

#include "agent/wire/catalogue.h"
#include "host/app_commands.h"
#include "host_fixture.h"

namespace pellam::host::testing {
namespace {

using agent::AgentRequest;

const std::string kAppRequired(agent::failureRow(agent::FailureCode::appRequired).code);

TEST_F(HostFolderTest, AnswersAChangeSavesItAndRemovesTheRequest) {
  HostParts host(folders_);
  AgentRequest request = makeRequest("jobs.create", {{"name", "Cafe"}});
  place(request);
  auto handled = host.processor.handle(request.id.text() + ".json");
  ASSERT_TRUE(handled);
  EXPECT_EQ(handled->command, "jobs.create");
  EXPECT_EQ(handled->outcome, "ok");
  agent::AgentResponse answer = response(request.id);
  EXPECT_TRUE(answer.ok);
  EXPECT_EQ(answer.data, "{\"name\":\"Cafe\"}");
  EXPECT_EQ(answer.requestFingerprint, agent::AgentWire::fingerprint(request));
  EXPECT_EQ(jobsNamed("Cafe"), 1u);
  EXPECT_TRUE(names(folders_.requests).empty());
  host.processor.recover();  // drops the staged name of the published answer
  EXPECT_TRUE(names(folders_.staged).empty());
  struct stat info;
  ASSERT_EQ(stat(responsePath(request.id).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(HostFolderTest, IgnoresNamesThatAreNotRequests) {
  HostParts host(folders_);
  for (const char* name : {".0F8FAD5B-D9CB-469F-A165-70867728950E.pending", "abc.json",
                           "0F8FAD5B-D9CB-469F-A165-70867728950E.txt", "0F8FAD5B-D9CB-469F-A165-70867728950E.json.x"}) {
    writeFile(folders_.requests + "/" + name, "{}");
    EXPECT_FALSE(host.processor.handle(name)) << name;
  }
  EXPECT_EQ(names(folders_.requests).size(), 4u);
  EXPECT_TRUE(names(folders_.responses).empty());
}

TEST_F(HostFolderTest, NeverRunsAnAnsweredRequestAgain) {
  HostParts host(folders_);
  AgentRequest request = makeRequest("jobs.create", {{"name", "Once"}});
  place(request);
  host.processor.handle(request.id.text() + ".json");
  std::string first = readFile(responsePath(request.id));
  place(request);  // the same request again, as a confused client might
  auto handled = host.processor.handle(request.id.text() + ".json");
  ASSERT_TRUE(handled);
  EXPECT_EQ(handled->outcome, "already-answered");
  EXPECT_EQ(jobsNamed("Once"), 1u);
  EXPECT_EQ(readFile(responsePath(request.id)), first);
  EXPECT_TRUE(names(folders_.requests).empty());
}

struct GarbageCase {
  std::string label;
  std::function<void(const std::string& path, const Uuid& id)> make;
  std::string code;
  std::string message;       // empty: only the code is checked
  bool hasFingerprint;
};

TEST_F(HostFolderTest, GarbageInRequestsGetsAFailureAnswerAndIsSetAside) {
  const std::string elsewhere = root_ + "/elsewhere.json";
  const std::vector<GarbageCase> cases = {
      {"not JSON", [](const std::string& path, const Uuid&) { writeFile(path, "{not json"); }, "invalid_request", "",
       false},
      {"a key missing",
       [](const std::string& path, const Uuid& id) {
         writeFile(path, "{\"version\":1,\"id\":\"" + id.text() + "\",\"command\":\"jobs.list\"}");
       },
       "invalid_request", "", false},
      {"another identifier inside",
       [](const std::string& path, const Uuid&) { writeFile(path, agent::AgentWire::encode(makeRequest("jobs.list"))); },
       "invalid_request", "The request file's name does not match its identifier.", false},
      {"a folder", [](const std::string& path, const Uuid&) { std::filesystem::create_directory(path); },
       "invalid_request", "The request is not a regular file.", false},
      {"a symbolic link",
       [&](const std::string& path, const Uuid& id) {
         AgentRequest valid = makeRequest("jobs.list");
         valid.id = id;
         writeFile(elsewhere, agent::AgentWire::encode(valid));
         std::filesystem::create_symlink(elsewhere, path);
       },
       "invalid_request", "The request is not a regular file.", false},
      {"two gigabytes",
       [](const std::string& path, const Uuid&) {
         writeFile(path, "");
         ASSERT_EQ(::truncate(path.c_str(), 2'000'000'000), 0);
       },
       "request_too_large", "The request file exceeds 1 MiB.", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    HostParts host(folders_);
    Uuid id = Uuid::random();
    c.make(requestPath(id), id);
    auto handled = host.processor.handle(id.text() + ".json");
    ASSERT_TRUE(handled);
    EXPECT_EQ(handled->command, "-");
    agent::AgentResponse answer = response(id);
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.id, id);
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(answer.error->code, c.code);
    if (!c.message.empty()) {
      EXPECT_EQ(answer.error->message, c.message);
    }
    EXPECT_EQ(answer.requestFingerprint.has_value(), c.hasFingerprint);
    EXPECT_TRUE(names(folders_.requests).empty());
  }
  EXPECT_EQ(names(folders_.rejected).size(), cases.size());
  EXPECT_TRUE(std::filesystem::exists(elsewhere));  // the link was set aside, not followed
}

TEST_F(HostFolderTest, ARequestOfAnotherVersionIsRefusedWithItsFingerprint) {
  HostParts host(folders_);
  for (const char* command : {"jobs.create", "app.status"}) {
    AgentRequest request = makeRequest(command, {{"name", "X"}});
    request.version = 2;
    place(request);
    host.processor.handle(request.id.text() + ".json");
    agent::AgentResponse answer = response(request.id);
    ASSERT_TRUE(answer.error);
    EXPECT_EQ(answer.error->code, "unsupported_version");
    EXPECT_EQ(answer.requestFingerprint, agent::AgentWire::fingerprint(request));
  }
  EXPECT_EQ(jobsNamed("X"), 0u);
}

TEST_F(HostFolderTest, AnUnreadableDataFileIsNeverOverwritten) {
  HostParts host(folders_);
  writeFile(root_ + "/pellam.json", "{\"damaged\": true");
  AgentRequest create = makeRequest("jobs.create", {{"name", "X"}});
  place(create);
  host.processor.handle(create.id.text() + ".json");
  agent::AgentResponse answer = response(create.id);
  ASSERT_TRUE(answer.error);
  EXPECT_EQ(answer.error->code, "data_unreadable");
  EXPECT_EQ(readFile(root_ + "/pellam.json"), "{\"damaged\": true");

  AgentRequest status = makeRequest("app.status");
  place(status);
  host.processor.handle(status.id.text() + ".json");
  Json data = parseJson(*response(status.id).data);
  EXPECT_EQ(data.find("dataFile")->asString(), "unreadable");
}

TEST_F(HostFolderTest, LockedHostAnswersOnlyStatusShowAndUnlock) {
  HostParts host(folders_, RealFileSystem::shared(), /*locked=*/true);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"jobs.list", "app_locked"},  {"app.lock", "app_locked"},     {"backups.list", "app_locked"},
      {"app.status", "ok"},         {"app.show", kAppRequired}, {"app.unlock", "ok"},
      {"jobs.list", "ok"},
  };
  for (const auto& [command, outcome] : cases) {
    AgentRequest request = makeRequest(command);
    place(request);
    EXPECT_EQ(host.processor.handle(request.id.text() + ".json")->outcome, outcome) << command;
  }
  EXPECT_FALSE(host.heartbeat.locked());
  EXPECT_NE(readFile(folders_.status).find("\"locked\":false"), std::string::npos);
}

TEST_F(HostFolderTest, AppCommandsTheHostCannotCarryOutShareOneCode) {
  HostParts host(folders_);
  for (const std::string& command : agent::AgentCommands::appCommands()) {
    AgentRequest request = makeRequest(command);
    place(request);
    std::string outcome = host.processor.handle(request.id.text() + ".json")->outcome;
    bool real = command == "app.status" || command == "app.lock" || command == "app.unlock" ||
                command == "app.data-folder" || command == "backups.list";
    bool needsId = command == "backups.preview" || command == "backups.restore";
    EXPECT_EQ(outcome, real ? "ok" : needsId ? "invalid_argument" : kAppRequired) << command;
    if (!real && !needsId) {
      EXPECT_EQ(response(request.id).error->message, kAppRequiredMessage);
    }
  }
  AgentRequest extra = makeRequest("app.lock", {{"id", "x"}});
  place(extra);
  host.processor.handle(extra.id.text() + ".json");
  EXPECT_EQ(response(extra.id).error->message, "Unknown arguments for app.lock: id.");
}

// The app rows the host carries out and their required arguments hold each other: with all
// of them the command runs, without any one it is refused.
TEST_F(HostFolderTest, AppCommandsLackingARequiredArgumentAreRefused) {
  HostParts host(folders_);
  answer(host, makeRequest("jobs.create", {{"name", "First"}}));
  answer(host, makeRequest("jobs.create", {{"name", "Second"}}));  // the first file becomes a backup
  Json list = parseJson(*answer(host, makeRequest("backups.list")).data);
  ASSERT_EQ(list.find("items")->asArray().size(), 1u);
  std::string id = list.find("items")->asArray()[0].find("id")->asString();
  Json preview = parseJson(*answer(host, makeRequest("backups.preview", {{"id", id}})).data);
  std::string token = preview.find("preview")->asString();

  const std::map<std::string, std::map<std::string, std::string>> working = {
      {"backups.preview", {{"id", id}}},
      {"backups.restore", {{"id", id}, {"preview", token}}},
  };
  for (const auto& [command, arguments] : working) {
    const agent::CommandRow* row = agent::findCommand(command);
    ASSERT_NE(row, nullptr);
    ASSERT_FALSE(row->required.empty()) << command;
    for (std::string_view name : row->required) {
      SCOPED_TRACE(command + " without " + std::string(name));
      std::map<std::string, std::string> lacking = arguments;
      ASSERT_EQ(lacking.erase(std::string(name)), 1u);
      AgentRequest request = makeRequest(command, lacking);
      request.dryRun = true;
      EXPECT_FALSE(answer(host, request).ok);
    }
    AgentRequest complete = makeRequest(command, arguments);
    complete.dryRun = true;
    EXPECT_TRUE(answer(host, complete).ok) << command;
  }
}

// Pruning counts every entry named like a backup; only regular, visible files are offered.
TEST_F(HostFolderTest, BackupsListOffersOnlyRegularVisibleFiles) {
  HostParts host(folders_);
  answer(host, makeRequest("jobs.create", {{"name", "First"}}));
  answer(host, makeRequest("jobs.create", {{"name", "Second"}}));  // the first file becomes a backup
  const std::string backups = root_ + "/Backups";
  std::vector<std::string> real = names(backups);
  std::erase(real, std::string(ArchiveIO::kBackupOrderFileName));  // the record of the order made
  ASSERT_EQ(real.size(), 1u);
  writeFile(backups + "/.hidden.json", "{}");
  std::filesystem::create_directory(backups + "/folder.json");
  std::filesystem::create_symlink(backups + "/" + real[0], backups + "/link.json");

  Json list = parseJson(*answer(host, makeRequest("backups.list")).data);
  EXPECT_EQ(list.find("total")->numberLexeme(), "1");
  ASSERT_EQ(list.find("items")->asArray().size(), 1u);
  const Json& item = list.find("items")->asArray()[0];
  EXPECT_EQ(item.find("id")->asString(), real[0]);
  EXPECT_EQ(item.find("bytes")->numberLexeme(), std::to_string(std::filesystem::file_size(backups + "/" + real[0])));
}

TEST_F(HostFolderTest, BackupsAreRestoredOnlyWithAFreshPreviewToken) {
  HostParts host(folders_);
  answer(host, makeRequest("jobs.create", {{"name", "First"}}));
  answer(host, makeRequest("jobs.create", {{"name", "Second"}}));  // the first file becomes a backup

  Json list = parseJson(*answer(host, makeRequest("backups.list")).data);
  EXPECT_EQ(list.find("total")->numberLexeme(), "1");
  ASSERT_EQ(list.find("items")->asArray().size(), 1u);
  std::string id = list.find("items")->asArray()[0].find("id")->asString();

  agent::AgentResponse missing = answer(host, makeRequest("backups.preview", {{"id", "pellam-1-NOPE.json"}}));
  EXPECT_EQ(missing.error->code, "not_found");
  agent::AgentResponse traversal = answer(host, makeRequest("backups.preview", {{"id", "../pellam.json"}}));
  EXPECT_EQ(traversal.error->code, "not_found");

  Json preview = parseJson(*answer(host, makeRequest("backups.preview", {{"id", id}})).data);
  EXPECT_EQ(preview.find("jobs")->numberLexeme(), "1");
  std::string token = preview.find("preview")->asString();

  agent::AgentResponse wrong = answer(host, makeRequest("backups.restore", {{"id", id}, {"preview", "x"}}));
  EXPECT_EQ(wrong.error->code, "preview_conflict");
  EXPECT_TRUE(wrong.error->retryable);

  AgentRequest dry = makeRequest("backups.restore", {{"id", id}, {"preview", token}});
  dry.dryRun = true;
  EXPECT_TRUE(answer(host, dry).ok);
  EXPECT_EQ(jobsNamed("Second"), 1u);

  agent::AgentResponse restored = answer(host, makeRequest("backups.restore", {{"id", id}, {"preview", token}}));
  ASSERT_TRUE(restored.ok);
  EXPECT_EQ(jobsNamed("First"), 1u);
  EXPECT_EQ(jobsNamed("Second"), 0u);
  // The file the restore replaced was backed up first.
  std::vector<std::string> kept = names(root_ + "/Backups");
  EXPECT_EQ(std::count_if(kept.begin(), kept.end(), [](const std::string& name) { return isBackupFileName(name); }), 2);

  // The records changed since the preview: the same token no longer restores.
  agent::AgentResponse stale = answer(host, makeRequest("backups.restore", {{"id", id}, {"preview", token}}));
  EXPECT_EQ(stale.error->code, "preview_conflict");
}

}  // namespace
}  // namespace pellam::host::testing
