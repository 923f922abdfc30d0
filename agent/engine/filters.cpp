// filters.list, filters.create, filters.update and filters.delete: saved views, kept in
// stored order. Their names, jobs and ranges are checked by archive validation after the
// command, not here.
#include <vector>

#include "agent/engine/arguments.h"
#include "agent/engine/families.h"
#include "agent/engine/paging.h"
#include "agent/engine/patch.h"
#include "agent/engine/record_result.h"

namespace pellam::agent::engine {

namespace {

// A view's job may be cleared with a JSON null in --patch.
const NullableFields kFilterNullable = {"jobID"};

Json listFilters(const AgentRequest& request, const Archive& archive) {
  std::vector<const SavedFilter*> views;
  views.reserve(archive.filters.size());
  for (const SavedFilter& filter : archive.filters) views.push_back(&filter);
  return page(request, views);
}

Json createFilter(const AgentRequest& request, Archive& archive, Instant now) {

  SavedFilter view;  // name, query and tag empty, no job, range "This week"
  // The request's identifier, so replaying one request cannot create two views.
  view.id = request.id;
  view.from = now;
  view.through = now;

  view = patch(request, filterFields, kFilterNullable, view);
  for (const SavedFilter& existing : archive.filters) {
    if (existing.id == view.id) throw AgentFailure::conflict("This saved view ID already exists.");
  }
  archive.filters.push_back(std::move(view));
  return record("filter", archive.filters.back(), request);
}

std::size_t viewIndex(const AgentRequest& request, const Archive& archive) {
  const Uuid id = uuid(required("id", request), "id");
  for (std::size_t i = 0; i < archive.filters.size(); ++i) {
    if (archive.filters[i].id == id) return i;
  }
  throw AgentFailure::notFound("That saved view does not exist.");
}

Json updateFilter(const AgentRequest& request, Archive& archive) {
  const std::size_t index = viewIndex(request, archive);
  match(request, archive.filters[index]);
  archive.filters[index] = patch(request, filterFields, kFilterNullable, archive.filters[index]);
  return record("filter", archive.filters[index], request);
}

Json remove(const AgentRequest& request, Archive& archive) {
  const std::size_t index = viewIndex(request, archive);
  match(request, archive.filters[index]);
  const SavedFilter removed = std::move(archive.filters[index]);
  archive.filters.erase(archive.filters.begin() + static_cast<std::ptrdiff_t>(index));
  return record("deletedFilter", removed, request);
}

constexpr HandlerRow kFiltersHandlers[] = {
    {"filters.list", [](const CommandCall& c) { return listFilters(c.request, c.archive); }},
    {"filters.create", [](const CommandCall& c) { return createFilter(c.request, c.archive, c.now); }},
    {"filters.update", [](const CommandCall& c) { return updateFilter(c.request, c.archive); }},
    {"filters.delete", [](const CommandCall& c) { return remove(c.request, c.archive); }},
};

}  // namespace

const FamilyHandlers filtersFamily{kFiltersHandlers, "Unknown filters operation."};

}  // namespace pellam::agent::engine
