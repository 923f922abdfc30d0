#include "agent/client/client.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace pellam::agent {
namespace {

TEST(ClientTest, HeartbeatFreshnessBoundsAreInclusive) {
  const Instant now{800000000};
  const std::vector<std::pair<double, bool>> cases = {
      {0, true},     {3.0, true},   {3.001, false}, {-1.0, true}, {-1.001, false},
      {1e9, false},  {NAN, false},
  };
  for (const auto& [age, fresh] : cases) {
    AgentStatus status;
    status.updatedAt = Instant{now.seconds - age};
    EXPECT_EQ(AgentClient::isFresh(status, now), fresh) << age;
  }
}

TEST(ClientTest, TimeoutMustBeAboveZeroAndAtMost120Seconds) {
  char pattern[] = "/tmp/pellam-client-test-XXXXXX";
  std::string folder = mkdtemp(pattern);
  AgentClient client(folder);
  AgentRequest request;
  request.command = "jobs.list";
  using std::chrono::nanoseconds;
  using std::chrono::seconds;
  for (nanoseconds timeout : {nanoseconds(0), nanoseconds(-1), seconds(120) + nanoseconds(1), nanoseconds(seconds(121))}) {
    try {
      client.perform(request, timeout);
      ADD_FAILURE() << timeout.count();
    } catch (const AgentFailure& failure) {
      EXPECT_EQ(failure.code, "invalid_argument") << timeout.count();
      EXPECT_EQ(failure.message, "The request timeout must be greater than zero and at most 120 seconds.");
    }
  }
  // In range, the next check is the heartbeat: there is none in this folder.
  for (nanoseconds timeout : {nanoseconds(1), nanoseconds(seconds(120))}) {
    try {
      client.perform(request, timeout);
      ADD_FAILURE() << timeout.count();
    } catch (const AgentFailure& failure) {
      EXPECT_EQ(failure.code, "app_unavailable") << timeout.count();
    }
  }
  EXPECT_FALSE(std::filesystem::exists(folder + "/AgentAPI"));  // nothing is created before the checks pass
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace pellam::agent
