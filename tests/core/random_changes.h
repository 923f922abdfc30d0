#pragma once
// Random changes of a small archive, for the property tests of what is kept between
// changes (core/validation/validation_index.h, core/storage/encoded_archive.h): a fixed seed gives the same
// sequence every run. Each change edits, adds or removes a few entries, the way the engine
// does, and now and then touches the jobs, saved views, preferences or format; about half
// the changes break some rule. The positions it touched are tracked, as the engine's
// journal tracks them, so the test has the entries' origins without comparing.
#include <optional>
#include <random>
#include <vector>

#include "core/records/entry_origins.h"
#include "core/record_fixtures.h"
#include "core/records/records.h"

namespace pellam::testing {

// Instants moved by seconds, for the arithmetic below.
inline Instant operator+(Instant instant, double seconds) { return Instant{instant.seconds + seconds}; }
inline Instant operator-(Instant instant, double seconds) { return Instant{instant.seconds - seconds}; }

class RandomChanges {
 public:
  explicit RandomChanges(unsigned seed) : random_(seed) {}

  // A valid archive at kNow: three jobs, `entries` finished entries with breaks, one running
  // entry, two saved views.
  Archive start(std::size_t entries) {
    Archive archive;
    archive.preferences = fixedPreferences();
    archive.jobs = {plainJob(kJobA, "Cafe"), plainJob(kJobB, "Studio"), plainJob(freshId(), "Shop")};
    for (std::size_t i = 0; i < entries; ++i) archive.entries.push_back(finishedEntry(archive));
    archive.entries.push_back(plainEntry(freshId(), kJobB, kNow - 3600 * 5, std::nullopt));
    SavedFilter week;
    week.id = kFilter1;
    week.name = "Week";
    SavedFilter cafe;
    cafe.id = kFilter2;
    cafe.name = "Cafe";
    cafe.jobID = kJobA;
    archive.filters = {week, cafe};
    return archive;
  }

  // Changes `archive` in place and returns where its entries came from.
  EntryOrigins change(Archive& archive) {
    std::vector<std::size_t> from(archive.entries.size());
    for (std::size_t i = 0; i < from.size(); ++i) from[i] = i;
    const std::size_t before = from.size();
    const int steps = 1 + pick(3);
    for (int step = 0; step < steps; ++step) {
      const int kind = pick(20);
      if (kind < 8 && !archive.entries.empty()) {
        const std::size_t i = pick(archive.entries.size());
        editEntry(archive, archive.entries[i]);
        from[i] = EntryOrigins::kChanged;
      } else if (kind < 12) {
        const std::size_t i = pick(archive.entries.size() + 1);
        archive.entries.insert(archive.entries.begin() + static_cast<std::ptrdiff_t>(i), newEntry(archive));
        from.insert(from.begin() + static_cast<std::ptrdiff_t>(i), EntryOrigins::kChanged);
      } else if (kind < 14 && !archive.entries.empty()) {
        const std::size_t i = pick(archive.entries.size());
        archive.entries.erase(archive.entries.begin() + static_cast<std::ptrdiff_t>(i));
        from.erase(from.begin() + static_cast<std::ptrdiff_t>(i));
      } else if (kind < 17) {
        editJobs(archive);
      } else if (kind < 19) {
        editOthers(archive);
      } else if (pick(4) == 0) {
        archive.version = pick(2) ? 3 : 1;
      }
    }
    return EntryOrigins(before, std::move(from));
  }

  // The time of a check: mostly within two hours of kNow, now and then a year later (a
  // running entry grows too old) or a day earlier.
  Instant someNow() {
    switch (pick(10)) {
      case 0: return kNow + 367.0 * 86400;
      case 1: return kNow - 86400.0;
      default: return kNow + static_cast<double>(pick(7200));
    }
  }

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

 private:
  Uuid freshId() {
    std::array<std::uint8_t, 16> bytes;
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(pick(256));
    return Uuid(bytes);
  }

  Uuid someJob(const Archive& archive) {
    if (archive.jobs.empty() || pick(12) == 0) return freshId();  // a job that is not there
    return archive.jobs[pick(archive.jobs.size())].id;
  }

  Entry finishedEntry(const Archive& archive) {
    const Instant start = kNow - static_cast<double>(86400 * (1 + pick(300)) + pick(3600));
    Entry entry = plainEntry(freshId(), archive.jobs[pick(archive.jobs.size())].id, start, start + 8 * 3600.0);
    if (pick(2)) entry.pauses.push_back(pause(freshId(), start + 3600.0, start + 5400.0, pick(2) == 0));
    if (pick(3) == 0) entry.tags = {"site"};
    return entry;
  }

  Entry newEntry(const Archive& archive) {
    Entry entry = finishedEntry(archive);
    entry.jobID = someJob(archive);
    if (pick(5) == 0) entry.end.reset();  // another running timer
    if (pick(10) == 0 && !archive.entries.empty()) entry.id = archive.entries[pick(archive.entries.size())].id;
    return entry;
  }

  void editEntry(const Archive& archive, Entry& entry) {
    switch (pick(15)) {
      case 0: entry.end.reset(); break;  // clocked in again
      case 1: entry.end = entry.start + static_cast<double>(pick(10 * 3600)); break;
      case 2: entry.start = entry.start - static_cast<double>(pick(400) * 86400); break;
      case 3: entry.rate = pick(4) ? dec("35.5") : dec("-1"); break;
      case 4: entry.miles = pick(2) ? -0.0 : 2e6; break;
      case 5: entry.jobID = someJob(archive); break;
      case 6: entry.id = pick(2) || archive.entries.empty() ? freshId() : archive.entries[pick(archive.entries.size())].id; break;
      case 7: entry.pauses.push_back(pause(freshId(), entry.start + static_cast<double>(pick(4 * 3600)),
                                           entry.start + static_cast<double>(pick(9 * 3600)))); break;
      case 8: entry.pauses.clear(); break;
      case 9: entry.pauses.push_back(pause(freshId(), entry.start + 60.0, std::nullopt)); break;  // an open break
      case 10: entry.comment = pick(2) ? "Fixed \"the\" sink\nthen left" : ""; break;
      case 11: entry.tips = pick(3) ? dec("2.25") : dec("2000000"); break;
      case 12: entry.timeAdjustmentMinutes = pick(3) ? -15.0 : 20000.0; break;
      case 13:  // a date outside the calendar
        entry.start = Instant{pick(2) ? 6e11 : -7e10};
        if (entry.end) entry.end = entry.start + 3600.0;
        entry.pauses.clear();
        break;
      default: entry.tags.push_back("tag" + std::to_string(pick(5))); break;
    }
  }

  void editJobs(Archive& archive) {
    switch (pick(9)) {
      case 0: archive.jobs.push_back(plainJob(freshId(), "New")); break;
      case 1:
        if (archive.jobs.size() > 1) archive.jobs.erase(archive.jobs.begin() + static_cast<std::ptrdiff_t>(pick(archive.jobs.size())));
        break;
      case 2: archive.jobs[pick(archive.jobs.size())].rate = pick(2) ? dec("42") : dec("1000000.01"); break;
      case 3: archive.jobs[pick(archive.jobs.size())].name = pick(2) ? "  " : "Renamed"; break;
      case 4: archive.jobs[pick(archive.jobs.size())].id = pick(2) ? freshId() : archive.jobs[0].id; break;
      case 5: archive.jobs[pick(archive.jobs.size())].archived ^= true; break;
      case 6: archive.jobs[pick(archive.jobs.size())].latitude = -0.0; break;
      case 7: archive.jobs[pick(archive.jobs.size())].payAnchor = pick(2) ? Instant{6e11} : kNow; break;
      default: archive.jobs[pick(archive.jobs.size())].currency = pick(2) ? "eur" : "EU"; break;
    }
  }

  void editOthers(Archive& archive) {
    switch (pick(6)) {
      case 0: archive.preferences.multipleTimers ^= true; break;
      case 1: archive.preferences.weekStartsOn = pick(2) ? 3 : 0; break;
      case 2: archive.filters[0].range = pick(2) ? "This month" : "Someday"; break;
      case 3: archive.filters[1].jobID = someJob(archive); break;
      case 4: archive.filters[1].id = pick(2) ? freshId() : archive.filters[0].id; break;
      default: archive.filters[0].name = pick(2) ? "Month" : " "; break;
    }
  }

  std::mt19937 random_;
};

}  // namespace pellam::testing
