#include "core/json.h"

#include <charconv>
#include <cstdlib>

namespace pellam {

namespace {

[[noreturn]] void wrongKind(const char* wanted) {
  throw JsonTypeError(std::string("The JSON value is not ") + wanted + ".");
}

}  // namespace

Json::Json(const Json& other) = default;
Json::Json(Json&& other) noexcept = default;
Json& Json::operator=(const Json& other) = default;
Json& Json::operator=(Json&& other) noexcept = default;
Json::~Json() = default;

Json::Json(double value) : value_(Number{shortestDoubleText(value)}) {}

Json Json::number(std::string_view lexeme) {
  if (!isJsonNumber(lexeme)) throw JsonTypeError("\"" + std::string(lexeme) + "\" is not a JSON number.");
  Json json;
  json.value_ = Number{std::string(lexeme)};
  return json;
}

bool Json::asBool() const {
  if (auto* b = std::get_if<bool>(&value_)) return *b;
  wrongKind("a Boolean");
}

const std::string& Json::numberLexeme() const {
  if (auto* n = std::get_if<Number>(&value_)) return n->lexeme;
  wrongKind("a number");
}

double Json::asDouble() const { return std::strtod(numberLexeme().c_str(), nullptr); }

std::optional<std::int64_t> Json::asInt64() const {
  const std::string& text = numberLexeme();
  std::int64_t result = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return result;
}

const std::string& Json::asString() const {
  if (auto* s = std::get_if<std::string>(&value_)) return *s;
  wrongKind("a string");
}

const Json::Array& Json::asArray() const {
  if (auto* a = std::get_if<Array>(&value_)) return *a;
  wrongKind("an array");
}

Json::Array& Json::asArray() {
  if (auto* a = std::get_if<Array>(&value_)) return *a;
  wrongKind("an array");
}

const Json::Object& Json::asObject() const {
  if (auto* o = std::get_if<Object>(&value_)) return *o;
  wrongKind("an object");
}

Json::Object& Json::asObject() {
  if (auto* o = std::get_if<Object>(&value_)) return *o;
  wrongKind("an object");
}

const Json* Json::find(std::string_view key) const {
  auto* object = std::get_if<Object>(&value_);
  if (!object) return nullptr;
  auto it = object->find(key);
  return it == object->end() ? nullptr : &it->second;
}

Json& Json::operator[](std::string_view key) {
  if (isNull()) value_ = Object{};
  Object& object = asObject();
  auto it = object.find(key);
  if (it == object.end()) it = object.emplace(std::string(key), Json()).first;
  return it->second;
}

void Json::push_back(Json item) {
  if (isNull()) value_ = Array{};
  asArray().push_back(std::move(item));
}

bool Json::operator==(const Json& other) const {
  if (kind() != other.kind()) return false;
  if (isNumber()) {
    const std::string& a = numberLexeme();
    const std::string& b = other.numberLexeme();
    return a == b || asDouble() == other.asDouble();
  }
  return value_ == other.value_;
}


}  // namespace pellam
