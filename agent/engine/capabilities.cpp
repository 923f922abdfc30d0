#include <algorithm>

#include "agent/wire/catalogue.h"
#include "agent/engine/families.h"

namespace pellam::agent::engine {

namespace {

Json sortedNames(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());  // byte order of UTF-8 is code-point order
  Json list = Json::array();
  for (auto& name : names) list.push_back(Json(std::move(name)));
  return list;
}

Json capabilities(const CommandCall&) {
  Json result = Json::object();
  result["appCommands"] = sortedNames(AgentCommands::appCommands());
  result["dryRun"] = true;
  result["engineCommands"] = sortedNames(AgentCommands::supportedCommands());
  result["maxImportBytes"] = static_cast<std::int64_t>(AgentWire::maximumImportBytes);
  result["schema"] = 1;
  result["transport"] = "local-files";
  return result;
}

constexpr HandlerRow kCapabilitiesHandlers[] = {{"capabilities", capabilities}};

}  // namespace

const FamilyHandlers capabilitiesFamily{kCapabilitiesHandlers, std::nullopt};

}  // namespace pellam::agent::engine
