#include "host/request_processor.h"

#include <new>

#include "agent/wire/catalogue.h"
#include "agent/wire/command_table.h"
#include "core/data_error.h"
#include "core/json.h"

namespace pellam::host {

using agent::AgentFailure;
using agent::AgentRequest;
using agent::AgentResponse;

namespace {

constexpr std::size_t kMaximumResponseBytes = 32'000'000;

AgentFailure invalidRequest(const std::string& message) { return AgentFailure("invalid_request", message, false); }

// Any error of a command, as the failure record its answer carries. Errors of the records
// and of argument text are the caller's to fix; anything else is the host's.
AgentFailure failureOf(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const AgentFailure& failure) {
    return failure;
  } catch (const DataError& failure) {
    return AgentFailure::invalidArgument(failure.what());
  } catch (const JsonParseError& failure) {
    return AgentFailure::invalidArgument(failure.what());
  } catch (const JsonTypeError& failure) {
    return AgentFailure::invalidArgument(failure.what());
  } catch (const std::bad_alloc&) {
    return AgentFailure("operation_failed", "The app ran out of memory while carrying out the command.", false);
  } catch (const std::exception& failure) {
    return AgentFailure("operation_failed", failure.what(), false);
  }
}

AgentResponse failureResponse(const Uuid& id, AgentFailure failure,
                              std::optional<std::string> fingerprint = std::nullopt) {
  AgentResponse response;
  response.id = id;
  response.ok = false;
  response.error = std::move(failure);
  response.requestFingerprint = std::move(fingerprint);
  return response;
}

}  // namespace

RequestProcessor::RequestProcessor(std::shared_ptr<FileSystem> fs, AgentFolders folders, ArchiveStore& store,
                                   Heartbeat& heartbeat, Engine engine, Clock clock)
    : fs_(fs),
      folders_(folders),
      store_(store),
      heartbeat_(heartbeat),
      appCommands_(folders_, store, heartbeat),
      engine_(std::move(engine)),
      clock_(std::move(clock)),
      outbox_(fs, folders) {}

std::vector<Uuid> RequestProcessor::recover() {
  std::vector<Uuid> published = outbox_.settle([this] { return store_.diskState(); });
  for (const Uuid& id : published) {
    std::string path = folders_.requestPath(id);
    if (fs_->status(path).exists) removeRequest(path, path.substr(folders_.requests.size() + 1));
  }
  return published;
}

std::optional<HandledRequest> RequestProcessor::handle(const std::string& name) {
  std::optional<Uuid> id = agent::idFromFileName(name);
  if (!id) return std::nullopt;
  std::string path = folders_.requests + "/" + name;

  // An answer staged by an interrupted run is decided before anything else runs.
  recover();
  if (!fs_->status(path).exists) return std::nullopt;
  if (outbox_.answered(*id)) {
    removeRequest(path, name);  // never run again
    return HandledRequest{id->text(), "-", "already-answered"};
  }

  Answer result = answer(path, *id);
  commit(*id, result);
  if (result.command == "-") {
    setAside(path, name);
  } else {
    removeRequest(path, name);
  }
  const AgentResponse& response = result.response;
  return HandledRequest{id->text(), result.command, response.ok ? "ok" : response.error->code};
}

RequestProcessor::Answer RequestProcessor::answer(const std::string& path, const Uuid& id) {
  Answer result;
  FileStatus status = fs_->status(path);
  if (!status.isRegularFile) {
    result.response = failureResponse(id, invalidRequest("The request is not a regular file."));
    return result;
  }
  if (status.size > agent::AgentWire::maximumRequestBytes) {
    result.response = failureResponse(id, AgentFailure("request_too_large", "The request file exceeds 1 MiB.", false));
    return result;
  }
  AgentRequest request;
  try {
    std::string bytes = fs_->readFile(path);
    if (bytes.size() > agent::AgentWire::maximumRequestBytes) {
      result.response =
          failureResponse(id, AgentFailure("request_too_large", "The request file exceeds 1 MiB.", false));
      return result;
    }
    request = agent::AgentWire::decodeRequest(bytes);
  } catch (const FileSystemError&) {
    throw;  // tried again later
  } catch (const std::exception& error) {
    result.response =
        failureResponse(id, invalidRequest(std::string("The request file is not a valid agent request: ") + error.what()));
    return result;
  }
  if (request.id != id) {
    result.response = failureResponse(id, invalidRequest("The request file's name does not match its identifier."));
    return result;
  }
  result.command = agent::findCommand(request.command) != nullptr ? request.command : "unknown";
  result.response = run(request, result.outcome);

  if (result.encoded().size() > kMaximumResponseBytes) {
    // Too large to answer, so it is not carried out either.
    if (result.outcome.changedInPlace) store_.forget();
    result.outcome = CommandOutcome();
    result.response = failureResponse(
        id, AgentFailure("response_too_large", "The response exceeds 32 MB. Narrow the export or list filters.", false),
        result.response.requestFingerprint);
    result.bytes = agent::AgentWire::encode(result.response);
  }
  return result;
}

AgentResponse RequestProcessor::run(const AgentRequest& request, CommandOutcome& outcome) {
  std::string fingerprint = agent::AgentWire::fingerprint(request);
  try {
    if (request.version != agent::kProtocolVersion) {
      throw AgentFailure("unsupported_version", "Update Vantry and the CLI to the same protocol version.", false);
    }
    if (heartbeat_.locked() && !agent::answeredWhileLocked(request.command)) {
      throw AgentFailure("app_locked", "Unlock Vantry in the app before using agent commands.", false);
    }
    outcome = agent::AgentCommands::isAppCommand(request.command)
                  ? appCommands_.run(request)
                  : engine_(request, store_.current(), clock_());
    AgentResponse response;
    response.id = request.id;
    response.ok = true;
    response.data = std::move(outcome.result);
    response.requestFingerprint = fingerprint;
    return response;
  } catch (...) {
    outcome = CommandOutcome();  // a failing command leaves the archive as it was
    return failureResponse(request.id, failureOf(std::current_exception()), fingerprint);
  }
}

void RequestProcessor::commit(const Uuid& id, Answer& answer) {
  if (!answer.outcome.changes()) {
    outbox_.publish(id, answer.encoded());
    return;
  }
  std::string before;
  std::string staged;
  try {
    before = store_.diskState();
    staged = outbox_.stage(id, answer.encoded(), before);
  } catch (...) {
    if (answer.outcome.changedInPlace) store_.forget();  // the change in memory is not kept
    throw;
  }
  std::optional<std::string> saveError;
  try {
    if (answer.outcome.replacement) {
      ArchiveReplacement& replacement = *answer.outcome.replacement;
      if (replacement.replacesUnreadableFile) {
        store_.recover(std::move(replacement.archive));
      } else {
        store_.save(std::move(replacement.archive));
      }
    } else {
      store_.saveCurrent();
    }
  } catch (const std::exception& error) {
    saveError = error.what();
  }
  // After a failed save the store has dropped its archive. A save can fail after the data
  // file was replaced (while pruning backups, say); then the change stands, and so does its
  // answer. Otherwise the staged answer goes and the failure is the answer.
  if (saveError && store_.diskState() == before) {
    outbox_.discard(staged);
    answer.outcome = CommandOutcome();
    answer.response = failureResponse(
        id, AgentFailure("save_failed", "Vantry could not save the records: " + *saveError, true),
        answer.response.requestFingerprint);
    outbox_.publish(id, agent::AgentWire::encode(answer.response));
    return;
  }
  outbox_.publishStaged(staged, id);
}

void RequestProcessor::prepare() {
  try {
    store_.learnState();
  } catch (const std::exception&) {
    // Learned when a change needs it.
  }
}

void RequestProcessor::setAside(const std::string& path, const std::string& name) {
  try {
    fs_->move(path, folders_.rejectedPath(name), Placement::neverReplace);
  } catch (const FileSystemError&) {
    fs_->remove(path);
  }
}

void RequestProcessor::removeRequest(const std::string& path, const std::string& name) {
  FileStatus status = fs_->status(path);
  if (!status.exists) return;
  if (status.isDirectory) {
    setAside(path, name);
  } else {
    fs_->remove(path);
  }
}

}  // namespace pellam::host
