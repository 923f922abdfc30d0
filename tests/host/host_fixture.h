#pragma once
// A data folder in /tmp with the agent folders prepared, a stand-in engine and helpers to
// drop requests and read answers, for the host's tests.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "agent/wire/wire.h"
#include "core/storage/archive_io.h"
#include "host/agent_folders.h"
#include "host/archive_store.h"
#include "host/heartbeat.h"
#include "host/request_processor.h"
#include "support/request_builders.h"

namespace pellam::host::testing {

// A stand-in for the engine: jobs.create appends a job named by `name`; jobs.list counts the
// jobs; anything else is unknown. The real engine is exercised end to end.
inline Engine fakeEngine() {
  return [](const agent::AgentRequest& request, const agent::CommandRow*, Archive& archive, const ValidationIndex&,
            agent::ArchiveIndexes&, Instant) -> CommandOutcome {
    if (request.command == "jobs.create") {
      Job job(request.arguments.at("name"));
      Json result = Json::object();
      result["name"] = job.name;
      if (!request.dryRun) archive.jobs.push_back(job);
      return {writeJson(result), !request.dryRun, std::nullopt, std::nullopt};
    }
    if (request.command == "jobs.list") {
      Json result = Json::object();
      result["total"] = archive.jobs.size();
      return {writeJson(result), false, std::nullopt, std::nullopt};
    }
    throw agent::AgentFailure("unknown_command", "Unknown command: " + request.command + ".", false);
  };
}

inline agent::AgentRequest makeRequest(const std::string& command, std::map<std::string, std::string> arguments = {}) {
  return pellam::testing::requestFor(command, std::move(arguments), Uuid::random(), Instant{800000000});
}

class HostFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pellam-host-test-XXXXXX";
    root_ = mkdtemp(pattern);
    folders_ = AgentFolders(root_);
    folders_.prepare(*RealFileSystem::shared());
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  std::string requestPath(const Uuid& id) const { return folders_.requests + "/" + id.text() + ".json"; }
  std::string responsePath(const Uuid& id) const { return folders_.responses + "/" + id.text() + ".json"; }

  void place(const agent::AgentRequest& request) { writeFile(requestPath(request.id), agent::AgentWire::encode(request)); }
  static void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
  }
  agent::AgentResponse response(const Uuid& id) const { return agent::AgentWire::decodeResponse(readFile(responsePath(id))); }
  // Places `request`, lets `host` (any parts with a processor) handle it, and returns the answer.
  template <typename Parts>
  agent::AgentResponse answer(Parts& host, const agent::AgentRequest& request) {
    place(request);
    host.processor.handle(request.id.text() + ".json");
    return response(request.id);
  }
  std::vector<std::string> names(const std::string& folder) const {
    std::vector<std::string> result;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) result.push_back(entry.path().filename());
    std::sort(result.begin(), result.end());
    return result;
  }
  Archive archive() const { return ArchiveIO(root_).load(); }
  std::size_t jobsNamed(const std::string& name) const {
    auto jobs = archive().jobs;
    return std::count_if(jobs.begin(), jobs.end(), [&](const Job& job) { return job.name == name; });
  }

  std::string root_;
  AgentFolders folders_{"/nonexistent"};
};

// One host's request-handling parts over a file system.
struct HostParts {
  explicit HostParts(const AgentFolders& folders, std::shared_ptr<FileSystem> fs = RealFileSystem::shared(),
                     bool locked = false)
      : store(folders.data, fs),
        heartbeat(fs, folders, locked),
        processor(fs, folders, store, heartbeat, fakeEngine()) {}
  ArchiveStore store;
  Heartbeat heartbeat;
  RequestProcessor processor;
};

}  // namespace pellam::host::testing
