#pragma once
// Small archives for the report and export tests: the documented example of the text
// report, and a richer one with two currencies.
#include <string_view>

#include "engine_fixtures.h"

namespace pellam::agent::testing {

using pellam::testing::dec;

// Thursday 2026-10-22, 09:00 in New York; its week (from Monday) is 19 to 25 October.
inline const Instant kReportNow = at("2026-10-22T13:00:00Z");

inline const Uuid kZulu = kAcme;  // USD; its id sorts first although its name sorts last
inline const Uuid kBetaEUR = kBeta;
inline const Uuid kFirst = uuid("A1A1A1A1-0000-4000-8000-000000000004");   // Zulu, 8 h on the 20th
inline const Uuid kSecond = uuid("A1A1A1A1-0000-4000-8000-000000000003");  // Zulu, 1 h later that day
inline const Uuid kNight = uuid("A1A1A1A1-0000-4000-8000-000000000005");   // Beta, across midnight

inline Entry reportEntry(Uuid id, Uuid jobID, std::string_view start, std::string_view end, std::string_view rate) {
  Entry e = plainEntry(id, jobID, at(start), at(end));
  e.rate = dec(rate);
  return e;
}

// The example of the report's documentation: one line of 8 h at 25 per hour with 10 %
// withholding, in a week starting on Monday.
inline Archive exampleArchive() {
  Archive archive;
  archive.preferences.timeZone = "America/New_York";
  archive.preferences.weekStartsOn = 2;
  Job acme = job(kAcme, "Acme");
  acme.withholding = 10;
  archive.jobs = {acme};
  archive.entries = {reportEntry(kFirst, kAcme, "2026-10-20T13:00:00Z", "2026-10-20T21:00:00Z", "25")};
  return archive;
}

// Two currencies; an hour of daily overtime; a job name with line breaks; an entry across
// midnight with tips, a negative adjustment and miles.
inline Archive twoCurrencies() {
  Archive archive = exampleArchive();
  archive.jobs[0].name = "Zulu Works";
  archive.jobs[0].mileageRate = dec("0.5");
  Job beta = job(kBetaEUR, "Beta\r\nSouth\nside");
  beta.currency = "EUR";
  beta.withholding = dec("12.5");
  beta.mileageRate = dec("0.5");
  archive.jobs.push_back(beta);
  archive.entries.push_back(reportEntry(kSecond, kZulu, "2026-10-20T22:00:00Z", "2026-10-20T23:00:00Z", "25"));
  Entry night = reportEntry(kNight, kBetaEUR, "2026-10-21T02:00:00Z", "2026-10-21T06:00:00Z", "20");
  night.tips = 5;
  night.adjustment = -3;
  night.miles = 10;
  archive.entries.push_back(night);
  return archive;
}

}  // namespace pellam::agent::testing
