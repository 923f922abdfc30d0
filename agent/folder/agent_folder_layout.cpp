#include "agent/folder/agent_folder_layout.h"

namespace pellam::agent {

namespace {

constexpr std::string_view kJson = ".json";
constexpr std::string_view kHeld = ".held";
constexpr std::size_t kUuidLength = 36;

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Canonical upper-case UUID text, exactly.
bool isCanonicalUuid(std::string_view text) {
  auto id = Uuid::parse(text);
  return id && id->text() == text;
}

}  // namespace

AgentFolderLayout::AgentFolderLayout(std::string dataDirectory)
    : data(std::move(dataDirectory)),
      api(data + "/AgentAPI"),
      status(api + "/status.json"),
      requests(api + "/Requests"),
      responses(api + "/Responses"),
      staged(api + "/Staged"),
      rejected(api + "/Rejected"),
      retention(api + "/retention.json"),
      reminders(api + "/reminders.json"),
      hostLog(api + "/host.log") {}

std::string AgentFolderLayout::requestPath(const Uuid& id) const {
  return requests + "/" + id.text() + std::string(kJson);
}

std::string AgentFolderLayout::responsePath(const Uuid& id) const {
  return responses + "/" + id.text() + std::string(kJson);
}

std::string AgentFolderLayout::stagedPath(const Uuid& id, std::string_view before, std::string_view after) const {
  return staged + "/" + id.text() + "." + std::string(before) + "." + std::string(after) + std::string(kJson);
}

std::string AgentFolderLayout::pendingRequestPath() const {
  return requests + "/." + Uuid::random().text() + ".pending";
}

std::string AgentFolderLayout::temporaryResponsePath(const Uuid& id) const {
  return responses + "/." + id.text() + "." + Uuid::random().text() + ".tmp";
}

std::string AgentFolderLayout::temporaryStatusPath() const {
  return api + "/.status." + Uuid::random().text() + ".tmp";
}

std::string AgentFolderLayout::rejectedPath(std::string_view requestName) const {
  return rejected + "/" + std::string(requestName) + "." + Uuid::random().text();
}

std::string AgentFolderLayout::heldMarkPath(const Uuid& id) const {
  return responses + "/." + id.text() + std::string(kHeld);
}

std::optional<Uuid> idFromFileName(std::string_view name) {
  if (name.size() != kUuidLength + kJson.size() || !endsWith(name, kJson)) return std::nullopt;
  return Uuid::parse(name.substr(0, kUuidLength));
}

std::optional<StagedName> parseStagedName(std::string_view name) {
  if (name.size() < kUuidLength + 2 + kJson.size() || !endsWith(name, kJson) || name[kUuidLength] != '.') {
    return std::nullopt;
  }
  if (!isCanonicalUuid(name.substr(0, kUuidLength))) return std::nullopt;
  std::string_view states = name.substr(kUuidLength + 1, name.size() - kUuidLength - 1 - kJson.size());
  std::size_t dot = states.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == states.size() ||
      states.find('.', dot + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  return StagedName{*Uuid::parse(name.substr(0, kUuidLength)), std::string(states.substr(0, dot)),
                    std::string(states.substr(dot + 1))};
}

bool isPendingRequestName(std::string_view name) {
  constexpr std::string_view suffix = ".pending";
  return name.size() == 1 + kUuidLength + suffix.size() && name[0] == '.' && endsWith(name, suffix) &&
         isCanonicalUuid(name.substr(1, kUuidLength));
}

bool isTemporaryStatusName(std::string_view name) {
  constexpr std::string_view prefix = ".status.", suffix = ".tmp";
  return name.size() == prefix.size() + kUuidLength + suffix.size() && name.substr(0, prefix.size()) == prefix &&
         endsWith(name, suffix) && isCanonicalUuid(name.substr(prefix.size(), kUuidLength));
}

bool isTemporaryResponseName(std::string_view name) {
  constexpr std::string_view suffix = ".tmp";
  return name.size() == 1 + kUuidLength + 1 + kUuidLength + suffix.size() && name[0] == '.' &&
         name[1 + kUuidLength] == '.' && endsWith(name, suffix) && isCanonicalUuid(name.substr(1, kUuidLength)) &&
         isCanonicalUuid(name.substr(2 + kUuidLength, kUuidLength));
}

std::optional<Uuid> heldMarkId(std::string_view name) {
  if (name.size() != 1 + kUuidLength + kHeld.size() || name[0] != '.' || !endsWith(name, kHeld)) return std::nullopt;
  if (!isCanonicalUuid(name.substr(1, kUuidLength))) return std::nullopt;
  return Uuid::parse(name.substr(1, kUuidLength));
}

}  // namespace pellam::agent
