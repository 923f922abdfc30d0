// The archive file's reader and writer. The reader is the one translation unit that
// includes simdjson (its header is slow to compile): it decodes straight into records, so
// a large archive never exists as a Json tree. It makes the same four checks as
// core/json_read.cpp: number grammar, trailing content, duplicate keys and the position
// of every syntax error.
#include "core/storage/archive_json.h"

#include <charconv>
#include <cstring>

#include "core/storage/archive_json_layout.h"
#include "core/huge_pages.h"
#include "core/json.h"
#include "core/records/decoding_error.h"
#include "core/records/record_fields.h"
#include "core/storage/simdjson_reading.h"

namespace pellam {

std::string encodeArchiveJson(const Archive& archive) {
  std::string out;
  // Generous: pages never written cost nothing, while a growth copies the whole text.
  out.reserve(4096 + archive.entries.size() * 1024 + archive.jobs.size() * 2048);
  archive_layout::writeArchive(out, archive, [&](std::string& text, std::size_t index) {
    archive_layout::writeEntry(text, archive.entries[index]);
  });
  return out;
}

// ---- Reading ---------------------------------------------------------------------------

namespace {

namespace od = simdjson::ondemand;

using simdjson_reading::trimmed;

class Reader : public simdjson_reading::ErrorReporter {
 public:
  using ErrorReporter::ErrorReporter;

  template <typename Record>
  void readRecord(od::value value, Record& record) {
    using Fields = typename detail::FieldsOf<Record>::Type;
    od::json_type type = typeOf(value);
    if (type != od::json_type::object) wrongType(value, type, "an object");
    od::object object;
    if (auto error = value.get_object().get(object)) fail(error, where(value));

    detail::MemberLookup<Fields> lookup;
    std::vector<std::string> unknownKeys;
    for (auto member : object) {
      od::field field;
      if (auto error = std::move(member).get(field)) fail(error, where(value));
      const char* keyStart = field.key().raw();
      std::string_view key = rawKey(field);
      const std::size_t index = lookup.find(key);
      if (index == lookup.kUnknown) {
        // Unknown keys are ignored, but their values must still be sound JSON.
        std::string own(key);
        for (const std::string& seen : unknownKeys) {
          if (seen == own) duplicateKey(own, keyStart);
        }
        unknownKeys.push_back(std::move(own));
        skipValidated(field.value(), 0);
        continue;
      }
      if (!lookup.markSeen(index)) duplicateKey(key, keyStart);
      try {
        readField<Fields>(field.value(), record, index);
      } catch (DecodingError& error) {
        error.prependKey(Fields::kKeys[index]);
        throw;
      }
    }
    detail::requirePresent<Fields>(record, lookup.seen());
  }

 private:
  od::json_type typeOf(od::value& value) const {
    od::json_type type;
    if (auto error = value.type().get(type)) fail(error, where(value));
    return type;
  }

  // The key's text as written; only a key with an escape sequence is unescaped.
  std::string_view rawKey(od::field& field) const {
    const char* start = field.key().raw();
    const char* quote = start;
    while (*quote != '"') {
      if (*quote == '\\') {
        std::string_view key;
        if (auto error = field.unescaped_key().get(key)) fail(error, start - 1);
        return key;
      }
      ++quote;
    }
    return std::string_view(start, static_cast<std::size_t>(quote - start));
  }

  [[noreturn]] void duplicateKey(std::string_view key, const char* keyStart) const {
    fail("the key \"" + std::string(key) + "\" appears twice.", keyStart - 1);
  }

  // A value of another type than the field wants is a shape failure, but only once the
  // value is known to be sound JSON: a broken token is reported as a syntax error.
  [[noreturn]] void wrongType(od::value& value, od::json_type type, std::string_view expected) {
    if (type == od::json_type::null) {
      checkNull(value);
      detail::throwNull();
    }
    skipValidated(value, 0);
    detail::throwWrongType(expected);
  }

  void checkNull(od::value& value) {
    bool isNull = false;
    if (auto error = value.is_null().get(isNull); error || !isNull) {
      fail("\"" + std::string(trimmed(value.raw_json_token())) + "\" is not a JSON value.", where(value));
    }
  }

  std::string_view numberLexeme(od::value& value) {
    std::string_view raw = trimmed(value.raw_json_token());
    if (!isJsonNumber(raw)) fail("\"" + std::string(raw) + "\" is not a valid number.", raw.data());
    return raw;
  }

  // The string's content. The text between the quotes is used as it stands unless it
  // holds an escape sequence; simdjson has already checked its UTF-8 and control characters.
  std::string_view stringText(od::value& value) {
    std::string_view raw = trimmed(value.raw_json_token());
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
      std::string_view inner = raw.substr(1, raw.size() - 2);
      if (inner.find('\\') == std::string_view::npos) return inner;
    }
    std::string_view text;
    if (auto error = value.get_string().get(text)) fail(error, raw.data());
    return text;
  }

  template <typename Fields>
  void readField(od::value value, typename Fields::Record& record, std::size_t index) {
    Fields::field(record, index, [&](auto& field) {
      using T = std::decay_t<decltype(field)>;
      if constexpr (detail::IsOptional<T>::value) {
        if (typeOf(value) == od::json_type::null) {
          checkNull(value);
          field.reset();
          return;
        }
        typename T::value_type inner{};
        readValue(value, inner);
        field = std::move(inner);
      } else {
        if ((Fields::kLenient & (1u << index)) && typeOf(value) == od::json_type::null) {
          checkNull(value);
          field = T{};
          return;
        }
        readValue(value, field);
      }
    });
  }

  template <typename T>
  void readValue(od::value& value, T& out) {
    const od::json_type type = typeOf(value);
    if constexpr (std::is_same_v<T, Instant>) {
      if (type == od::json_type::number) {
        out = detail::dateFromLexeme(numberLexeme(value));
      } else if (type == od::json_type::string) {
        out = detail::dateFromText(stringText(value));
      } else if (type == od::json_type::null) {
        checkNull(value);
        detail::throwNull();
      } else {
        skipValidated(value, 0);
        throw DecodingError(DecodingError::Reason::InvalidDate, "");
      }
    } else if constexpr (std::is_same_v<T, bool>) {
      if (type != od::json_type::boolean) wrongType(value, type, detail::expectedKind<T>());
      if (auto error = value.get_bool().get(out)) fail(error, where(value));
    } else if constexpr (std::is_same_v<T, double> || std::is_same_v<T, std::int64_t> ||
                         std::is_same_v<T, Decimal>) {
      if (type != od::json_type::number) wrongType(value, type, detail::expectedKind<T>());
      std::string_view lexeme = numberLexeme(value);
      if constexpr (std::is_same_v<T, double>) out = detail::realFromLexeme(lexeme);
      else if constexpr (std::is_same_v<T, std::int64_t>) out = detail::integerFromLexeme(lexeme);
      else out = detail::decimalFromLexeme(lexeme);
    } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, Uuid> ||
                         std::is_same_v<T, Rounding> || std::is_same_v<T, PaySchedule>) {
      if (type != od::json_type::string) wrongType(value, type, detail::expectedKind<T>());
      std::string_view text = stringText(value);
      if constexpr (std::is_same_v<T, std::string>) out.assign(text);
      else if constexpr (std::is_same_v<T, Uuid>) out = detail::uuidFromText(text);
      else if constexpr (std::is_same_v<T, Rounding>) out = detail::roundingFromText(text);
      else out = detail::payScheduleFromText(text);
    } else if constexpr (detail::IsRecord<T>) {
      readRecord(value, out);
    } else {
      if (type != od::json_type::array) wrongType(value, type, "an array");
      od::array array;
      if (auto error = value.get_array().get(array)) fail(error, where(value));
      out.clear();
      if constexpr (detail::IsRecord<typename T::value_type>) {
        // Counting first (a walk over the structure, no values read) spares the large
        // arrays of records their growth copies and leaves no unused capacity.
        std::size_t count = 0;
        if (auto error = array.count_elements().get(count)) fail(error, where(value));
        out.reserve(count);
        // A large archive's entries fill tens of megabytes at once: one fault per huge page.
        adviseHugePages(out.data(), out.capacity() * sizeof(typename T::value_type));
      }
      std::size_t index = 0;
      for (auto element : array) {
        od::value item;
        if (auto error = std::move(element).get(item)) fail(error, where(value));
        try {
          if (typeOf(item) == od::json_type::null) {
            checkNull(item);
            detail::throwNull();
          }
          readValue(item, out.emplace_back());
        } catch (DecodingError& error) {
          error.prependIndex(index);
          throw;
        }
        ++index;
      }
    }
  }

  // Walks a value the records do not use, checking it as core/json_read.cpp would.
  void skipValidated(od::value value, int depth) {
    if (depth > kMaxSkippedDepth) fail("the JSON value is nested too deeply.", where(value));
    switch (typeOf(value)) {
      case od::json_type::array: {
        od::array array;
        if (auto error = value.get_array().get(array)) fail(error, where(value));
        for (auto element : array) {
          od::value item;
          if (auto error = std::move(element).get(item)) fail(error, where(value));
          skipValidated(item, depth + 1);
        }
        return;
      }
      case od::json_type::object: {
        od::object object;
        if (auto error = value.get_object().get(object)) fail(error, where(value));
        std::vector<std::string> keys;
        for (auto member : object) {
          od::field field;
          if (auto error = std::move(member).get(field)) fail(error, where(value));
          const char* keyStart = field.key().raw();
          std::string key(rawKey(field));
          for (const std::string& seen : keys) {
            if (seen == key) duplicateKey(key, keyStart);
          }
          keys.push_back(std::move(key));
          skipValidated(field.value(), depth + 1);
        }
        return;
      }
      case od::json_type::number:
        numberLexeme(value);
        return;
      case od::json_type::string:
        stringText(value);
        return;
      case od::json_type::boolean: {
        bool flag = false;
        if (auto error = value.get_bool().get(flag)) fail(error, where(value));
        return;
      }
      case od::json_type::null:
        checkNull(value);
        return;
    }
  }

  static constexpr int kMaxSkippedDepth = 512;
};

}  // namespace

namespace {

// `text` must be followed by simdjson::SIMDJSON_PADDING readable bytes.
Archive decodePadded(std::string_view text, std::size_t capacity) {
  od::parser parser;
  od::document doc;
  Reader reader(text);
  // current_location() is not safe after a failed iterate().
  if (auto error = parser.iterate(text, capacity).get(doc)) reader.fail(error, reader.whereIterateFailed(error));
  std::string_view bytes = text;

  od::json_type type;
  if (auto error = doc.type().get(type)) reader.fail(error, nullptr);
  if (type != od::json_type::object) {
    // Not an archive; still report a syntax error first when the text is not JSON at all.
    parseJson(bytes);
    detail::throwWrongType("an object");
  }
  od::value root;
  if (auto error = doc.get_value().get(root)) reader.fail(error, nullptr);
  Archive archive;
  reader.readRecord(root, archive);
  // Once the value is consumed, a readable location means there is more text after it.
  auto rest = doc.current_location();
  if (!rest.error()) reader.fail("unexpected content after the JSON value.", rest.value_unsafe());
  return archive;
}

}  // namespace

Archive decodeArchiveJson(std::string_view bytes) {
  simdjson::padded_string padded(bytes);
  return decodePadded(std::string_view(padded.data(), padded.size()), padded.size() + simdjson::SIMDJSON_PADDING);
}

Archive decodeArchiveJsonInPlace(const std::string& bytes) {
  static_assert(kArchiveReadPadding >= simdjson::SIMDJSON_PADDING);
  if (bytes.capacity() - bytes.size() < simdjson::SIMDJSON_PADDING) return decodeArchiveJson(std::string_view(bytes));
  return decodePadded(bytes, bytes.capacity());
}

}  // namespace pellam
