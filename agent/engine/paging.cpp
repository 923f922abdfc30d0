#include "agent/engine/paging.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

#include "agent/engine/arguments.h"

namespace pellam::agent::engine {

namespace {

// A whole decimal number: an optional sign, then one or more digits, nothing else.
std::optional<std::int64_t> wholeNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t magnitude = 0;
  const std::uint64_t largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    auto digit = static_cast<std::uint64_t>(c - '0');
    // Checked before multiplying: a number past the largest is not read at all, never wrapped
    // round to a small one.
    if (magnitude > (largest - digit) / 10) return std::nullopt;
    magnitude = magnitude * 10 + digit;
  }
  if (negative) return static_cast<std::int64_t>(0 - magnitude);
  return static_cast<std::int64_t>(magnitude);
}

}  // namespace

PageWindow pageWindow(const AgentRequest& request) {
  PageWindow window;
  if (const std::string* text = argument(request, "limit")) {
    auto limit = wholeNumber(*text);
    if (!limit || *limit < 1 || *limit > 1000) {
      throw AgentFailure::invalidArgument("--limit must be from 1 through 1000.");
    }
    window.limit = *limit;
  }
  if (const std::string* text = argument(request, "offset")) {
    auto offset = wholeNumber(*text);
    if (!offset || *offset < 0) throw AgentFailure::invalidArgument("--offset must be a nonnegative integer.");
    window.offset = *offset;
  }
  return window;
}

Json page(const AgentRequest& request, std::size_t total, const std::function<Json(std::size_t)>& item) {
  const PageWindow window = pageWindow(request);
  const auto offset = static_cast<std::uint64_t>(window.offset);
  const std::size_t first = static_cast<std::size_t>(std::min<std::uint64_t>(offset, total));
  const std::size_t last = std::min(total, first + static_cast<std::size_t>(window.limit));
  Json items = Json::array();
  items.asArray().reserve(last - first);
  for (std::size_t i = first; i < last; ++i) items.push_back(item(i));
  Json result = Json::object();
  result["items"] = std::move(items);
  result["total"] = static_cast<std::uint64_t>(total);
  result["limit"] = window.limit;
  result["offset"] = window.offset;
  return result;
}

}  // namespace pellam::agent::engine
