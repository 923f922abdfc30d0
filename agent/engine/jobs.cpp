// jobs.list, jobs.show, jobs.create, jobs.update, jobs.archive and jobs.copy. A job is
// addressed by the `id` argument: its identifier in any letter case or its exact name.
#include <algorithm>
#include <vector>

#include "agent/engine/arguments.h"
#include "agent/engine/families.h"
#include "agent/engine/lookup.h"
#include "agent/engine/paging.h"
#include "agent/engine/patch.h"
#include "agent/engine/record_result.h"
#include "core/calendar/reporting_calendar.h"
#include "core/text/text_case.h"
#include "core/text/text_search.h"
#include "core/text/text_trim.h"

namespace pellam::agent::engine {

namespace {

// No jobs patch accepts a JSON null.
Json listJobs(const AgentRequest& request, const Archive& archive) {

  std::optional<bool> archived;
  if (const std::string* text = argument(request, "archived")) archived = boolean(*text, "archived");
  const std::string* queryText = argument(request, "query");
  const FoldedQuery query(queryText ? *queryText : std::string());

  std::vector<const Job*> kept;
  for (const Job& job : archive.jobs) {
    if (archived && job.archived != *archived) continue;
    if (!query.empty() && !query.foundIn(job.name)) continue;
    kept.push_back(&job);
  }
  // Byte order of UTF-8 is code-point order; identifiers compare like their upper-case text.
  std::sort(kept.begin(), kept.end(), [](const Job* a, const Job* b) {
    if (a->name != b->name) return a->name < b->name;
    return a->id < b->id;
  });
  return page(request, kept);
}

Json showJob(const AgentRequest& request, const Archive& archive) {
  const std::size_t index = jobIndex(required("id", request), archive);
  return record("job", archive.jobs[index], request);
}

void normalise(Job& job) {
  job.name = std::string(trimmedWhitespaceAndNewlines(job.name));
  job.currency = uppercased(job.currency);
}

Json createJob(const AgentRequest& request, Archive& archive, Instant now) {

  Job job;  // every field at its new-record value, the name empty
  // The request's identifier, so replaying one request cannot create two jobs.
  job.id = request.id;
  job.payAnchor = reportingCalendar(archive.preferences).startOfDay(now);

  job = patch(request, jobFields, kNoNullable, job);
  normalise(job);
  for (const Job& existing : archive.jobs) {
    if (existing.id == job.id) throw AgentFailure::conflict("This job ID already exists.");
  }
  archive.jobs.push_back(job);
  return record("job", archive.jobs.back(), request);
}

// Trimming and the running-timer rule shared by update and archive.
void finish(Job& job, const Archive& archive) {
  normalise(job);
  if (!job.archived) return;
  for (const Entry& entry : archive.entries) {
    if (entry.jobID == job.id && entry.isRunning()) {
      throw AgentFailure::invalidArgument("Clock out before archiving this job.");
    }
  }
}

Json updateJob(const AgentRequest& request, Archive& archive) {
  const std::size_t index = jobIndex(required("id", request), archive);
  match(request, archive.jobs[index]);

  Job job = patch(request, jobFields, kNoNullable, archive.jobs[index]);
  finish(job, archive);
  archive.jobs[index] = std::move(job);
  return record("job", archive.jobs[index], request);
}

Json archiveJob(const AgentRequest& request, Archive& archive) {
  const std::size_t index = jobIndex(required("id", request), archive);
  match(request, archive.jobs[index]);

  const std::string* text = argument(request, "archived");
  Job job = archive.jobs[index];
  job.archived = text ? boolean(*text, "archived") : true;
  finish(job, archive);
  archive.jobs[index] = std::move(job);
  return record("job", archive.jobs[index], request);
}

Json copy(const AgentRequest& request, Archive& archive) {
  const std::size_t index = jobIndex(required("id", request), archive);
  match(request, archive.jobs[index]);

  Job job = archive.jobs[index];
  job.id = request.id;
  const std::string* name = argument(request, "name");
  job.name = name ? *name : job.name + " copy";  // verbatim, not trimmed
  job.archived = false;
  for (const Job& existing : archive.jobs) {
    if (existing.id == job.id) throw AgentFailure::conflict("The copied job ID already exists.");
  }
  archive.jobs.push_back(std::move(job));
  return record("job", archive.jobs.back(), request);
}

constexpr HandlerRow kJobsHandlers[] = {
    {"jobs.list", [](const CommandCall& c) { return listJobs(c.request, c.archive); }},
    {"jobs.show", [](const CommandCall& c) { return showJob(c.request, c.archive); }},
    {"jobs.create", [](const CommandCall& c) { return createJob(c.request, c.archive, c.now); }},
    {"jobs.update", [](const CommandCall& c) { return updateJob(c.request, c.archive); }},
    {"jobs.archive", [](const CommandCall& c) { return archiveJob(c.request, c.archive); }},
    {"jobs.copy", [](const CommandCall& c) { return copy(c.request, c.archive); }},
};

}  // namespace

const FamilyHandlers jobsFamily{kJobsHandlers, "Unknown jobs operation."};

}  // namespace pellam::agent::engine
