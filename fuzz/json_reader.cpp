// The JSON reader (parseJson) against nlohmann's strict reader: both must accept
// or refuse the same texts, and what both accept must be the same value. Four differences are
// by design and tolerated: nlohmann keeps the last of duplicate keys (we refuse them),
// refuses numbers beyond a double's range (we keep the lexeme), skips a leading byte order
// mark and stops reading at a NUL byte (we refuse both); and we refuse nesting deeper than
// 256 levels.
#include <cmath>
#include <cstdlib>
#include <set>

#include <nlohmann/json.hpp>

#include "core/json.h"
#include "fuzz/fuzz_support.h"

namespace {

using pellam::Json;
using pellam::fuzz::check;

struct Theirs {
  bool accepted = false;
  bool numberOutOfRange = false;
  bool duplicateKey = false;
  int depth = 0;
  nlohmann::json value;
};

Theirs readTheirs(std::string_view input) {
  Theirs theirs;
  std::vector<std::set<std::string>> keys;
  auto watch = [&](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
    using Event = nlohmann::json::parse_event_t;
    if (event == Event::object_start || event == Event::array_start) theirs.depth = std::max(theirs.depth, depth + 1);
    if (event == Event::object_start) keys.emplace_back();
    if (event == Event::object_end && !keys.empty()) keys.pop_back();
    if (event == Event::key && !keys.empty() && !keys.back().insert(parsed.get<std::string>()).second) {
      theirs.duplicateKey = true;
    }
    return true;
  };
  try {
    theirs.value = nlohmann::json::parse(input.begin(), input.end(), watch);
    theirs.accepted = true;
  } catch (const nlohmann::json::out_of_range& error) {
    theirs.numberOutOfRange = error.id == 406;
  } catch (const nlohmann::json::exception&) {
  }
  return theirs;
}

bool sameNumber(const Json& ours, const nlohmann::json& theirs) {
  if (theirs.is_number_unsigned()) return ours.numberLexeme() == std::to_string(theirs.get<std::uint64_t>());
  if (theirs.is_number_integer()) {
    auto exact = ours.asInt64();
    if (exact) return *exact == theirs.get<std::int64_t>();
    // nlohmann reads "-0" as the integer 0.
    return ours.asDouble() == 0 && theirs.get<std::int64_t>() == 0;
  }
  return ours.asDouble() == theirs.get<double>();
}

bool same(const Json& ours, const nlohmann::json& theirs) {
  switch (ours.kind()) {
    case Json::Kind::Null:
      return theirs.is_null();
    case Json::Kind::Bool:
      return theirs.is_boolean() && theirs.get<bool>() == ours.asBool();
    case Json::Kind::Number:
      return theirs.is_number() && sameNumber(ours, theirs);
    case Json::Kind::String:
      return theirs.is_string() && theirs.get_ref<const std::string&>() == ours.asString();
    case Json::Kind::Array: {
      if (!theirs.is_array() || theirs.size() != ours.asArray().size()) return false;
      for (std::size_t i = 0; i < theirs.size(); ++i) {
        if (!same(ours.asArray()[i], theirs[i])) return false;
      }
      return true;
    }
    case Json::Kind::Object: {
      if (!theirs.is_object() || theirs.size() != ours.asObject().size()) return false;
      for (const auto& [key, value] : ours.asObject()) {
        auto found = theirs.find(key);
        if (found == theirs.end() || !same(value, *found)) return false;
      }
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = pellam::fuzz::text(data, size);
  std::optional<Json> ours;
  std::string refusal;
  try {
    ours = pellam::parseJson(input);
  } catch (const pellam::JsonParseError& error) {
    check(error.offset() <= input.size(), "error offset past the end");
    refusal = error.what();
  }
  if (input.find('\0') != std::string_view::npos) {
    // A raw NUL is never JSON; nlohmann takes it for the end of the text.
    check(!ours, "accepted a NUL byte");
    return 0;
  }
  const Theirs theirs = readTheirs(input);

  if (ours) {
    check(theirs.accepted || theirs.numberOutOfRange, "accepted a text nlohmann refuses");
    check(!theirs.duplicateKey, "accepted a duplicate key");
    if (theirs.accepted) check(same(*ours, theirs.value), "read a different value than nlohmann");
    // What we write reads back as the same value.
    check(pellam::parseJson(pellam::writeJson(*ours)) == *ours, "written text reads back differently");
    check(pellam::parseJson(pellam::writeJson(*ours, {.pretty = true, .escapeSlash = true})) == *ours,
          "pretty text reads back differently");
  } else if (theirs.accepted) {
    const bool byteOrderMark = input.starts_with("\xEF\xBB\xBF");
    const bool tooDeep = theirs.depth >= 256 && refusal.find("nests deeper") != std::string::npos;
    check(theirs.duplicateKey || byteOrderMark || tooDeep, "refused a text nlohmann accepts: " + refusal);
  }
  return 0;
}
