// The generic JSON reader, by hand: every vantry command reads its answer with it, and a
// parser library would be one more shared library each process loads at start-up (the
// archive file's own reader, in the host only, keeps simdjson). Its checks and messages are
// those the host has always shown: the text as a whole first (a string that never closes,
// raw control characters in strings, invalid UTF-8), then the structure, the number grammar,
// duplicate keys and trailing content.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <tuple>

#include "core/byte_words.h"
#include "core/huge_pages.h"
#include "core/json.h"
#include "core/utf8.h"

namespace pellam {

namespace {

constexpr int kMaximumDepth = 256;

constexpr const char* kUtf8Error = "The input is not valid UTF-8";
constexpr const char* kEmpty = "Empty: no JSON found";
constexpr const char* kStructure =
    "The JSON document has an improper structure: missing or superfluous commas, braces, missing keys, etc.";
constexpr const char* kStringError = "Problem while parsing a string";
constexpr const char* kNotBoolean = "The JSON element does not have the requested type.";
constexpr const char* kUnescaped = "Within strings, some characters must be escaped, we found unescaped characters";
constexpr const char* kUnclosed = "A string is opened, but never closed.";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isStructural(char c) { return c == ',' || c == ':' || c == '[' || c == ']' || c == '{' || c == '}'; }
// Where a scalar's token ends: white space or punctuation (a quote does not end it).
bool endsToken(char c) { return isSpace(c) || isStructural(c); }

// Eight bytes at a time over the long plain runs of an answer (a file's Base64 is megabytes
// of them). Each test below is exact for "is there such a byte among the eight".
using byte_words::hasByte;
using byte_words::hasByteBelow;
using byte_words::kHighBits;

std::uint64_t wordAt(std::string_view text, std::size_t at) { return byte_words::load(text.data() + at); }

// Neither a quote nor a backslash.
constexpr bool plainInString(std::uint64_t word) { return (hasByte(word, '"') | hasByte(word, '\\')) == 0; }
// Nothing the whole-text check looks at: ASCII from the space on, no quote, no backslash.
constexpr bool plainForCheck(std::uint64_t word) {
  return ((word & kHighBits) | hasByteBelow(word, 0x20)) == 0 && plainInString(word);
}

class JsonReader {
 public:
  explicit JsonReader(std::string_view text, JsonStringAside* aside = nullptr) : text_(text), aside_(aside) {}

  Json document() {
    checkWholeText();
    std::size_t at = skipSpace(0);
    if (at == text_.size()) fail(kEmpty, 0);
    char first = text_[at];
    if (first == '[' || first == '{') {
      Json result = value(at, 0);
      at = skipSpace(at);
      if (at != text_.size()) fail("unexpected content after the JSON value.", at);
      return result;
    }
    // A bare scalar is one token; anything after it other than white space is trailing
    // content, which is named before what may be wrong with the token itself.
    std::size_t start = at;
    bool scalar = first == '"' || first == '-' || (first >= '0' && first <= '9') || first == 't' || first == 'f' ||
                  first == 'n';
    if (!scalar) fail(kStructure, start);
    std::size_t end = first == '"' ? endOfString(at) : at;
    std::string_view raw = first == '"' ? std::string_view() : token(end);
    std::size_t rest = skipSpace(end);
    if (rest != text_.size()) fail("unexpected content after the JSON value.", rest);
    if (first == '"') return Json(string(at, start));
    if (first == '-' || (first >= '0' && first <= '9')) return number(raw, start);
    if (raw == "true") return Json(true);
    if (raw == "false") return Json(false);
    if (raw == "null") return Json();
    fail("\"" + std::string(raw) + "\" is not a JSON value.", start);
  }

 private:
  [[noreturn]] void fail(const std::string& what, std::size_t at) const {
    throw JsonParseError("The JSON text is invalid at byte " + std::to_string(at) + ": " + what, at);
  }

  // The faults found before any structure is read, in this order: a string still open at the
  // end (named where it opened; a quote counts unless an odd run of backslashes precedes it,
  // in or out of a string), a raw control character in a string, invalid UTF-8.
  void checkWholeText() const {
    std::size_t opening = 0;
    bool inString = false;
    bool unescaped = false;
    bool invalidUtf8 = false;
    std::size_t backslashes = 0;
    for (std::size_t at = 0; at < text_.size(); ++at) {
      if (at + 8 <= text_.size() && plainForCheck(wordAt(text_, at))) {
        at = byte_words::skipPlainAscii(text_.data(), at + 8, text_.size());
        while (at + 8 <= text_.size() && plainForCheck(wordAt(text_, at))) at += 8;
        backslashes = 0;
        if (at == text_.size()) break;
      }
      unsigned char c = static_cast<unsigned char>(text_[at]);
      if (c >= 0x80) {
        // Only the first sequence of each character is looked at; an invalid one is remembered.
        std::size_t length = utf8SequenceLength(text_, at);
        if (length == 0) {
          invalidUtf8 = true;
        } else {
          at += length - 1;
        }
      } else if (c == '\\') {
        ++backslashes;
        continue;
      } else if (c == '"' && backslashes % 2 == 0) {
        inString = !inString;
        opening = at;
      } else if (inString && c < 0x20) {
        unescaped = true;
      }
      backslashes = 0;
    }
    if (inString) fail(kUnclosed, opening);
    if (unescaped) fail(kUnescaped, 0);
    if (invalidUtf8) fail(kUtf8Error, 0);
  }

  std::size_t skipSpace(std::size_t at) const {
    while (at < text_.size() && isSpace(text_[at])) ++at;
    return at;
  }

  // A scalar's bytes from `at` to the next white space or punctuation; `at` moves past them.
  std::string_view token(std::size_t& at) const {
    std::size_t start = at;
    while (at < text_.size() && !endsToken(text_[at])) ++at;
    return text_.substr(start, at - start);
  }

  Json number(std::string_view raw, std::size_t start) const {
    if (!isJsonNumber(raw)) fail("\"" + std::string(raw) + "\" is not a valid number.", start);
    return Json::number(raw);
  }

  // The value starting at `at` (white space skipped); `at` moves past it.
  Json value(std::size_t& at, int depth) {
    // Each level costs stack here; refuse nesting long before it runs out.
    if (depth > kMaximumDepth) {
      fail("the JSON text nests deeper than " + std::to_string(kMaximumDepth) + " levels.", at);
    }
    if (at == text_.size()) fail(kStructure, at);
    std::size_t start = at;
    switch (text_[at]) {
      case '[':
        return array(at, depth);
      case '{':
        return object(at, depth);
      case '"':
        return Json(string(at));
      case 't':
        return atom(at, "true", kNotBoolean, Json(true));
      case 'f':
        return atom(at, "false", kNotBoolean, Json(false));
      case 'n':
        return atom(at, "null", "expected null.", Json());
      default:
        if (text_[at] == '-' || (text_[at] >= '0' && text_[at] <= '9')) return number(token(at), start);
        fail(kStructure, start);
    }
  }

  Json atom(std::size_t& at, std::string_view word, const char* error, Json result) {
    std::size_t start = at;
    if (token(at) != word) fail(error, start);
    return result;
  }

  Json array(std::size_t& at, int depth) {
    Json::Array items;
    at = skipSpace(at + 1);
    if (at < text_.size() && text_[at] == ']') {
      ++at;
      return Json(std::move(items));
    }
    for (;;) {
      items.push_back(value(at, depth + 1));
      at = skipSpace(at);
      if (at == text_.size()) fail(kStructure, at);
      if (text_[at] == ']') {
        ++at;
        return Json(std::move(items));
      }
      if (text_[at] != ',') fail(kStructure, at);
      at = skipSpace(at + 1);
    }
  }

  Json object(std::size_t& at, int depth) {
    Json::Object members;
    at = skipSpace(at + 1);
    if (at < text_.size() && text_[at] == '}') {
      ++at;
      return Json(std::move(members));
    }
    for (;;) {
      if (at == text_.size()) fail(kStructure, at);
      if (text_[at] != '"') fail(kStructure, at);
      std::size_t keyStart = at;
      std::string key = string(at);
      at = skipSpace(at);
      if (at == text_.size()) fail(kStructure, at);
      if (text_[at] != ':') fail(kStructure, at);
      at = skipSpace(at + 1);
      // Keys come sorted from every writer of ours: then each joins at the end.
      bool added = true;
      Json::Object::iterator slot;
      if (members.empty() || members.rbegin()->first < key) {
        slot = members.emplace_hint(members.end(), std::move(key), Json());
      } else {
        std::tie(slot, added) = members.try_emplace(std::move(key));
      }
      if (!added) fail("the key \"" + slot->first + "\" appears twice.", keyStart);
      if (depth == 0 && aside_ && slot->first == aside_->key && at < text_.size() && text_[at] == '"' &&
          plainString(at)) {
        slot->second = Json(std::string());
      } else {
        slot->second = value(at, depth + 1);
      }
      at = skipSpace(at);
      if (at == text_.size()) fail(kStructure, at);
      if (text_[at] == '}') {
        ++at;
        return Json(std::move(members));
      }
      if (text_[at] != ',') fail(kStructure, at);
      at = skipSpace(at + 1);
    }
  }

  // The string whose opening quote is at `at`, unescaped; `at` moves past its closing quote.
  // The whole text was checked first, so the string holds valid UTF-8. A bad escape is named
  // just past the string, or at `badEscapeAt` when given (a bare string names its start).
  std::string string(std::size_t& at, std::optional<std::size_t> badEscapeAt = std::nullopt) const {
    std::size_t start = at++;
    // Worked out only on failure: most strings have no escape at all.
    auto bad = [&] { return badEscapeAt ? *badEscapeAt : endOfString(start); };
    std::string out;
    for (;;) {
      std::size_t plain = at;
      at = byte_words::skipPlainAscii(text_.data(), at, text_.size());
      while (at + 8 <= text_.size() && plainInString(wordAt(text_, at))) at += 8;
      while (at < text_.size() && text_[at] != '"' && text_[at] != '\\') ++at;
      if (out.empty()) reserveWithHugePages(out, at - plain);  // a file's Base64 is megabytes
      out.append(text_, plain, at - plain);
      if (at < text_.size() && text_[at] == '"') {
        ++at;
        return out;
      }
      if (at + 1 >= text_.size()) fail(kUnclosed, start);
      ++at;  // the backslash
      switch (text_[at++]) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': appendEscapedScalar(out, at, bad); break;
        default: fail(kStringError, bad());
      }
    }
  }

  // When the string opened at `at` has no escape: points `aside_` at its text and moves `at`
  // past its closing quote. The whole text was checked first, so it is valid UTF-8.
  bool plainString(std::size_t& at) const {
    std::size_t end = byte_words::skipPlainAscii(text_.data(), at + 1, text_.size());
    while (end + 8 <= text_.size() && plainInString(wordAt(text_, end))) end += 8;
    while (end < text_.size() && text_[end] != '"' && text_[end] != '\\') ++end;
    if (end == text_.size() || text_[end] != '"') return false;
    aside_->text = text_.substr(at + 1, end - at - 1);
    at = end + 1;
    return true;
  }

  // Just past the closing quote of the string opened at `start`, where a bad escape is reported.
  std::size_t endOfString(std::size_t start) const {
    std::size_t at = start + 1;
    while (at < text_.size() && text_[at] != '"') at += text_[at] == '\\' ? 2 : 1;
    return std::min(at + 1, text_.size());
  }

  // Four hex digits after "\u" at `at`, or -1.
  long hexQuad(std::size_t at) const {
    if (text_.size() - at < 4) return -1;
    long value = 0;
    for (std::size_t i = at; i < at + 4; ++i) {
      char c = text_[i];
      int digit = c >= '0' && c <= '9' ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
      if (digit < 0) return -1;
      value = value * 16 + digit;
    }
    return value;
  }

  // A "\u" escape (the pair of one for a scalar past the first plane); a lone surrogate is refused.
  template <typename BadEscapeAt>
  void appendEscapedScalar(std::string& out, std::size_t& at, BadEscapeAt bad) const {
    long unit = hexQuad(at);
    if (unit < 0) fail(kStringError, bad());
    at += 4;
    std::uint32_t scalar = static_cast<std::uint32_t>(unit);
    if (unit >= 0xD800 && unit < 0xDC00) {
      long low = text_.compare(at, 2, "\\u") == 0 ? hexQuad(at + 2) : -1;
      if (low < 0xDC00 || low > 0xDFFF) fail(kStringError, bad());
      at += 6;
      scalar = 0x10000 + ((static_cast<std::uint32_t>(unit) - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00);
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      fail(kStringError, bad());
    }
    if (scalar < 0x80) {
      out += static_cast<char>(scalar);
    } else if (scalar < 0x800) {
      out += static_cast<char>(0xC0 | (scalar >> 6));
      out += static_cast<char>(0x80 | (scalar & 0x3F));
    } else if (scalar < 0x10000) {
      out += static_cast<char>(0xE0 | (scalar >> 12));
      out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (scalar & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (scalar >> 18));
      out += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (scalar & 0x3F));
    }
  }

  std::string_view text_;
  JsonStringAside* aside_;
};

}  // namespace

Json parseJson(std::string_view text) { return JsonReader(text).document(); }

Json parseJson(std::string_view text, JsonStringAside& aside) {
  aside.text.reset();
  return JsonReader(text, &aside).document();
}

}  // namespace pellam
