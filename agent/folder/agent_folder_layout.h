#pragma once
// Every path and file name of the agent folder inside a data folder, made and parsed here
// only, for the client and the host alike:
//
//   AgentAPI/status.json                      the heartbeat (the host writes it)
//   AgentAPI/.status.<UUID>.tmp               the heartbeat before it is moved into place
//   AgentAPI/Requests/<ID>.json               a request (the client writes it)
//   AgentAPI/Requests/.<UUID>.pending         a request before it is moved into place
//   AgentAPI/Responses/<ID>.json              an answer, kept for replays, or withdrawn after
//                                             a short hold when it has no owner write bit
//   AgentAPI/Responses/.<ID>.<UUID>.tmp       an answer before it is moved into place
//   AgentAPI/Responses/.<ID>.held             how earlier versions marked <ID>.json as held
//   AgentAPI/retention.json                   the host's running time, and when by it each
//                                             kept answer and set-aside file was first seen
//   AgentAPI/reminders.json                   the last reminder the host showed (or skipped)
//   AgentAPI/Staged/<ID>.<BEFORE>.<AFTER>.json an answer whose save is not yet known to have
//                                             landed, with the data file's token before and
//                                             after that save
//   AgentAPI/Rejected/<name>.<UUID>           a request file that was not a request, set aside
//   AgentAPI/host.log, host.log.1             the log of a host started with --detach, and
//                                             the one before it
//
// <ID> is a request's identifier as canonical upper-case UUID text; <UUID> a fresh random one.
#include <optional>
#include <string>
#include <string_view>

#include "core/uuid.h"

namespace pellam::agent {

struct AgentFolderLayout {
  // `dataDirectory` is used as given (the client keeps the user's spelling in its messages).
  explicit AgentFolderLayout(std::string dataDirectory);

  std::string data;
  std::string api;
  std::string status;
  std::string requests;
  std::string responses;
  std::string staged;
  std::string rejected;
  std::string retention;
  std::string reminders;
  std::string hostLog;

  std::string requestPath(const Uuid& id) const;
  std::string responsePath(const Uuid& id) const;
  std::string stagedPath(const Uuid& id, std::string_view before, std::string_view after) const;
  // Fresh names for files written beside their final place and then moved there.
  std::string pendingRequestPath() const;
  std::string temporaryResponsePath(const Uuid& id) const;
  std::string temporaryStatusPath() const;
  std::string rejectedPath(std::string_view requestName) const;
  std::string heldMarkPath(const Uuid& id) const;
};

// "<ID>.json" in any letter case: the identifier the request or response file stands for.
std::optional<Uuid> idFromFileName(std::string_view name);

struct StagedName {
  Uuid id;
  std::string before;
  std::string after;
};
// "<ID>.<BEFORE>.<AFTER>.json" with an upper-case ID and two non-empty tokens without dots;
// anything else is not a staged answer.
std::optional<StagedName> parseStagedName(std::string_view name);

// The temporary names above, as left behind by a process that died before moving them.
bool isPendingRequestName(std::string_view name);
bool isTemporaryStatusName(std::string_view name);
bool isTemporaryResponseName(std::string_view name);

// ".<ID>.held" with an upper-case ID: the identifier whose answer an earlier version held, or
// none.
std::optional<Uuid> heldMarkId(std::string_view name);

}  // namespace pellam::agent
