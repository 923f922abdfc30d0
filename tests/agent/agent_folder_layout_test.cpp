#include "agent/folder/agent_folder_layout.h"

#include <gtest/gtest.h>

namespace pellam::agent {
namespace {

std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

TEST(AgentFolderLayoutTest, EveryNameItMakesParsesBackAsWhatItIs) {
  AgentFolderLayout folders("/data");
  EXPECT_EQ(folders.api, "/data/AgentAPI");
  EXPECT_EQ(folders.status, "/data/AgentAPI/status.json");
  EXPECT_EQ(folders.requests, "/data/AgentAPI/Requests");
  EXPECT_EQ(folders.responses, "/data/AgentAPI/Responses");
  Uuid id = *Uuid::parse("0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3");
  EXPECT_EQ(folders.requestPath(id), "/data/AgentAPI/Requests/0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3.json");
  EXPECT_EQ(folders.responsePath(id), "/data/AgentAPI/Responses/0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3.json");

  EXPECT_EQ(idFromFileName(nameOf(folders.requestPath(id))), id);
  EXPECT_EQ(idFromFileName(nameOf(folders.responsePath(id))), id);
  auto staged = parseStagedName(nameOf(folders.stagedPath(id, "abc123", "absent")));
  ASSERT_TRUE(staged);
  EXPECT_EQ(staged->id, id);
  EXPECT_EQ(staged->before, "abc123");
  EXPECT_EQ(staged->after, "absent");
  EXPECT_TRUE(isPendingRequestName(nameOf(folders.pendingRequestPath())));
  EXPECT_TRUE(isTemporaryResponseName(nameOf(folders.temporaryResponsePath(id))));
  EXPECT_TRUE(isTemporaryStatusName(nameOf(folders.temporaryStatusPath())));
  EXPECT_EQ(folders.heldMarkPath(id), "/data/AgentAPI/Responses/.0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3.held");
  EXPECT_EQ(heldMarkId(nameOf(folders.heldMarkPath(id))), id);
  EXPECT_EQ(folders.retention, "/data/AgentAPI/retention.json");
  EXPECT_NE(folders.pendingRequestPath(), folders.pendingRequestPath());  // fresh every time
  EXPECT_EQ(folders.rejectedPath("x.json").rfind(folders.rejected + "/x.json.", 0), 0u);
}

TEST(AgentFolderLayoutTest, NamesOfOneKindAreNeverTakenForAnother) {
  const std::string id = "0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3";
  const std::string other = "11111111-2222-4333-8444-555555555555";
  struct Case {
    std::string name;
    bool request, staged, pending, response, status;
  };
  const std::vector<Case> cases = {
      {id + ".json", true, false, false, false, false},
      {"0a1b2c3d-4e5f-4a6b-8c7d-8e9fa0b1c2d3.json", true, false, false, false, false},  // either case
      {id + ".JSON", false, false, false, false, false},
      {id + ".json.tmp", false, false, false, false, false},
      {id + ".abc.d-1.json", false, true, false, false, false},
      {"0a1b2c3d-4e5f-4a6b-8c7d-8e9fa0b1c2d3.abc.d.json", false, false, false, false, false},  // ours are upper-case
      {id + ".abc.json", false, false, false, false, false},  // a token before and after
      {id + ".a.b.c.json", false, false, false, false, false},
      {id + "..b.json", false, false, false, false, false},
      {id + ".a..json", false, false, false, false, false},
      {id + "..json", false, false, false, false, false},
      {"." + id + ".pending", false, false, true, false, false},
      {"." + id + ".json", false, false, false, false, false},
      {".notes.pending", false, false, false, false, false},  // only our own temporaries
      {"." + id + "." + other + ".tmp", false, false, false, true, false},
      {".status." + other + ".tmp", false, false, false, false, true},
      {".status.tmp", false, false, false, false, false},
      {"status.json", false, false, false, false, false},
      {"", false, false, false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(idFromFileName(c.name).has_value(), c.request) << c.name;
    EXPECT_EQ(parseStagedName(c.name).has_value(), c.staged) << c.name;
    EXPECT_EQ(isPendingRequestName(c.name), c.pending) << c.name;
    EXPECT_EQ(isTemporaryResponseName(c.name), c.response) << c.name;
    EXPECT_EQ(isTemporaryStatusName(c.name), c.status) << c.name;
    EXPECT_FALSE(heldMarkId(c.name)) << c.name;
  }
  // A held answer's mark: only the exact name with an upper-case identifier.
  for (const std::string& name : {"." + id + ".held", "0" + id + ".held", id + ".held", "." + id + ".held.tmp",
                                  std::string(".0a1b2c3d-4e5f-4a6b-8c7d-8e9fa0b1c2d3.held"), std::string(".held")}) {
    EXPECT_EQ(heldMarkId(name).has_value(), name == "." + id + ".held") << name;
    EXPECT_FALSE(idFromFileName(name)) << name;
    EXPECT_FALSE(isTemporaryResponseName(name)) << name;
  }
}

}  // namespace
}  // namespace pellam::agent
