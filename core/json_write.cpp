#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/json.h"

#include "core/byte_words.h"

namespace pellam {

namespace {

void appendIndent(std::string& out, int depth) {
  out.push_back('\n');
  out.append(static_cast<std::size_t>(depth) * 2, ' ');
}

void write(std::string& out, const Json& value, const JsonFormat& format, int depth) {
  switch (value.kind()) {
    case Json::Kind::Null:
      out += "null";
      return;
    case Json::Kind::Bool:
      out += value.asBool() ? "true" : "false";
      return;
    case Json::Kind::Number:
      out += value.numberLexeme();
      return;
    case Json::Kind::String:
      appendJsonString(out, value.asString(), format.escapeSlash);
      return;
    case Json::Kind::Array: {
      const auto& items = value.asArray();
      out.push_back('[');
      bool first = true;
      for (const Json& item : items) {
        if (!first) out.push_back(',');
        first = false;
        if (format.pretty) appendIndent(out, depth + 1);
        write(out, item, format, depth + 1);
      }
      if (format.pretty && !items.empty()) appendIndent(out, depth);
      out.push_back(']');
      return;
    }
    case Json::Kind::Object: {
      const auto& members = value.asObject();
      out.push_back('{');
      bool first = true;
      for (const auto& [key, member] : members) {
        if (!first) out.push_back(',');
        first = false;
        if (format.pretty) appendIndent(out, depth + 1);
        appendJsonString(out, key, format.escapeSlash);
        out += format.pretty ? " : " : ":";
        write(out, member, format, depth + 1);
      }
      if (format.pretty && !members.empty()) appendIndent(out, depth);
      out.push_back('}');
      return;
    }
  }
}

// The bytes a JSON string needs escaped: controls, the quote and the backslash, plus the
// slash when it is escaped too.
constexpr std::array<bool, 256> escapedBytes(bool slash) {
  std::array<bool, 256> table{};
  for (int byte = 0; byte < 0x20; ++byte) table[byte] = true;
  table['"'] = table['\\'] = true;
  table['/'] = slash;
  return table;
}

constexpr auto kEscaped = escapedBytes(false);
constexpr auto kEscapedWithSlash = escapedBytes(true);

// Whether any of the eight bytes at `bytes` may need an escape: a control, '"', '\\', or
// '/' when slashes are escaped. Never false for a byte that does.
bool mayNeedEscape(const char* bytes, bool escapeSlash) {
  using namespace byte_words;
  const std::uint64_t word = load(bytes);
  std::uint64_t hit = hasByteBelow(word, 0x20) | hasByte(word, '"') | hasByte(word, '\\');
  if (escapeSlash) hit |= hasByte(word, '/');
  return hit != 0;
}

}  // namespace

constexpr std::size_t kLongString = 64 * 1024;

void appendJsonString(std::string& out, std::string_view text, bool escapeSlash) {
  static constexpr char hex[] = "0123456789abcdef";
  const std::array<bool, 256>& escaped = escapeSlash ? kEscapedWithSlash : kEscaped;
  // A long string (an export's Base64) gets its room at once, with some to spare for what
  // follows it, so that megabytes are not moved to a larger buffer on the next append.
  if (text.size() > kLongString) out.reserve(out.size() + text.size() + kLongString);
  out.push_back('"');
  // Copy runs that need no escape in one go; most text has none at all (an export's Base64
  // is megabytes without one).
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Sixteen, then eight bytes at a time while none of them needs an escape (plain ASCII
    // never does, unless slashes are escaped).
    if (!escapeSlash) i = byte_words::skipPlainAscii(text.data(), i, text.size());
    while (i + 8 <= text.size() && !mayNeedEscape(text.data() + i, escapeSlash)) i += 8;
    if (i == text.size()) break;
    auto byte = static_cast<unsigned char>(text[i]);
    if (!escaped[byte]) continue;
    out.append(text.data() + runStart, i - runStart);
    runStart = i + 1;
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '/': out += "\\/"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        out += "\\u00";
        out.push_back(hex[byte >> 4]);
        out.push_back(hex[byte & 0xF]);
    }
  }
  out.append(text.data() + runStart, text.size() - runStart);
  out.push_back('"');
}

std::string writeJson(const Json& value, JsonFormat format) {
  std::string out;
  write(out, value, format, 0);
  return out;
}

void appendShortestDouble(std::string& out, double value) {
  if (!std::isfinite(value)) throw JsonTypeError("A JSON number cannot be infinite or NaN.");
  if (value == 0) {  // also for -0: the archive never needs a signed zero
    out.push_back('0');
    return;
  }
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)error;
  std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  // to_chars writes "1e+21"; JSON allows it, but drop the redundant plus for tidiness.
  if (auto plus = text.find("e+"); plus != std::string_view::npos) {
    out.append(text.substr(0, plus + 1));
    out.append(text.substr(plus + 2));
  } else {
    out.append(text);
  }
}

std::string shortestDoubleText(double value) {
  std::string text;
  appendShortestDouble(text, value);
  return text;
}

bool isJsonNumber(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto digit = [&](std::size_t at) { return at < n && text[at] >= '0' && text[at] <= '9'; };
  if (i < n && text[i] == '-') ++i;
  if (!digit(i)) return false;
  if (text[i] == '0') {
    ++i;
  } else {
    while (digit(i)) ++i;
  }
  if (i < n && text[i] == '.') {
    ++i;
    if (!digit(i)) return false;
    while (digit(i)) ++i;
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digit(i)) return false;
    while (digit(i)) ++i;
  }
  return i == n;
}

}  // namespace pellam
