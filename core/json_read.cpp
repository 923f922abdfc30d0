// The only translation unit that includes simdjson for generic JSON: its header is slow to
// compile. simdjson 3.0.1's on-demand API leaves four checks to us: number grammar, trailing
// content, duplicate keys and the error position.
#include "core/json.h"
#include "core/simdjson_reading.h"

namespace pellam {

namespace {

namespace od = simdjson::ondemand;
using simdjson_reading::isSpace;
using simdjson_reading::trimmed;

constexpr int kMaximumDepth = 256;

struct JsonReader : simdjson_reading::ErrorReporter {
  using ErrorReporter::ErrorReporter;

  template <typename Source>
  Json number(Source& source, std::string_view raw) const {
    raw = trimmed(raw);
    if (!isJsonNumber(raw)) fail("\"" + std::string(raw) + "\" is not a valid number.", raw.data());
    (void)source;
    return Json::number(raw);
  }

  Json value(od::value element, int depth) const {
    // Each level costs a few kilobytes of stack here; refuse nesting long before it runs out.
    if (depth > kMaximumDepth) {
      fail("the JSON text nests deeper than " + std::to_string(kMaximumDepth) + " levels.", where(element));
    }
    od::json_type type;
    if (auto error = element.type().get(type)) fail(error, where(element));
    switch (type) {
      case od::json_type::array: {
        od::array array;
        if (auto error = element.get_array().get(array)) fail(error, where(element));
        Json::Array items;
        for (auto item : array) {
          od::value inner;
          if (auto error = item.get(inner)) fail(error, where(element));
          items.push_back(value(inner, depth + 1));
        }
        return Json(std::move(items));
      }
      case od::json_type::object: {
        od::object object;
        if (auto error = element.get_object().get(object)) fail(error, where(element));
        return members(object, element, depth);
      }
      case od::json_type::number: {
        std::string_view raw = element.raw_json_token();
        return number(element, raw);
      }
      case od::json_type::string: {
        std::string_view text;
        if (auto error = element.get_string().get(text)) fail(error, where(element));
        return Json(std::string(text));
      }
      case od::json_type::boolean: {
        bool flag = false;
        if (auto error = element.get_bool().get(flag)) fail(error, where(element));
        return Json(flag);
      }
      case od::json_type::null: {
        bool isNull = false;
        if (auto error = element.is_null().get(isNull); error || !isNull) fail("expected null.", where(element));
        return Json();
      }
    }
    fail("unexpected value.", where(element));
  }

  Json members(od::object& object, od::value& element, int depth) const {
    Json::Object result;
    for (auto field : object) {
      std::string_view key;
      if (auto error = field.unescaped_key().get(key)) fail(error, where(element));
      std::string ownKey(key);
      if (result.count(ownKey)) fail("the key \"" + ownKey + "\" appears twice.", where(element));
      od::value inner;
      if (auto error = field.value().get(inner)) fail(error, where(element));
      result.emplace(std::move(ownKey), value(inner, depth + 1));
    }
    return Json(std::move(result));
  }

  Json document(od::document& doc, std::string_view input) const {
    od::json_type type;
    if (auto error = doc.type().get(type)) fail(error, where(doc));
    if (type == od::json_type::array || type == od::json_type::object) {
      od::value root;
      if (auto error = doc.get_value().get(root)) fail(error, where(doc));
      Json result = value(root, 0);
      // Once the value is consumed, a readable location means there is more text after it.
      auto rest = doc.current_location();
      if (!rest.error()) fail("unexpected content after the JSON value.", rest.value_unsafe());
      return result;
    }
    // A bare scalar: its raw token runs to the next structural character, so anything
    // after the token other than white space is trailing content.
    std::string_view raw;
    if (auto error = doc.raw_json_token().get(raw)) fail(error, where(doc));
    const char* tokenEnd = raw.data() + raw.size();
    raw = trimmed(raw);
    for (const char* p = tokenEnd; p < input.data() + input.size(); ++p) {
      if (!isSpace(*p)) fail("unexpected content after the JSON value.", p);
    }
    switch (type) {
      case od::json_type::number:
        return number(doc, raw);
      case od::json_type::string: {
        std::string_view text;
        if (auto error = doc.get_string().get(text)) fail(error, raw.data());
        return Json(std::string(text));
      }
      default:
        if (raw == "true") return Json(true);
        if (raw == "false") return Json(false);
        if (raw == "null") return Json();
        fail("\"" + std::string(raw) + "\" is not a JSON value.", raw.data());
    }
  }
};

}  // namespace

Json parseJson(std::string_view text) {
  simdjson::padded_string padded(text);
  od::parser parser;
  od::document doc;
  JsonReader reader{std::string_view(padded.data(), padded.size())};
  // current_location() is not safe after a failed iterate().
  if (auto error = parser.iterate(padded).get(doc)) reader.fail(error, reader.whereIterateFailed(error));
  return reader.document(doc, std::string_view(padded.data(), padded.size()));
}

}  // namespace pellam
