#include "core/exchange/csv_import.h"

#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "core/data_error.h"
#include "core/exchange/csv_codec.h"
#include "core/exchange/csv_formula_prefix.h"
#include "core/json.h"
#include "core/records/record_json.h"
#include "core/text/text_case.h"
#include "core/text/text_trim.h"
#include "core/validation/validation.h"

namespace pellam::CSV {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string withoutByteOrderMarks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at = text.find(kByteOrderMark); at != std::string_view::npos;
       at = text.find(kByteOrderMark, from)) {
    out.append(text.substr(from, at - from));
    from = at + kByteOrderMark.size();
  }
  out.append(text.substr(from));
  return out;
}

std::string rowMessage(std::size_t row, std::string_view rest) {
  return "CSV row " + std::to_string(row) + std::string(rest);
}

std::optional<Instant> readDate(std::string_view text) {
  if (auto date = parseInternetDateTime(text, FractionalSeconds::Refused)) return date;
  return parseInternetDateTime(text, FractionalSeconds::Allowed);
}

// The empty text is 0; otherwise an optional minus, digits, and optionally a point and digits.
Decimal readAmount(std::string_view text, std::string_view label) {
  if (text.empty()) return 0;
  const auto fail = [&]() -> DataError {
    return DataError("Invalid " + std::string(label) + ". Use numbers without currency symbols.");
  };
  std::size_t at = text.front() == '-' ? 1 : 0;
  const std::size_t intStart = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  if (at == intStart) throw fail();
  const std::size_t intEnd = at;
  if (at < text.size()) {
    if (text[at] != '.') throw fail();
    const std::size_t fracStart = ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == fracStart || at != text.size()) throw fail();
  }
  // The decimal reader wants JSON's form: no superfluous leading zeros ("007" is 7).
  std::size_t firstDigit = intStart;
  while (firstDigit + 1 < intEnd && text[firstDigit] == '0') ++firstDigit;
  std::string lexeme(text.substr(0, intStart));
  lexeme.append(text.substr(firstDigit));
  const std::optional<Decimal> value = Decimal::parse(lexeme);
  if (!value) throw fail();
  return *value;
}

// The empty text is 0; otherwise the whole text must read as a finite double.
double readNumber(std::string_view text, std::string_view label) {
  if (text.empty()) return 0;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    throw DataError("Invalid " + std::string(label) + ".");
  }
  return value;
}

std::vector<std::string> readTags(const std::string& cell) {
  std::vector<std::string> tags;
  if (!cell.empty() && cell.front() == '[') {
    const Json json = parseJson(cell);
    if (!json.isArray()) throw DecodingError(DecodingError::Reason::WrongType, "tags", "an array of texts");
    for (std::size_t i = 0; i < json.asArray().size(); ++i) {
      const Json& item = json.asArray()[i];
      if (!item.isString()) {
        throw DecodingError(DecodingError::Reason::WrongType, "tags[" + std::to_string(i) + "]", "a text");
      }
      tags.push_back(item.asString());
    }
    return tags;
  }
  std::size_t from = 0;
  while (from <= cell.size()) {
    std::size_t at = cell.find(';', from);
    if (at == std::string::npos) at = cell.size();
    if (at > from) tags.push_back(cell.substr(from, at - from));
    from = at + 1;
  }
  return tags;
}

std::vector<TimePause> readPauses(const std::string& cell) {
  std::vector<TimePause> pauses;
  if (cell.empty()) return pauses;
  const Json json = parseJson(cell);
  if (!json.isArray()) throw DecodingError(DecodingError::Reason::WrongType, "pauses", "an array");
  for (std::size_t i = 0; i < json.asArray().size(); ++i) {
    try {
      TimePause pause = timePauseFromJson(json.asArray()[i]);
      // A number is read as seconds whatever its size; a date outside the calendar is as
      // unreadable here as a text that names none.
      if (!isWithinCalendar(pause.start) || (pause.end && !isWithinCalendar(*pause.end))) {
        throw DecodingError(DecodingError::Reason::InvalidDate, "");
      }
      pauses.push_back(std::move(pause));
    } catch (DecodingError& error) {
      error.prependIndex(i);
      error.prependKey("pauses");
      throw;
    }
  }
  return pauses;
}

// Where each column is in the header; the first accepted name present wins.
struct Columns {
  std::optional<std::size_t> job, start, end, rate, currency, breakMinutes, timeAdjustment, tips, miles,
      adjustment, taxable, comment, tags, entryID, pauses;

  explicit Columns(const Row& header) {
    std::unordered_map<std::string, std::size_t> names;
    for (std::size_t i = 0; i < header.size(); ++i) {
      std::string name(trimmedWhitespaceAndNewlines(lowercased(header[i])));
      if (!names.emplace(std::move(name), i).second) throw DataError("Duplicate CSV column names.");
    }
    const auto find = [&](std::initializer_list<std::string_view> accepted) -> std::optional<std::size_t> {
      for (std::string_view name : accepted) {
        if (auto found = names.find(std::string(name)); found != names.end()) return found->second;
      }
      return std::nullopt;
    };
    job = find({"job", "job name"});
    start = find({"start", "start date"});
    end = find({"end", "end date"});
    if (!job || !start || !end) {
      throw DataError(
          "Required CSV columns: Job, Start, End. Dates must be ISO 8601 with a timezone. See Help \xE2\x86\x92 "
          "Import Guide.");
    }
    rate = find({"rate", "hourly rate"});
    currency = find({"currency"});
    breakMinutes = find({"break minutes"});
    timeAdjustment = find({"time adjustment minutes"});
    tips = find({"tips"});
    miles = find({"miles", "mileage"});
    adjustment = find({"adjustment"});
    taxable = find({"taxable"});
    comment = find({"comment", "comments", "notes"});
    tags = find({"tags"});
    entryID = find({"entry id"});
    pauses = find({"pauses json"});
  }
};

// The cell of a present column, or the column's default when it is absent.
const std::string& cell(const Row& row, const std::optional<std::size_t>& column, const std::string& absent) {
  return column ? row[*column] : absent;
}

std::uint64_t mixed(std::uint64_t value) {  // splitmix64's finaliser
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

std::uint64_t bitsOf(double value) {
  if (value == 0) value = 0;  // -0 and 0 are the same instant
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

struct UuidHash {
  std::size_t operator()(const Uuid& id) const {
    std::uint64_t halves[2];
    std::memcpy(halves, id.bytes().data(), sizeof halves);
    return mixed(halves[0] ^ mixed(halves[1]));
  }
};

std::uint64_t contentHash(const Uuid& jobID, Instant start, Instant end, std::string_view comment) {
  std::uint64_t hash = UuidHash()(jobID);
  hash = mixed(hash ^ bitsOf(start.seconds));
  hash = mixed(hash ^ bitsOf(end.seconds));
  return mixed(hash ^ std::hash<std::string_view>()(comment));
}

// The entries already present, found by id and by job, start, end and comment in constant
// time, so that a large file against a large archive stays linear. Holds positions in
// `entries`, which only grows while the index is in use.
class EntryIndex {
 public:
  explicit EntryIndex(const std::vector<Entry>& entries, std::size_t expectedRows) : entries_(entries) {
    ids_.reserve(entries.size() + expectedRows);
    contents_.reserve(entries.size() + expectedRows);
    for (std::size_t i = 0; i < entries.size(); ++i) add(i);
  }

  bool containsID(const Uuid& id) const { return ids_.count(id) > 0; }

  bool containsContent(const Entry& candidate) const {
    const auto [from, to] = contents_.equal_range(key(candidate));
    for (auto it = from; it != to; ++it) {
      const Entry& entry = entries_[it->second];
      if (entry.jobID == candidate.jobID && entry.start == candidate.start && entry.end == candidate.end &&
          entry.comment == candidate.comment) {
        return true;
      }
    }
    return false;
  }

  void add(std::size_t position) {
    const Entry& entry = entries_[position];
    ids_.insert(entry.id);
    if (entry.end) contents_.emplace(key(entry), position);  // imported rows are never running
  }

 private:
  static std::uint64_t key(const Entry& entry) {
    return contentHash(entry.jobID, entry.start, *entry.end, entry.comment);
  }

  const std::vector<Entry>& entries_;
  std::unordered_set<Uuid, UuidHash> ids_;
  std::unordered_multimap<std::uint64_t, std::size_t> contents_;
};

// Jobs by name and currency: the first of equal ones wins.
std::string jobKey(std::string_view name, std::string_view currency) {
  std::string key(currency);
  key.push_back('\0');
  key.append(name);
  return key;
}

}  // namespace

ImportPreview importFile(std::string_view text, const Archive& archive) {
  const std::vector<Row> rows = parse(withoutByteOrderMarks(text));
  if (rows.size() < 2) throw DataError("The CSV has no entries.");
  const Columns columns(rows.front());

  Archive working = archive;
  const std::size_t jobsBefore = working.jobs.size();
  std::unordered_map<std::string, std::size_t> jobsByKey;
  for (std::size_t i = 0; i < working.jobs.size(); ++i) {
    jobsByKey.emplace(jobKey(working.jobs[i].name, working.jobs[i].currency), i);
  }
  EntryIndex present(working.entries, rows.size());

  static const std::string empty, usd = "USD", trueText = "true";
  std::size_t added = 0, duplicates = 0;
  for (std::size_t index = 1; index < rows.size(); ++index) {
    const Row& row = rows[index];
    const std::size_t number = index + 1;
    if (row.size() != rows.front().size()) throw DataError(rowMessage(number, " has the wrong number of columns."));

    const std::string jobName(trimmedWhitespaceAndNewlines(withoutFormulaPrefix(row[*columns.job])));
    const std::optional<Instant> start = readDate(row[*columns.start]);
    const std::optional<Instant> end = readDate(row[*columns.end]);
    if (jobName.empty() || !start || !end || *end < *start) {
      throw DataError(rowMessage(
          number, ": check the job and ISO 8601 start/end dates. Running entries cannot be imported from CSV."));
    }
    const Decimal rate = readAmount(cell(row, columns.rate, empty), "rate");
    const std::string currency = uppercased(cell(row, columns.currency, usd));

    auto [found, created] = jobsByKey.emplace(jobKey(jobName, currency), working.jobs.size());
    if (created) {
      Job& job = working.jobs.emplace_back(jobName);
      job.rate = rate;
      job.currency = currency;
    }
    Entry entry(working.jobs[found->second].id, *start, *end, rate);
    entry.manualBreakMinutes = readNumber(cell(row, columns.breakMinutes, empty), "break minutes");
    entry.timeAdjustmentMinutes = readNumber(cell(row, columns.timeAdjustment, empty), "time adjustment");
    entry.tips = readAmount(cell(row, columns.tips, empty), "tips");
    entry.miles = readNumber(cell(row, columns.miles, empty), "miles");
    entry.adjustment = readAmount(cell(row, columns.adjustment, empty), "adjustment");
    const std::string taxable = lowercased(cell(row, columns.taxable, trueText));
    if (taxable == "true") {
      entry.adjustmentTaxable = true;
    } else if (taxable == "false") {
      entry.adjustmentTaxable = false;
    } else {
      throw DataError("Taxable must be true or false.");
    }
    entry.comment = withoutFormulaPrefix(cell(row, columns.comment, empty));
    entry.tags = readTags(cell(row, columns.tags, empty));
    entry.pauses = readPauses(cell(row, columns.pauses, empty));
    entry.source = "CSV import";

    const std::optional<Uuid> id = Uuid::parse(cell(row, columns.entryID, empty));
    if ((id && present.containsID(*id)) || present.containsContent(entry)) {
      ++duplicates;
      continue;
    }
    if (id) entry.id = *id;
    working.entries.push_back(std::move(entry));
    present.add(working.entries.size() - 1);
    ++added;
  }

  validate(working);
  ImportPreview preview;
  preview.detail = "Add " + std::to_string(added) + " entries and " +
                   std::to_string(working.jobs.size() - jobsBefore) + " jobs. Skip " + std::to_string(duplicates) +
                   " duplicates. Existing entries stay as they are.";
  preview.archive = std::move(working);
  return preview;
}

}  // namespace pellam::CSV
