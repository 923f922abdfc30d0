// tags.list, tags.rename, tags.merge and tags.remove. Tags are not records of their own:
// the tag list is the set of distinct strings in the entries' `tags`, and a saved view may
// name one in its `tag`.
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "agent/engine/arguments.h"
#include "agent/engine/families.h"
#include "agent/engine/paging.h"
#include "core/text/text_trim.h"

namespace pellam::agent::engine {

namespace {

bool carries(const Entry& entry, const std::string& tag) {
  return std::find(entry.tags.begin(), entry.tags.end(), tag) != entry.tags.end();
}

Json listTags(const AgentRequest& request, const Archive& archive) {
  // Many entries share few tags: drop the copies before sorting what is left.
  std::unordered_set<std::string_view> distinct;
  for (const Entry& entry : archive.entries) distinct.insert(entry.tags.begin(), entry.tags.end());
  std::vector<std::string_view> tags(distinct.begin(), distinct.end());
  std::sort(tags.begin(), tags.end());  // byte order of UTF-8 is code-point order
  return page(request, tags.size(), [&](std::size_t i) { return Json(tags[i]); });
}

// Rename and merge are one operation: renaming onto a tag an entry already carries leaves
// it one copy. Remove is the same with nothing to rename to.
Json replace(const AgentRequest& request, Archive& archive, bool removing) {

  const std::string tag = required("tag", request);  // verbatim
  const auto firstCarrier = std::find_if(archive.entries.begin(), archive.entries.end(),
                                         [&](const Entry& entry) { return carries(entry, tag); });
  if (firstCarrier == archive.entries.end()) throw AgentFailure::notFound("That tag does not exist.");

  std::string to;
  if (!removing) {
    to = std::string(trimmedWhitespaceAndNewlines(required("to", request)));
    if (to.empty()) throw AgentFailure::invalidArgument("The new tag name cannot be empty.");
  }

  std::uint64_t affected = 0;
  for (auto it = firstCarrier; it != archive.entries.end(); ++it) {
    std::vector<std::string>& tags = it->tags;
    if (!carries(*it, tag)) continue;  // its order stays as stored
    if (removing) {
      std::erase(tags, tag);
    } else {
      std::replace(tags.begin(), tags.end(), tag, to);
    }
    std::sort(tags.begin(), tags.end());
    tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
    ++affected;
  }
  for (SavedFilter& filter : archive.filters) {
    if (filter.tag == tag) filter.tag = to;
  }

  Json result = Json::object();
  result["from"] = tag;
  result["to"] = to;
  result["affectedEntries"] = affected;
  result["dryRun"] = request.dryRun;
  return result;
}

constexpr HandlerRow kTagsHandlers[] = {
    {"tags.list", [](const CommandCall& c) { return listTags(c.request, c.archive); }},
    {"tags.rename", [](const CommandCall& c) { return replace(c.request, c.archive, false); }},
    {"tags.merge", [](const CommandCall& c) { return replace(c.request, c.archive, false); }},
    {"tags.remove", [](const CommandCall& c) { return replace(c.request, c.archive, true); }},
};

}  // namespace

const FamilyHandlers tagsFamily{kTagsHandlers, "Unknown tags operation."};

}  // namespace pellam::agent::engine
