#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/file_system.h"
#include "core/uuid.h"
#include "host/agent_folders.h"
#include "host/app_commands.h"
#include "host/archive_store.h"
#include "host/command_outcome.h"
#include "host/heartbeat.h"
#include "host/held_answers.h"
#include "host/response_outbox.h"

namespace pellam::host {

// What became of one request file, for the log: never its arguments or result.
struct HandledRequest {
  std::string id;       // the identifier from the file name
  std::string command;  // a catalogue name, or "-" when the file held none
  std::string outcome;  // "ok", a failure code, or "already-answered"
};

// Answers one request file at a time: reads it (refusing what is not a request), runs an
// app command or the engine, saves the archive when the command changed it, and publishes
// the answer exactly once (host/response_outbox.h), then removes the request file.
class RequestProcessor {
 public:
  using Clock = std::function<Instant()>;

  RequestProcessor(std::shared_ptr<FileSystem> fs, AgentFolders folders, ArchiveStore& store, Heartbeat& heartbeat,
                   Engine engine, Clock clock = Instant::now,
                   HeldAnswers::Monotonic monotonic = std::chrono::steady_clock::now);

  // Settles the answers an interrupted run left staged (ResponseOutbox::settle).
  ResponseOutbox::Settled recover();

  // Handles Requests/<name>. None when the name is not a request's (hidden, not <UUID>.json)
  // or the file is gone. Throws when the file system fails; the request file then stays and
  // is tried again later.
  std::optional<HandledRequest> handle(const std::string& name);

  // Withdraws the held answers whose hold has passed (host/held_answers.h); handle() does
  // too, before it looks for an answer.
  void withdrawDue();

  // Uses idle time to learn what a coming change will need (the data file's token).
  void prepare();

 private:
  struct Answer {
    agent::AgentResponse response;
    CommandOutcome outcome;  // its result is already in `response`
    std::string command = "-";
    std::string bytes;  // `response` encoded; empty until encoded() (an answer can be 32 MB)
    // Withdrawn after a short hold instead of kept for replays: running it again is harmless.
    bool held = false;

    const std::string& encoded() {
      if (bytes.empty()) bytes = agent::AgentWire::encode(response);
      return bytes;
    }
  };
  // `status` is the request file's, as just read.
  Answer answer(const std::string& path, const Uuid& id, const FileStatus& status);
  agent::AgentResponse run(const agent::AgentRequest& request, const agent::CommandRow* row, CommandOutcome& outcome);
  // Publishes the answer, saving its change first; false, with nothing saved or published,
  // when the data file changed since the command read it (unless `lastRun`: that is then
  // answered as a failure).
  bool commit(const Uuid& id, Answer& answer, bool lastRun);
  void answerSaveFailure(const Uuid& id, Answer& answer, std::exception_ptr error);
  void publish(const Uuid& id, Answer& answer);
  void setAside(const std::string& path, const std::string& name);
  void removeRequest(const std::string& path, const std::string& name);

  std::shared_ptr<FileSystem> fs_;
  AgentFolders folders_;
  ArchiveStore& store_;
  Heartbeat& heartbeat_;
  AppCommands appCommands_;
  Engine engine_;
  Clock clock_;
  ResponseOutbox outbox_;
  HeldAnswers held_;
};

}  // namespace pellam::host
