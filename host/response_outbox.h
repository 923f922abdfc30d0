#pragma once
// How answers reach Responses/ so that no request is applied twice and no answered change is
// lost, whenever the host is killed:
//
//  - An answer that changes nothing on disk is written to Responses/<ID>.json in one step
//    (temporary file, fsync, rename). If the host dies first, the request is still waiting
//    and simply runs again, which is harmless for a command that changed nothing. An answer
//    that is only held (host/held_answers.h) is written the same way without the fsync, in
//    a file whose mode says so.
//  - An answer whose command changes the archive is first staged, durably, as
//    Staged/<ID>.<BEFORE>.<AFTER>.json, where BEFORE is the token of pellam.json the command
//    ran on and AFTER the token of the file the save is about to write
//    (ArchiveStore::stateRead, PendingWrite::state). Then the archive is saved; then the
//    staged file is linked into Responses/ (never over an existing answer); then the request
//    file goes. The staged name is dropped by the next settle(), once the answer is known to
//    be in place.
//
// After a crash, pellam.json is the file the save was going to write (publish the staged
// answer), or still the file the command ran on (the save never landed: drop the staged
// answer and let the request run again), or neither, because something else changed it while
// the host was down (the change is not in it: drop the answer, and the request runs again on
// the file as it now is). settle() makes that decision at start and before every request, so
// at most one answer is ever undecided. A request whose answer already exists is never run
// again.
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/file_system.h"
#include "core/uuid.h"
#include "host/agent_folders.h"

namespace pellam::host {

class ResponseOutbox {
 public:
  using DiskState = std::function<std::string()>;

  ResponseOutbox(std::shared_ptr<FileSystem> fs, AgentFolders folders);

  std::string responsePath(const Uuid& id) const;
  // Whether anything at all has the answer's name (a link or folder counts: never run again).
  bool answered(const Uuid& id) const;

  // The mode of a held answer: without the owner's write permission, which a kept answer
  // (kPrivateFileMode) has and no umask can add.
  static constexpr mode_t kHeldAnswerMode = 0400;
  static bool isHeldAnswer(const FileStatus& status) { return status.isRegularFile && !(status.mode & S_IWUSR); }

  // Writes an answer that changed nothing, in one step, synced: it is kept for replays.
  void publish(const Uuid& id, std::string_view bytes);
  // Writes an answer that is withdrawn after a short hold, in one step, with kHeldAnswerMode
  // and not synced (host/held_answers.h says why that is safe).
  void publishHeld(const Uuid& id, std::string_view bytes);

  // Stages the answer of a change made on the data file whose token is `before`, to be saved
  // as a file whose token is `after`; returns the staged file's path. Durable when it returns.
  std::string stage(const Uuid& id, std::string_view bytes, const std::string& before, const std::string& after);
  // Links a staged answer into Responses/ once its change is saved (an answer already
  // there stands).
  void publishStaged(const std::string& stagedPath, const Uuid& id);
  void discard(const std::string& stagedPath);

  // The identifiers whose answers were published held (kHeldAnswerMode), and those an
  // earlier version marked as held (Responses/.<ID>.held), with or without their answer.
  std::vector<Uuid> heldAnswers();
  // Withdraws a held answer: an earlier version's mark goes first, so that a mark never
  // outlives its answer to mark a later one.
  void withdraw(const Uuid& id);
  // Drops an earlier version's mark without its answer (the answer removed by hand), before
  // `id` is answered anew.
  void dropStrayMark(const Uuid& id);

  struct Settled {
    std::vector<Uuid> published;
    // Dropped because pellam.json is neither the file the change ran on nor the one it was
    // saving: it was changed meanwhile by something else. Their requests run again.
    std::vector<Uuid> changedMeanwhile;
  };
  // Decides about every staged answer left behind by an interrupted run, given the token of
  // pellam.json now (`diskState`, called only when there is something to decide). Throws
  // when it cannot finish; the host then runs no request, because a later change could make
  // an undecided answer look saved.
  // Staged/ is listed only when there can be something in it to decide or drop: at the first
  // call, and after this outbox staged or published an answer through it. Only the host
  // holding the data folder's lock writes there.
  Settled settle(const DiskState& diskState);

 private:
  std::shared_ptr<FileSystem> fs_;
  AgentFolders folders_;
  bool stagedMayHoldAnswers_ = true;  // an earlier run's, until the first settle()
};

}  // namespace pellam::host
