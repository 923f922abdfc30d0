#include "agent/wire/failure_catalogue.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "agent/wire/failure.h"

namespace pellam::agent {
namespace {

std::string guideText() {
  std::ifstream file(std::string(PELLAM_SOURCE_DIR) + "/docs/CLI.md");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The lines of the guide's section that opens with `heading`, up to the next section.
std::vector<std::string> sectionLines(const std::string& guide, const std::string& heading) {
  std::vector<std::string> lines;
  std::istringstream in(guide);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) {
      inside = line == heading;
    } else if (inside) {
      lines.push_back(line);
    }
  }
  return lines;
}

// The Retryable column of each row of the guide's failure tables, by code.
std::map<std::string, std::string> guideFailureTable() {
  std::map<std::string, std::string> table;
  const std::regex row(R"(^\| `([a-z_]+)` \| ([^|]+) \|)");
  for (const std::string& line : sectionLines(guideText(), "## Failure codes")) {
    std::smatch match;
    if (std::regex_search(line, match, row)) table[match[1]] = match[2].str().substr(0, match[2].length() - 1);
  }
  return table;
}

TEST(FailureCatalogueTest, GuideTablesListEveryCodeWithItsRetryFlag) {
  std::map<std::string, std::string> guide = guideFailureTable();
  ASSERT_FALSE(guide.empty()) << "the guide's failure tables were not found";
  for (const auto& [code, retryable] : guide) {
    const FailureRow* row = findFailureRow(code);
    ASSERT_NE(row, nullptr) << code << " is in the guide but not in the catalogue";
    // Rows such as conflict's ("yes for a stale --if-match, else no") state no single default.
    if (retryable == "yes" || retryable == "no") {
      EXPECT_EQ(row->retryable, retryable == "yes") << code;
    }
  }
  for (const FailureRow& row : kFailureCatalogue) {
    EXPECT_TRUE(guide.contains(std::string(row.code))) << row.code << " is missing from the guide's failure tables";
  }
}

TEST(FailureCatalogueTest, GuideExitStatusTableNamesTheCodesThatExitWithTwo) {
  std::set<std::string> guideCodes;
  for (const std::string& line : sectionLines(guideText(), "## Output and exit status")) {
    if (line.rfind("| 2 |", 0) != 0) continue;
    const std::regex code("`([a-z]+_[a-z_]+)`");  // codes, not the program's name beside them
    for (std::sregex_iterator it(line.begin(), line.end(), code), end; it != end; ++it) guideCodes.insert((*it)[1]);
  }
  ASSERT_FALSE(guideCodes.empty()) << "the guide's exit status 2 row was not found";
  std::set<std::string> catalogueCodes;
  for (const FailureRow& row : kFailureCatalogue) {
    EXPECT_TRUE(row.exitStatus == 1 || row.exitStatus == 2) << row.code;
    if (row.exitStatus == 2) catalogueCodes.insert(std::string(row.code));
  }
  EXPECT_EQ(catalogueCodes, guideCodes);
}

// A constructor wired to a neighbour's row would send the wrong code over the wire.
TEST(FailureCatalogueTest, EachNamedConstructorRaisesItsOwnCode) {
  const std::vector<std::pair<AgentFailure, std::string>> cases = {
      {AgentFailure::invalidArgument("m"), "invalid_argument"},
      {AgentFailure::unknownCommand("m"), "unknown_command"},
      {AgentFailure::operationFailed("m"), "operation_failed"},
      {AgentFailure::appUnavailable("m"), "app_unavailable"},
      {AgentFailure::invalidStatus("m"), "invalid_status"},
      {AgentFailure::unsupportedVersion("m"), "unsupported_version"},
      {AgentFailure::unsafePath("m"), "unsafe_path"},
      {AgentFailure::agentDisabled("m"), "agent_disabled"},
      {AgentFailure::appLocked("m"), "app_locked"},
      {AgentFailure::requestTooLarge("m"), "request_too_large"},
      {AgentFailure::requestPending("m"), "request_pending"},
      {AgentFailure::outcomeUnknown("m"), "outcome_unknown"},
      {AgentFailure::responseTooLarge("m"), "response_too_large"},
      {AgentFailure::invalidResponse("m"), "invalid_response"},
      {AgentFailure::idConflict("m"), "id_conflict"},
      {AgentFailure::conflict("m"), "conflict"},
      {AgentFailure::notFound("m"), "not_found"},
      {AgentFailure::ambiguousJob("m"), "ambiguous_job"},
      {AgentFailure::previewConflict("m"), "preview_conflict"},
      {AgentFailure::outputExists("m"), "output_exists"},
      {AgentFailure::exportFailed("m"), "export_failed"},
      {AgentFailure::appRequired("m"), "app_required"},
      {AgentFailure::dataUnreadable("m"), "data_unreadable"},
      {AgentFailure::saveFailed("m"), "save_failed"},
      {AgentFailure::invalidRequest("m"), "invalid_request"},
  };
  EXPECT_EQ(cases.size(), kFailureCatalogue.size());
  std::set<std::string> seen;
  for (const auto& [failure, code] : cases) {
    EXPECT_EQ(failure.code, code);
    EXPECT_EQ(failure.message, "m");
    EXPECT_EQ(failure.retryable, findFailureRow(code)->retryable) << code;
    EXPECT_TRUE(seen.insert(failure.code).second) << code << " twice";
  }
}

TEST(FailureCatalogueTest, ARaiserMayOverrideTheDefaultRetryFlag) {
  EXPECT_TRUE(AgentFailure::conflict("m", true).retryable);
  EXPECT_FALSE(AgentFailure::saveFailed("m", false).retryable);
  EXPECT_EQ(AgentFailure::conflict("m", true).code, "conflict");
}

// An answer of a newer app may carry a code this build never heard of.
TEST(FailureCatalogueTest, AnUnknownCodeHasNoRowAndExitsWithOne) {
  EXPECT_EQ(findFailureRow("brand_new_code"), nullptr);
  EXPECT_EQ(exitStatusOf("brand_new_code"), 1);
  EXPECT_EQ(exitStatusOf("invalid_argument"), 2);
  EXPECT_EQ(exitStatusOf("unknown_command"), 2);
  EXPECT_EQ(exitStatusOf("not_found"), 1);
}

}  // namespace
}  // namespace pellam::agent
