#pragma once
// The archive file's layout, written by direct appends: the whole file at once
// (core/storage/archive_json.h) or assembled with entries encoded earlier (core/storage/encoded_archive.h),
// which must give the same bytes. Internal to the core library.
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/json.h"
#include "core/records/record_fields.h"

namespace pellam::archive_layout {

// Direct appends, laid out exactly as writeJson(value, {.pretty = true}) lays out the tree
// form: two-space indentation, one member or item per line, " : " between key and value,
// empty arrays and objects as [] and {}.

inline void newline(std::string& out, int depth) {
  // A line break and up to 32 levels of indentation, appended in one go.
  static constexpr std::string_view kBreak =
      "\n                                                                ";
  std::size_t length = 1 + static_cast<std::size_t>(depth) * 2;
  if (length <= kBreak.size()) {
    out.append(kBreak.data(), length);
  } else {
    out.push_back('\n');
    out.append(length - 1, ' ');
  }
}

template <typename Record>
void writeRecord(std::string& out, const Record& record, int depth);

template <typename T>
void writeValue(std::string& out, const T& value, int depth) {
  if constexpr (std::is_same_v<T, bool>) {
    out += value ? "true" : "false";
  } else if constexpr (std::is_same_v<T, double>) {
    appendShortestDouble(out, value);
  } else if constexpr (std::is_same_v<T, std::int64_t>) {
    char buffer[24];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)error;
    out.append(buffer, end);
  } else if constexpr (std::is_same_v<T, std::string>) {
    appendJsonString(out, value);
  } else if constexpr (std::is_same_v<T, Decimal>) {
    out += value.text();
  } else if constexpr (std::is_same_v<T, Instant>) {
    appendShortestDouble(out, value.seconds);
  } else if constexpr (std::is_same_v<T, Uuid>) {
    out.push_back('"');
    value.appendText(out);
    out.push_back('"');
  } else if constexpr (std::is_same_v<T, Rounding> || std::is_same_v<T, PaySchedule>) {
    appendJsonString(out, rawValue(value));
  } else if constexpr (detail::IsRecord<T>) {
    writeRecord(out, value, depth);
  } else {
    out.push_back('[');
    bool first = true;
    for (const auto& item : value) {
      if (!first) out.push_back(',');
      first = false;
      newline(out, depth + 1);
      writeValue(out, item, depth + 1);
    }
    if (!value.empty()) newline(out, depth);
    out.push_back(']');
  }
}

template <typename Record>
void writeRecord(std::string& out, const Record& record, int depth) {
  using Fields = typename detail::FieldsOf<Record>::Type;
  out.push_back('{');
  bool first = true;
  for (std::size_t i = 0; i < Fields::kKeys.size(); ++i) {
    Fields::field(record, i, [&](const auto& value) {
      using T = std::decay_t<decltype(value)>;
      if constexpr (detail::IsOptional<T>::value) {
        if (!value) return;
      }
      if (!first) out.push_back(',');
      first = false;
      newline(out, depth + 1);
      out.push_back('"');
      out += Fields::kKeys[i];  // keys are plain ASCII names, nothing to escape
      out += "\" : ";
      if constexpr (detail::IsOptional<T>::value) {
        writeValue(out, *value, depth + 1);
      } else {
        writeValue(out, value, depth + 1);
      }
    });
  }
  if (!first) newline(out, depth);
  out.push_back('}');
}

// How deep an entry sits: an item of the archive's "entries" array.
inline constexpr int kEntryDepth = 2;

inline void writeEntry(std::string& out, const Entry& entry) { writeRecord(out, entry, kEntryDepth); }

// The archive object, its entries written by `entry(out, index)` (one entry's text at
// kEntryDepth, from its "{" to its "}"), everything else as writeRecord writes it.
template <typename EntryWriter>
void writeArchive(std::string& out, const Archive& archive, EntryWriter&& entry) {
  using Fields = detail::ArchiveFields;
  static_assert(Fields::kKeys[0] == "entries");
  out.push_back('{');
  for (std::size_t i = 0; i < Fields::kKeys.size(); ++i) {
    if (i > 0) out.push_back(',');
    newline(out, 1);
    out.push_back('"');
    out += Fields::kKeys[i];
    out += "\" : ";
    if (i == 0) {
      out.push_back('[');
      for (std::size_t index = 0; index < archive.entries.size(); ++index) {
        if (index > 0) out.push_back(',');
        newline(out, kEntryDepth);
        entry(out, index);
      }
      if (!archive.entries.empty()) newline(out, 1);
      out.push_back(']');
    } else {
      Fields::field(archive, i, [&](const auto& value) { writeValue(out, value, 1); });
    }
  }
  newline(out, 0);
  out.push_back('}');
}

}  // namespace pellam::archive_layout
