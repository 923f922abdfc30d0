#pragma once
// The paged list result {items, total, limit, offset} of an already filtered and sorted
// list.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "agent/wire/wire.h"
#include "core/json.h"
#include "core/records/record_json.h"

namespace pellam::agent::engine {

struct PageWindow {
  std::int64_t limit = 100;  // 1 through 1000
  std::int64_t offset = 0;   // not negative
};

// `limit` and `offset` from the request: absent gives 100 and 0; present, an optional sign
// and digits only.
PageWindow pageWindow(const AgentRequest& request);

// The page of `total` items; `item(i)` gives the wire JSON of item i and is called only
// for the items on the page.
Json page(const AgentRequest& request, std::size_t total, const std::function<Json(std::size_t)>& item);

// The page of records, each in its wire JSON form (dates as ISO 8601 text).
template <typename Record>
Json page(const AgentRequest& request, const std::vector<const Record*>& records) {
  return page(request, records.size(),
              [&](std::size_t i) { return toJson(*records[i], DateStyle::WireText); });
}

}  // namespace pellam::agent::engine
