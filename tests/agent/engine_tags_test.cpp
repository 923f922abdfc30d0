#include <gtest/gtest.h>

#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

using Tags = std::vector<std::string>;

// Five finished entries of Acme with the given tag lists, and two saved views naming tags.
Archive tagged(std::initializer_list<Tags> lists, std::string firstViewTag = "client", std::string otherViewTag = "") {
  Archive archive = sampleArchive();
  archive.entries.clear();
  int n = 0;
  for (const Tags& tags : lists) {
    const Instant start{at("2026-03-02T14:00:00Z").seconds + n * 86400.0};
    Entry done = plainEntry(uuid("B0000000-0000-4000-8000-00000000000" + std::to_string(n)), kAcme, start,
                       Instant{start.seconds + 7200});
    done.tags = tags;
    archive.entries.push_back(std::move(done));
    ++n;
  }
  SavedFilter first;
  first.id = uuid("F0000000-0000-4000-8000-000000000001");
  first.name = "First";
  first.tag = std::move(firstViewTag);
  first.from = first.through = kNow;
  SavedFilter other = first;
  other.id = uuid("F0000000-0000-4000-8000-000000000002");
  other.name = "Other";
  other.tag = std::move(otherViewTag);
  archive.filters = {first, other};
  return archive;
}

std::string listed(const Outcome& outcome) {
  if (outcome.failure) return summary(outcome);
  const Json result = outcome.result();
  std::string text;
  for (const Json& item : result.find("items")->asArray()) text += item.asString() + "|";
  return text + " total " + result.find("total")->numberLexeme();
}

TEST(EngineTagsTest, ListIsDistinctInCodePointOrder) {
  const Archive archive = tagged({{"zeta", "client"}, {"Client", "client"}, {}, {"émile", "b", "Zulu"}, {"client"}});
  struct Case {
    Arguments arguments;
    const char* expected;
  };
  const Case cases[] = {
      // Upper case before lower case, non-ASCII last; exact comparison keeps "Client" apart.
      {{}, "Client|Zulu|b|client|zeta|émile| total 6"},
      {{{"limit", "2"}, {"offset", "1"}}, "Zulu|b| total 6"},
      {{{"offset", "6"}}, " total 6"},
      {{{"limit", "0"}}, "invalid_argument: --limit must be from 1 through 1000."},
      {{{"tag", "x"}}, "invalid_argument: Unknown arguments for tags.list: tag."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(listed(run(archive, "tags.list", c.arguments)), c.expected);
  }
  // Saved views' tags are not listed; neither is anything on an archive without tags.
  EXPECT_EQ(listed(run(tagged({{}, {}}, "view-only"), "tags.list")), " total 0");
}

struct ReplaceCase {
  const char* command;
  Arguments arguments;
  const char* expected;  // summary
};

TEST(EngineTagsTest, ReplaceFailures) {
  const Archive archive = tagged({{"client", "travel"}, {"travel"}}, "view-only");
  const ReplaceCase cases[] = {
      {"tags.rename", {{"to", "x"}}, "invalid_argument: Supply --tag."},
      {"tags.rename", {{"tag", ""}, {"to", "x"}}, "invalid_argument: Supply --tag."},
      {"tags.rename", {{"tag", "client"}}, "invalid_argument: Supply --to."},
      {"tags.merge", {{"tag", "client"}, {"to", ""}}, "invalid_argument: Supply --to."},
      {"tags.rename", {{"tag", "client"}, {"to", " \t\n\u3000"}}, "invalid_argument: The new tag name cannot be empty."},
      {"tags.merge", {{"tag", "client"}, {"to", "  "}}, "invalid_argument: The new tag name cannot be empty."},
      // The tag is taken verbatim and compared exactly.
      {"tags.rename", {{"tag", " client"}, {"to", "x"}}, "not_found: That tag does not exist."},
      {"tags.rename", {{"tag", "Client"}, {"to", "x"}}, "not_found: That tag does not exist."},
      // A tag only a saved view uses is not a tag.
      {"tags.merge", {{"tag", "view-only"}, {"to", "travel"}}, "not_found: That tag does not exist."},
      {"tags.remove", {{"tag", "view-only"}}, "not_found: That tag does not exist."},
      // A missing tag is reported before an empty new name.
      {"tags.rename", {{"tag", "nothing"}, {"to", " "}}, "not_found: That tag does not exist."},
      {"tags.remove", {{"tag", "client"}, {"to", "x"}}, "invalid_argument: Unknown arguments for tags.remove: to."},
      {"tags.rename", {{"tag", "client"}, {"to", "x"}, {"limit", "1"}},
       "invalid_argument: Unknown arguments for tags.rename: limit."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command + std::string(" ") + c.expected);
    Outcome outcome = run(archive, c.command, c.arguments);
    EXPECT_EQ(summary(outcome), c.expected);
    if (outcome.failure) {
      EXPECT_FALSE(outcome.failure->retryable);
    }
  }
}

TEST(EngineTagsTest, RenameAndMergeRewriteOnlyTheCarriers) {
  const Archive archive = tagged({{"zeta", "client", "alpha"},  // carrier, re-sorted
                                  {"zeta", "alpha"},            // untouched, order kept
                                  {"client", "travel", "client"},
                                  {"travel", "client"},  // merge: one copy of travel
                                  {"client"}},
                                 "client", "client ");
  for (const char* command : {"tags.rename", "tags.merge"}) {
    SCOPED_TRACE(command);
    Outcome outcome = run(archive, command, {{"tag", "client"}, {"to", "  travel \n"}});
    ASSERT_TRUE(outcome.execution) << summary(outcome);
    EXPECT_TRUE(outcome.execution->changed);
    EXPECT_EQ(writeJson(outcome.result()), R"({"affectedEntries":4,"dryRun":false,"from":"client","to":"travel"})");
    const std::vector<Entry>& entries = outcome.execution->archive.entries;
    EXPECT_EQ(entries[0].tags, (Tags{"alpha", "travel", "zeta"}));
    EXPECT_EQ(entries[1].tags, (Tags{"zeta", "alpha"}));
    EXPECT_EQ(entries[2].tags, (Tags{"travel"}));
    EXPECT_EQ(entries[3].tags, (Tags{"travel"}));
    EXPECT_EQ(entries[4].tags, (Tags{"travel"}));
    // Views naming the tag exactly follow it; "client " is another tag.
    EXPECT_EQ(outcome.execution->archive.filters[0].tag, "travel");
    EXPECT_EQ(outcome.execution->archive.filters[1].tag, "client ");
    // Nothing else of an entry changes.
    Entry expected = archive.entries[3];
    expected.tags = {"travel"};
    EXPECT_EQ(entries[3], expected);
  }
}

TEST(EngineTagsTest, RemoveDropsTheTagAndClearsViews) {
  const Archive archive = tagged({{"b", "client", "a", "a"}, {"b", "a", "a"}, {"client"}});
  Outcome outcome = run(archive, "tags.remove", {{"tag", "client"}});
  ASSERT_TRUE(outcome.execution) << summary(outcome);
  EXPECT_EQ(writeJson(outcome.result()), R"({"affectedEntries":2,"dryRun":false,"from":"client","to":""})");
  const Archive& after = outcome.execution->archive;
  EXPECT_EQ(after.entries[0].tags, (Tags{"a", "b"}));
  EXPECT_EQ(after.entries[1].tags, (Tags{"b", "a", "a"}));  // not a carrier: left as stored
  EXPECT_EQ(after.entries[2].tags, Tags{});
  EXPECT_EQ(after.filters[0].tag, "");
  EXPECT_EQ(after.filters, (std::vector<SavedFilter>{[&] {
                              SavedFilter cleared = archive.filters[0];
                              cleared.tag = "";
                              return cleared;
                            }(),
                            archive.filters[1]}));
}

TEST(EngineTagsTest, DryRunsReportWithoutChanging) {
  const Archive archive = tagged({{"client"}, {"client", "x"}});
  for (const char* command : {"tags.rename", "tags.remove"}) {
    SCOPED_TRACE(command);
    Arguments arguments{{"tag", "client"}};
    if (std::string(command) == "tags.rename") arguments["to"] = "customer";

    Outcome dry = run(archive, command, arguments, true);
    ASSERT_TRUE(dry.execution) << summary(dry);
    EXPECT_FALSE(dry.execution->changed);
    EXPECT_EQ(dry.execution->archive, archive);
    EXPECT_EQ(dry.result().find("affectedEntries")->numberLexeme(), "2");
    EXPECT_TRUE(dry.result().find("dryRun")->asBool());

    // The host's in-place run puts the entries back too.
    Archive inPlace = archive;
    AgentInPlaceExecution execution = AgentCommands::executeInPlace(request(command, arguments, true), inPlace, kNow);
    EXPECT_FALSE(execution.changed);
    EXPECT_EQ(inPlace, archive);
  }
}

TEST(EngineTagsTest, RenamingATagOntoItselfOnlyTidiesItsCarriers) {
  const Archive archive = tagged({{"x", "client", "client"}, {"b", "a"}});
  Outcome outcome = run(archive, "tags.rename", {{"tag", "client"}, {"to", "client"}});
  ASSERT_TRUE(outcome.execution) << summary(outcome);
  EXPECT_EQ(outcome.result().find("affectedEntries")->numberLexeme(), "1");
  EXPECT_EQ(outcome.execution->archive.entries[0].tags, (Tags{"client", "x"}));
  EXPECT_EQ(outcome.execution->archive.entries[1].tags, (Tags{"b", "a"}));
}

}  // namespace
}  // namespace pellam::agent::testing
