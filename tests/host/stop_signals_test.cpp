#include "host/stop_signals.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

namespace pellam::host {
namespace {

// Keeps the test process's signal mask and SIGPIPE action as they were.
class StopSignalsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pthread_sigmask(SIG_SETMASK, nullptr, &mask_);
    ::sigaction(SIGPIPE, nullptr, &pipeAction_);
  }
  void TearDown() override {
    ::sigaction(SIGPIPE, &pipeAction_, nullptr);
    pthread_sigmask(SIG_SETMASK, &mask_, nullptr);
  }
  sigset_t mask_;
  struct sigaction pipeAction_ {};
};

TEST_F(StopSignalsTest, EachStopSignalIsReadOnceFromTheDescriptor) {
  StopSignals signals;
  ASSERT_GE(signals.descriptor(), 0);
  EXPECT_FALSE(signals.received());
  for (int sig : {SIGTERM, SIGINT}) {
    ASSERT_EQ(::raise(sig), 0);
    pollfd ready{signals.descriptor(), POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 1000), 1) << sig;
    EXPECT_TRUE(signals.received()) << sig;
    EXPECT_FALSE(signals.received()) << sig;
  }
}

TEST_F(StopSignalsTest, AWriteToAPipeWithoutReaderFailsInsteadOfEndingTheProcess) {
  ignoreClosedPipes();
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  errno = 0;
  EXPECT_EQ(::write(ends[1], "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  ::close(ends[1]);
}

}  // namespace
}  // namespace pellam::host
