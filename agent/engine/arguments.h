#pragma once
// Reading a command's string arguments: required values, booleans and identifiers. Unknown
// names never get here: the dispatcher refuses them by the command's row first. Every
// failure is invalid_argument with a sentence that names the option as typed (--name).
#include <initializer_list>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "agent/engine/field_tables.h"
#include "agent/wire/wire.h"
#include "core/uuid.h"

namespace pellam::agent::engine {

// A set of argument names, for a quick look-up of many.
class ArgumentNames {
 public:
  ArgumentNames(std::initializer_list<std::string_view> names = {});
  // The options of a field table join the names.
  ArgumentNames(std::span<const FieldRow> fields, std::initializer_list<std::string_view> names);
  // A shared set of names (selectionKeys, for one) joins the names.
  ArgumentNames(std::span<const std::string_view> shared, std::initializer_list<std::string_view> names);

  bool contains(std::string_view name) const { return names_.find(name) != names_.end(); }

 private:
  std::set<std::string, std::less<>> names_;
};

// The argument's value, or null when it is absent.
const std::string* argument(const AgentRequest& request, std::string_view name);

// The value; absent or empty fails with "Supply --<name>.".
const std::string& required(std::string_view name, const AgentRequest& request);

// "true" or "false" in any letter case; anything else fails naming --<name>.
bool boolean(std::string_view value, std::string_view name);

// A canonical 8-4-4-4-12 UUID in either case; anything else fails naming --<name>.
Uuid uuid(std::string_view value, std::string_view name);

}  // namespace pellam::agent::engine
