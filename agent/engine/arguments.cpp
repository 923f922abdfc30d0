#include "agent/engine/arguments.h"

#include "agent/wire/failure.h"

namespace pellam::agent::engine {

ArgumentNames::ArgumentNames(std::initializer_list<std::string_view> names) : names_(names.begin(), names.end()) {}

ArgumentNames::ArgumentNames(std::span<const FieldRow> fields, std::initializer_list<std::string_view> names)
    : ArgumentNames(names) {
  for (const FieldRow& row : fields) names_.emplace(row.name);
}

ArgumentNames::ArgumentNames(std::span<const std::string_view> shared, std::initializer_list<std::string_view> names)
    : ArgumentNames(names) {
  names_.insert(shared.begin(), shared.end());
}

const std::string* argument(const AgentRequest& request, std::string_view name) {
  auto it = request.arguments.find(std::string(name));
  return it == request.arguments.end() ? nullptr : &it->second;
}

const std::string& required(std::string_view name, const AgentRequest& request) {
  const std::string* value = argument(request, name);
  if (value == nullptr || value->empty()) {
    throw AgentFailure::invalidArgument("Supply --" + std::string(name) + ".");
  }
  return *value;
}

bool boolean(std::string_view value, std::string_view name) {
  // Only ASCII letters can lower-case into "true" or "false".
  std::string lower(value);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower == "true") return true;
  if (lower == "false") return false;
  throw AgentFailure::invalidArgument("--" + std::string(name) + " must be true or false.");
}

Uuid uuid(std::string_view value, std::string_view name) {
  if (auto parsed = Uuid::parse(value)) return *parsed;
  throw AgentFailure::invalidArgument("--" + std::string(name) + " must be a UUID from the corresponding list command.");
}

}  // namespace pellam::agent::engine
