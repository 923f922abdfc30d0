#include "bench/archive_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>

namespace pellam::bench {

namespace {

// mt19937_64's output is fixed by the standard; the standard distributions are not, so
// the draws below are written out to keep archives identical on every platform.
class Draw {
 public:
  explicit Draw(std::uint64_t seed) : engine_(seed) {}

  std::uint64_t below(std::uint64_t bound) { return engine_() % bound; }
  bool chance(unsigned percent) { return below(100) < percent; }
  template <typename T, std::size_t N>
  const T& pick(const std::array<T, N>& items) {
    return items[below(N)];
  }

  Uuid uuid() {
    std::array<std::uint8_t, 16> bytes;
    for (std::size_t i = 0; i < 16; i += 8) {
      std::uint64_t word = engine_();
      for (std::size_t j = 0; j < 8; ++j) bytes[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0f) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3f) | 0x80);  // RFC 4122 variant
    return Uuid(bytes);
  }

 private:
  std::mt19937_64 engine_;
};

constexpr std::array<std::string_view, 12> kJobNames = {
    "Riverside Café",        "Northwind Logistics",   "Dr. Amelia Hart — Dental", "St. Mary's Hospital",
    "Blue Fern Studio",      "Kowalski & Söhne",      "Harbor Night Shift",       "Tutoring: \"Math\" Club",
    "Sunrise Bakery",        "東京オフィス",          "Freelance / Consulting",   "City Library"};
constexpr std::array<std::string_view, 4> kCurrencies = {"USD", "EUR", "GBP", "CAD"};
constexpr std::array<std::string_view, 6> kColors = {"blue", "green", "orange", "purple", "red", "teal"};
constexpr std::array<std::string_view, 3> kLocationModes = {"Off", "Remind", "Automatic"};
constexpr std::array<std::int64_t, 6> kRoundingMinutes = {1, 5, 6, 10, 15, 30};
constexpr std::array<std::string_view, 9> kTags = {"onsite", "remote",  "training", "overtime", "weekend",
                                                   "travel", "client:acme", "Über-Zeit", "night"};
constexpr std::array<std::string_view, 12> kComments = {
    "Inventory count",
    "Covered for Sam",
    "Closing shift, deep clean of the kitchen",
    "Client call re: Q3 \"roadmap\" review",
    "Überstunden wegen Lieferung",
    "Pick-up at C:\\Depot\\North",
    "Training new hire\nFollow-up on Friday",
    "Drove to the warehouse and back 🚚",
    "Réunion d'équipe",
    "Late start: dentist",
    "Weekend event setup / teardown",
    "Notes: see ticket #4411; bring badge"};
constexpr std::array<std::string_view, 4> kSources = {"Manual", "Timer", "Timer", "Import"};

constexpr double kDay = 86'400;
// 2014-01-01T06:00:00Z, midnight in Chicago.
const Instant kFirstDay = Instant::fromUnix(1'388'556'000);

Job makeJob(Draw& draw, std::size_t index, std::size_t count) {
  Job job;
  job.id = draw.uuid();
  job.name = std::string(kJobNames[index % kJobNames.size()]);
  job.color = std::string(draw.pick(kColors));
  job.rate = Decimal::scaled(static_cast<std::int64_t>(1500 + draw.below(6000)), -2);
  job.currency = std::string(kCurrencies[index % kCurrencies.size()]);
  job.withholding = Decimal::scaled(static_cast<std::int64_t>(draw.below(3500)), -2);
  job.mileageRate = draw.chance(50) ? Decimal::scaled(655, -3) : Decimal(0);
  if (index % 4 == 3) {
    job.dailyOvertime = 0;  // weekly overtime only
    job.dailyDoubleTime = 0;
  }
  job.rounding = kAllRoundings[index % kAllRoundings.size()];
  job.roundingMinutes = draw.pick(kRoundingMinutes);
  job.autoBreakAfterHours = draw.chance(30) ? 6 : 0;
  job.targetHours = draw.chance(20) ? 7.5 : 8;
  job.schedule = kAllPaySchedules[index % kAllPaySchedules.size()];
  job.payAnchor = Instant{kFirstDay.seconds - 2 * kDay};  // a Monday
  job.archived = count > 3 && index == count - 1;
  if (draw.chance(50)) job.notes = "Badge #" + std::to_string(1000 + draw.below(9000)) + ", parking level B2";
  job.latitude = 41.8781 + static_cast<double>(draw.below(2000)) / 10'000;
  job.longitude = -87.6298 - static_cast<double>(draw.below(2000)) / 10'000;
  job.locationRadius = draw.chance(50) ? 200 : 150.5;
  job.locationMode = std::string(kLocationModes[index % kLocationModes.size()]);
  return job;
}

Entry makeEntry(Draw& draw, const Archive& archive, std::size_t index, std::size_t count, std::size_t spanDays) {
  // Earlier jobs get more of the work, as a main job and a few side jobs would.
  std::size_t jobIndex = std::min(draw.below(archive.jobs.size()), draw.below(archive.jobs.size()));
  const Job& job = archive.jobs[jobIndex];
  Entry entry;
  entry.id = draw.uuid();
  entry.jobID = job.id;
  entry.source = std::string(draw.pick(kSources));
  double day = static_cast<double>(index * spanDays / count);
  double startSeconds = kFirstDay.seconds + day * kDay + 7 * 3600 + static_cast<double>(draw.below(6 * 3600));
  // Timers stop at odd fractions of a second; typed entries are whole minutes.
  if (entry.source == "Timer") startSeconds += static_cast<double>(draw.below(1'000'000)) / 1'000'000;
  double length = 2 * 3600 + static_cast<double>(draw.below(8 * 3600));
  entry.start = Instant{startSeconds};
  entry.end = Instant{startSeconds + length};
  if (draw.chance(60)) {
    TimePause lunch;
    lunch.id = draw.uuid();
    lunch.start = Instant{startSeconds + std::floor(length * 0.45)};
    lunch.end = Instant{lunch.start.seconds + 1800};
    lunch.kind = "Lunch";
    entry.pauses.push_back(lunch);
  }
  if (draw.chance(25)) {
    TimePause rest;
    rest.id = draw.uuid();
    rest.start = Instant{startSeconds + std::floor(length * 0.75)};
    rest.end = Instant{rest.start.seconds + 900};
    rest.paid = true;
    entry.pauses.push_back(rest);
  }
  if (draw.chance(10)) entry.manualBreakMinutes = 15;
  if (draw.chance(5)) entry.timeAdjustmentMinutes = static_cast<double>(draw.below(61)) - 30;
  entry.rate = draw.chance(10) ? job.rate + Decimal::scaled(150, -2) : job.rate;
  if (draw.chance(20)) entry.tips = Decimal::scaled(static_cast<std::int64_t>(draw.below(8000)), -2);
  if (draw.chance(15)) entry.miles = static_cast<double>(draw.below(600)) / 10;
  if (draw.chance(5)) entry.adjustment = Decimal::scaled(static_cast<std::int64_t>(draw.below(20000)) - 5000, -2);
  entry.adjustmentTaxable = !draw.chance(20);
  if (draw.chance(60)) entry.comment = std::string(draw.pick(kComments));
  for (std::uint64_t tags = draw.below(4); tags > 0; --tags) {
    std::string tag(draw.pick(kTags));
    if (std::find(entry.tags.begin(), entry.tags.end(), tag) == entry.tags.end()) entry.tags.push_back(tag);
  }
  return entry;
}

}  // namespace

Archive generateArchive(const ArchiveShape& shape) {
  Draw draw(shape.seed);
  Archive archive;
  archive.preferences.timeZone = "America/Chicago";
  archive.preferences.weekStartsOn = 1;
  archive.preferences.remindersEnabled = true;
  archive.preferences.reminderHour = 17;
  archive.preferences.reminderMinute = 30;

  std::size_t jobCount = std::clamp<std::size_t>(shape.entries / 5000 + 3, 3, kJobNames.size());
  for (std::size_t i = 0; i < jobCount; ++i) archive.jobs.push_back(makeJob(draw, i, jobCount));

  // About two entries a day, spread over at most ten years.
  std::size_t spanDays = std::clamp<std::size_t>(shape.entries / 2, 1, 3650);
  archive.entries.reserve(shape.entries);
  for (std::size_t i = 0; i < shape.entries; ++i) {
    archive.entries.push_back(makeEntry(draw, archive, i, shape.entries, spanDays));
  }

  SavedFilter mainJob;
  mainJob.id = draw.uuid();
  mainJob.name = "This week at " + archive.jobs[0].name;
  mainJob.jobID = archive.jobs[0].id;
  archive.filters.push_back(mainJob);
  SavedFilter overtime;
  overtime.id = draw.uuid();
  overtime.name = "Overtime";
  overtime.tag = "overtime";
  overtime.range = "This month";
  archive.filters.push_back(overtime);
  SavedFilter audit;
  audit.id = draw.uuid();
  audit.name = "Audit 2015";
  audit.query = "client";
  audit.range = "Custom";
  audit.from = Instant{kFirstDay.seconds + 365 * kDay};
  audit.through = Instant{kFirstDay.seconds + 730 * kDay - 1};
  archive.filters.push_back(audit);
  return archive;
}

const Archive& generatedArchive(std::size_t entries) {
  static std::map<std::size_t, std::unique_ptr<Archive>> archives;
  auto& archive = archives[entries];
  if (!archive) archive = std::make_unique<Archive>(generateArchive({.entries = entries}));
  return *archive;
}

}  // namespace pellam::bench
