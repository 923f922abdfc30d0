#include "cli/options.h"

#include <gtest/gtest.h>

#include "agent/wire/command_line_options.h"
#include "agent/wire/failure.h"

namespace pellam::cli {
namespace {

struct ParseCase {
  std::vector<std::string> args;
  std::string failure;  // the invalid_argument message, or empty when the line parses
};

TEST(OptionsTest, ParseFailuresCarryTheirExactMessages) {
  const std::vector<ParseCase> cases = {
      {{"jobs", "list"}, ""},
      {{"--json=true", "jobs", "list"}, "--json does not take a value."},
      {{"--dry-run=", "x"}, "--dry-run does not take a value."},
      {{"jobs", "list", "--limit"}, "--limit requires a value. Booleans use true or false."},
      {{"jobs", "list", "--limit", "--json"}, "--limit requires a value. Booleans use true or false."},
      {{"--json", "--json", "help"}, "Duplicate or empty option: --json."},
      {{"--limit", "1", "--limit=2"}, "Duplicate or empty option: --limit=2."},
      {{"--"}, "Duplicate or empty option: --."},
      {{"--=x"}, "Duplicate or empty option: --=x."},
      {{"--request-id", "nope"}, "--request-id must be a UUID."},
      {{"--request-id", ""}, "--request-id must be a UUID."},
      {{"--timeout", "0"}, "--timeout must be a whole number from 1 to 120 seconds."},
      {{"--timeout", "121"}, "--timeout must be a whole number from 1 to 120 seconds."},
      {{"--timeout", "1.5"}, "--timeout must be a whole number from 1 to 120 seconds."},
      {{"--timeout", " 5"}, "--timeout must be a whole number from 1 to 120 seconds."},
      {{"--timeout", "99999999999999999999999"}, "--timeout must be a whole number from 1 to 120 seconds."},
      {{"--timeout", "120"}, ""},
      {{"--timeout=1"}, ""},
      // An empty --out names no file: refused before anything is sent.
      {{"export", "--out", ""}, "--out requires a value. Booleans use true or false."},
      {{"export", "--out="}, "--out requires a value. Booleans use true or false."},
      {{"export", "--out", "-"}, ""},
      {{"--data-dir", std::string(100000, 'x')}, ""},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += a.substr(0, 40) + " ";
    try {
      CLIOptions::parse(c.args);
      EXPECT_EQ(c.failure, "") << joined;
    } catch (const agent::AgentFailure& failure) {
      EXPECT_EQ(failure.code, "invalid_argument") << joined;
      EXPECT_FALSE(failure.retryable);
      EXPECT_EQ(failure.message, c.failure) << joined;
    }
  }
}

TEST(OptionsTest, SortsWordsArgumentsAndGlobals) {
  CLIOptions options = CLIOptions::parse({"--json", "jobs", "-x", "update", "--query=", "--name", "A B", "--dry-run",
                                          "--out", "~/x.csv", "--request-id", "0f8fad5b-d9cb-469f-a165-70867728950e",
                                          "--timeout", "+7", "--data-dir", "/tmp/store/"});
  EXPECT_EQ(options.words, (std::vector<std::string>{"jobs", "-x", "update"}));
  EXPECT_EQ(options.arguments, (std::map<std::string, std::string>{{"name", "A B"}, {"query", ""}}));
  EXPECT_TRUE(options.json);
  EXPECT_TRUE(options.dryRun);
  EXPECT_FALSE(options.help);
  EXPECT_EQ(options.outputPath, "~/x.csv");  // kept as typed; expanded when written
  EXPECT_EQ(options.requestID.text(), "0F8FAD5B-D9CB-469F-A165-70867728950E");
  EXPECT_EQ(options.timeoutSeconds, 7);
  EXPECT_EQ(options.dataDirectory, "/tmp/store");
}

TEST(OptionsTest, DataDirectoryExpandsTheTilde) {
  setenv("HOME", "/home/tester", 1);
  EXPECT_EQ(CLIOptions::parse({"--data-dir", "~/store"}).dataDirectory, "/home/tester/store");
  EXPECT_EQ(CLIOptions::parse({"--data-dir=~"}).dataDirectory, "/home/tester");
}

TEST(OptionsTest, DefaultDataDirectoryFollowsTheEnvironment) {
  setenv("HOME", "/home/tester", 1);
  setenv("VANTRY_DATA_DIR", "/a", 1);
  setenv("PELLAM_DESKTOP_DATA_DIR", "/b", 1);
  EXPECT_EQ(CLIOptions::parse({}).dataDirectory, "/a");
  setenv("VANTRY_DATA_DIR", "", 1);  // set but empty: the second variable is not consulted
  unsetenv("XDG_DATA_HOME");
#ifdef __APPLE__
  EXPECT_EQ(CLIOptions::parse({}).dataDirectory,
            "/home/tester/Library/Containers/com.pellam.desktop/Data/Library/Application Support/Pellam Desktop");
#else
  EXPECT_EQ(CLIOptions::parse({}).dataDirectory, "/home/tester/.local/share/vantry");
#endif
  unsetenv("VANTRY_DATA_DIR");
  EXPECT_EQ(CLIOptions::parse({}).dataDirectory, "/b");
  setenv("PELLAM_DESKTOP_DATA_DIR", "~/c", 1);
  EXPECT_EQ(CLIOptions::parse({}).dataDirectory, "/home/tester/c");
  unsetenv("PELLAM_DESKTOP_DATA_DIR");
}

TEST(OptionsTest, RequireArgumentsNamesTheUnknownSorted) {
  CLIOptions options = CLIOptions::parse({"help", "--zeta", "1", "--alpha", "2", "--keep", "3"});
  try {
    options.requireArguments({"keep"});
    FAIL();
  } catch (const agent::AgentFailure& failure) {
    EXPECT_EQ(failure.message, "Unknown options: alpha, zeta.");
  }
  EXPECT_NO_THROW(CLIOptions::parse({"docs", "--website-url", "https://x"}).requireArguments({"website-url"}));
  try {
    CLIOptions::parse({"help", "--out", "x"}).requireArguments({});
    FAIL();
  } catch (const agent::AgentFailure& failure) {
    EXPECT_EQ(failure.message, "Unknown options: out.");
  }
}

// The parser takes its global options from the wire's table: each one is consumed there (a
// flag refuses a value, a value option wants one) and never reaches the command's arguments.
TEST(OptionsTest, GlobalOptionsAreTheWiresTable) {
  for (const agent::GlobalOptionRow& row : agent::globalOptions) {
    const std::string name(row.name);
    SCOPED_TRACE(name);
    try {
      CLIOptions::parse({"--" + name + (row.takesValue ? "" : "=x")});
      FAIL() << "parsed";
    } catch (const agent::AgentFailure& failure) {
      EXPECT_EQ(failure.message, "--" + name + (row.takesValue ? " requires a value. Booleans use true or false."
                                                               : " does not take a value."));
    }
  }
  CLIOptions parsed = CLIOptions::parse({"--json", "--dry-run", "--timeout", "5", "--out", "f", "--job", "J"});
  EXPECT_EQ(parsed.arguments, (std::map<std::string, std::string>{{"job", "J"}}));
}

}  // namespace
}  // namespace pellam::cli
