#pragma once
// The project's JSON value: objects keep keys sorted by bytes and numbers keep their
// lexeme, so a decimal read from a file stays exact and the same value always writes
// the same bytes.
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace pellam {

// A JSON text that does not parse; the message says what breaks and at which byte.
class JsonParseError : public std::runtime_error {
 public:
  JsonParseError(const std::string& message, std::size_t offset)
      : std::runtime_error(message), offset_(offset) {}
  std::size_t offset() const { return offset_; }

 private:
  std::size_t offset_;
};

// Asking a value for the wrong kind (a string of a number, a member of an array).
class JsonTypeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Json {
 public:
  enum class Kind { Null, Bool, Number, String, Array, Object };
  using Array = std::vector<Json>;
  using Object = std::map<std::string, Json, std::less<>>;

  Json() = default;
  // Copying, moving and destroying a value walk the variant's six kinds: defined once in
  // core/json_value.cpp rather than inline in every unit that passes Json around.
  Json(const Json& other);
  Json(Json&& other) noexcept;
  Json& operator=(const Json& other);
  Json& operator=(Json&& other) noexcept;
  ~Json();
  Json(std::nullptr_t) {}
  Json(bool value) : value_(value) {}
  template <typename T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
  Json(T value) : value_(Number{std::to_string(value)}) {}
  Json(double value);
  Json(const char* text) : value_(std::string(text)) {}
  Json(std::string text) : value_(std::move(text)) {}
  Json(std::string_view text) : value_(std::string(text)) {}
  Json(Array items) : value_(std::move(items)) {}
  Json(Object members) : value_(std::move(members)) {}

  // A number from its text; throws JsonTypeError unless the text is a JSON number.
  static Json number(std::string_view lexeme);
  static Json array() { return Json(Array{}); }
  static Json object() { return Json(Object{}); }

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool isNull() const { return kind() == Kind::Null; }
  bool isBool() const { return kind() == Kind::Bool; }
  bool isNumber() const { return kind() == Kind::Number; }
  bool isString() const { return kind() == Kind::String; }
  bool isArray() const { return kind() == Kind::Array; }
  bool isObject() const { return kind() == Kind::Object; }

  bool asBool() const;
  const std::string& numberLexeme() const;
  double asDouble() const;
  // The number as a 64-bit integer when its lexeme is an integer in range (no fraction, no exponent).
  std::optional<std::int64_t> asInt64() const;
  const std::string& asString() const;
  const Array& asArray() const;
  Array& asArray();
  const Object& asObject() const;
  Object& asObject();

  // The member under `key`, or null when this is not an object or has no such member.
  const Json* find(std::string_view key) const;
  // The member under `key`, created (null) when missing; a null value becomes an object first.
  Json& operator[](std::string_view key);
  void push_back(Json item);

  // Structural equality; numbers compare by lexeme, then by value.
  bool operator==(const Json& other) const;

 private:
  struct Number {
    std::string lexeme;
    bool operator==(const Number&) const = default;
  };
  std::variant<std::monostate, bool, Number, std::string, Array, Object> value_;
};

struct JsonFormat {
  bool pretty = false;       // two-space indentation, one member per line
  bool escapeSlash = false;  // write "/" as "\/" for the few outputs that want it
};

// Writes the value with keys sorted (they always are), control characters escaped and
// non-ASCII text as UTF-8.
std::string writeJson(const Json& value, JsonFormat format = {});
void appendJsonString(std::string& out, std::string_view text, bool escapeSlash = false);

// Reads one JSON document (a bare scalar is allowed). Refuses invalid UTF-8, malformed
// numbers, duplicate keys and trailing content; throws JsonParseError.
Json parseJson(std::string_view text);

// A string member of a top-level object that the reader leaves where it is instead of
// copying it (an answer's Base64 is megabytes).
struct JsonStringAside {
  std::string_view key;
  // Set when the member is a string without escapes: its text, inside the parsed text.
  std::optional<std::string_view> text;
};
// As parseJson, with the same checks; when `aside.text` is set, the member stands in the tree
// as an empty string. A string with escapes is read into the tree as usual.
Json parseJson(std::string_view text, JsonStringAside& aside);

// True when `text` is exactly one number by the JSON grammar.
bool isJsonNumber(std::string_view text);

// The shortest text that reads back as the same double (JSON grammar; no NaN or infinity).
std::string shortestDoubleText(double value);
void appendShortestDouble(std::string& out, double value);

}  // namespace pellam
