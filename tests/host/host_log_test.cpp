// The host's log: whole lines, from the request loop and the heartbeat's thread alike, and a
// line that cannot be written is dropped without silencing the lines after it.
#include "host/host_log.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace pellam::host::testing {
namespace {

// Refuses every write while `broken` is set, as a pipe whose reader went away or a full disk
// does.
class BreakableBuffer : public std::stringbuf {
 public:
  bool broken = false;

 protected:
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    return broken ? 0 : std::stringbuf::xsputn(text, count);
  }
  int_type overflow(int_type c) override { return broken ? traits_type::eof() : std::stringbuf::overflow(c); }
  int sync() override { return broken ? -1 : 0; }
};

TEST(HostLogTest, ALineThatCannotBeWrittenIsDroppedAndLaterLinesAreWritten) {
  BreakableBuffer buffer;
  std::ostream out(&buffer);
  HostLog log(out);
  log.line("before");
  buffer.broken = true;
  log.line("lost");
  log.line("lost too");
  buffer.broken = false;
  log.line("after");
  EXPECT_EQ(buffer.str(), "before\nafter\n");
}

TEST(HostLogTest, LinesFromTwoThreadsStayWhole) {
  std::ostringstream out;
  HostLog log(out);
  const std::string a(200, 'a'), b(200, 'b');
  std::thread other([&] {
    for (int i = 0; i < 500; ++i) log.line(a);
  });
  for (int i = 0; i < 500; ++i) log.line(b);
  other.join();
  std::istringstream lines(out.str());
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) ASSERT_TRUE(line == a || line == b) << line;
  EXPECT_EQ(count, 1000);
}

}  // namespace
}  // namespace pellam::host::testing
