#include "host/request_processor.h"

#include <cerrno>
#include <new>

#include "agent/wire/command_table.h"
#include "agent/wire/failure_messages.h"
#include "core/data_error.h"
#include "core/json.h"

namespace pellam::host {

using agent::AgentFailure;
using agent::AgentRequest;
using agent::AgentResponse;

namespace {

// How often a change is run again on a data file that something else keeps changing under it
// before the host gives up (and saves nothing).
constexpr int kRunsOnAChangingDataFile = 3;

AgentFailure invalidRequest(const std::string& message) { return AgentFailure::invalidRequest(message); }

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
    return AgentFailure::operationFailed("The app ran out of memory while carrying out the command.");
  } catch (const std::exception& failure) {
    return AgentFailure::operationFailed(failure.what());
  }
}

// Whether an error of the file system may go away by itself, so that the same request could
// succeed later: a full disk may be cleared, but a link or a file where a folder belongs (or
// the other way round) stays until someone moves it.
bool retryable(const FileSystemError& error) {
  switch (error.errnoValue()) {
    case ELOOP:
    case ENOTDIR:
    case EISDIR:
    case EINVAL:
    case ENAMETOOLONG:
      return false;
    default:
      return true;
  }
}

// The failure answered when a change could not be saved. A failure of the host's own making
// (a link where Backups/ belongs) keeps its code.
AgentFailure saveFailure(std::exception_ptr error) {
  const std::string prefix = "Vantry could not save the records: ";
  try {
    std::rethrow_exception(error);
  } catch (const AgentFailure& failure) {
    return failure;
  } catch (const DataError& failure) {
    return AgentFailure::saveFailed(prefix + failure.what(), false);
  } catch (const FileSystemError& failure) {
    return AgentFailure::saveFailed(prefix + failure.what(), retryable(failure));
  } catch (const std::bad_alloc&) {
    return AgentFailure::saveFailed(prefix + "the app ran out of memory.");
  } catch (const std::exception& failure) {
    return AgentFailure::saveFailed(prefix + failure.what());
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
                                   Heartbeat& heartbeat, Engine engine, Clock clock, HeldAnswers::Monotonic monotonic)
    : fs_(fs),
      folders_(folders),
      store_(store),
      heartbeat_(heartbeat),
      appCommands_(folders_, store, heartbeat),
      engine_(std::move(engine)),
      clock_(std::move(clock)),
      outbox_(fs, folders),
      held_(outbox_, std::move(monotonic)) {}

ResponseOutbox::Settled RequestProcessor::recover() {
  ResponseOutbox::Settled settled = outbox_.settle([this] { return store_.diskState(); });
  for (const Uuid& id : settled.published) {
    std::string path = folders_.requestPath(id);
    if (fs_->status(path).exists) removeRequest(path, path.substr(folders_.requests.size() + 1));
  }
  return settled;
}

std::optional<HandledRequest> RequestProcessor::handle(const std::string& name) {
  std::optional<Uuid> id = agent::idFromFileName(name);
  if (!id) return std::nullopt;
  std::string path = folders_.requests + "/" + name;

  // An answer staged by an interrupted run is decided before anything else runs.
  recover();
  held_.withdrawDue();
  FileStatus request = fs_->status(path);
  if (!request.exists) return std::nullopt;
  if (outbox_.answered(*id)) {
    removeRequest(path, name);  // never run again
    return HandledRequest{id->text(), "-", "already-answered"};
  }
  held_.beforeAnswering(*id);

  Answer result = answer(path, *id, request);
  // A change made on a data file that was changed meanwhile is not saved over it: it runs
  // again on the file as it now is.
  for (int run = 1; !commit(*id, result, run == kRunsOnAChangingDataFile); ++run) {
    result = answer(path, *id, fs_->status(path));
  }
  if (result.command == "-") {
    setAside(path, name);
  } else {
    removeRequest(path, name);
  }
  const AgentResponse& response = result.response;
  return HandledRequest{id->text(), result.command, response.ok ? "ok" : response.error->code};
}

RequestProcessor::Answer RequestProcessor::answer(const std::string& path, const Uuid& id, const FileStatus& status) {
  Answer result;
  if (!status.isRegularFile) {
    result.response = failureResponse(id, invalidRequest("The request is not a regular file."));
    return result;
  }
  if (status.size > agent::AgentWire::maximumRequestBytes) {
    result.response = failureResponse(id, AgentFailure::requestTooLarge(agent::kRequestFileTooLargeMessage));
    return result;
  }
  AgentRequest request;
  try {
    std::string bytes = fs_->readFile(path);
    if (bytes.size() > agent::AgentWire::maximumRequestBytes) {
      result.response = failureResponse(id, AgentFailure::requestTooLarge(agent::kRequestFileTooLargeMessage));
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
  // The one look-up of the command: everything after reads its row.
  const agent::CommandRow* row = agent::findCommand(request.command);
  result.command = row != nullptr ? request.command : "unknown";
  result.response = run(request, row, result.outcome);
  // Whether the command only looks, never whether this run happened to change nothing: a
  // clock-in that found its timer running must not run again on a replay.
  result.held = (row != nullptr && row->readOnly) || (request.dryRun && !result.outcome.changes());

  // Measured before it is written: an answer too large to send is never built.
  if (agent::AgentWire::encodedSize(result.response) > agent::AgentWire::maximumResponseBytes) {
    // Too large to answer, so it is not carried out either.
    if (result.outcome.changedInPlace) store_.forget();
    result.outcome = CommandOutcome();
    result.response = failureResponse(id, AgentFailure::responseTooLarge(agent::kResponseTooLargeMessage),
                                      result.response.requestFingerprint);
    result.bytes = agent::AgentWire::encode(result.response);
  }
  return result;
}

AgentResponse RequestProcessor::run(const AgentRequest& request, const agent::CommandRow* row,
                                    CommandOutcome& outcome) {
  std::string fingerprint = agent::AgentWire::fingerprint(request);
  try {
    if (request.version != agent::kProtocolVersion) {
      throw AgentFailure::unsupportedVersion(agent::kProtocolVersionMismatchMessage);
    }
    if (heartbeat_.locked() && !(row != nullptr && row->answeredWhileLocked)) {
      throw AgentFailure::appLocked(agent::kAppLockedMessage);
    }
    if (row != nullptr && row->performer == agent::Performer::app) {
      outcome = appCommands_.run(request, *row);
    } else {
      Archive& archive = store_.current();
      outcome = engine_(request, row, archive, store_.knownValidFor(row), store_.indexes(), clock_());
    }
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

bool RequestProcessor::commit(const Uuid& id, Answer& answer, bool lastRun) {
  if (!answer.outcome.changes()) {
    publish(id, answer);
    return true;
  }
  // The data file changed since the command read it: nothing is staged or saved.
  auto changedMeanwhile = [&] {
    store_.forget();
    if (!lastRun) return false;
    answerSaveFailure(id, answer,
                      std::make_exception_ptr(AgentFailure::saveFailed(
                          "Vantry could not save the records: pellam.json was changed by another program each time "
                          "the command ran, so nothing was saved. Run the command again when nothing else writes "
                          "the file.")));
    return true;
  };
  ArchiveStore::PendingWrite pending;
  try {
    if (answer.outcome.replacement) {
      ArchiveReplacement& replacement = *answer.outcome.replacement;
      pending = store_.prepareWrite(std::move(replacement.archive), replacement.replacesUnreadableFile);
    } else {
      pending = store_.prepareChange(std::move(answer.outcome.entryOrigins));
    }
  } catch (...) {
    store_.forget();  // the change in memory is not kept
    answerSaveFailure(id, answer, std::current_exception());
    return true;
  }
  std::string staged;
  try {
    if (!store_.unchangedOnDisk()) return changedMeanwhile();
    // Named after the file the command ran on, which is the one the save may replace.
    staged = outbox_.stage(id, answer.encoded(), store_.stateRead(), pending.state);
  } catch (...) {
    store_.forget();
    throw;
  }
  const std::string after = pending.state;
  std::exception_ptr saveError;
  try {
    store_.write(std::move(pending));
  } catch (const DataFileChangedError&) {
    outbox_.discard(staged);  // nothing was replaced
    return changedMeanwhile();
  } catch (...) {
    saveError = std::current_exception();
  }
  // After a failed save the store has dropped its archive. A save can fail after the data
  // file was replaced (while pruning backups, say); then the change stands, and so does its
  // answer. Otherwise the staged answer goes and the failure is the answer.
  if (saveError && store_.diskState() != after) {
    outbox_.discard(staged);
    answerSaveFailure(id, answer, saveError);
    return true;
  }
  outbox_.publishStaged(staged, id);
  return true;
}

void RequestProcessor::answerSaveFailure(const Uuid& id, Answer& answer, std::exception_ptr error) {
  answer.outcome = CommandOutcome();
  answer.response = failureResponse(id, saveFailure(error), answer.response.requestFingerprint);
  answer.bytes.clear();
  // Nothing was saved, so a retry that may succeed later must be able to run: the failure
  // is held, not kept. One that retrying cannot help stays the request's answer.
  answer.held = answer.response.error->retryable;
  publish(id, answer);
}

void RequestProcessor::publish(const Uuid& id, Answer& answer) {
  if (answer.held) {
    held_.publish(id, answer.encoded());
  } else {
    outbox_.publish(id, answer.encoded());
  }
}

void RequestProcessor::withdrawDue() { held_.withdrawDue(); }

void RequestProcessor::prepare() {
  try {
    store_.learnState();
  } catch (const std::exception&) {
    // Learned when a change needs it.
  }
}

void RequestProcessor::setAside(const std::string& path, const std::string& name) {
  try {
    fs_->move(path, folders_.rejectedPath(name), Placement::replace);  // a fresh name: nothing to replace
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
