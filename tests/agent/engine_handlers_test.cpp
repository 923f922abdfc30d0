// The engine's handler tables and the command table hold each other: a row without a handler
// would be refused as an unknown operation, a handler without a row never reached.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "agent/engine/dispatch.h"
#include "engine_fixtures.h"

namespace pellam::agent::testing {
namespace {

TEST(EngineHandlersTest, EveryEngineRowHasExactlyOneHandlerAndEveryHandlerARow) {
  std::map<std::string, int> handlers;
  for (const engine::FamilyHandlers* family : engine::familyHandlers()) {
    for (const engine::HandlerRow& handler : family->handlers) {
      SCOPED_TRACE(std::string(handler.command));
      ++handlers[std::string(handler.command)];
      const CommandRow* row = findCommand(handler.command);
      ASSERT_NE(row, nullptr) << "a handler without a row";
      EXPECT_EQ(row->performer, Performer::engine) << "the app's commands are the host's";
      EXPECT_NE(handler.handler, nullptr);
    }
  }
  for (const CommandRow& row : commandTable()) {
    SCOPED_TRACE(std::string(row.name));
    if (row.performer == Performer::engine) {
      EXPECT_EQ(handlers[std::string(row.name)], 1);
      EXPECT_NE(engine::handlerFor(row), nullptr);
    } else {
      EXPECT_EQ(engine::handlerFor(row), nullptr);
    }
  }
}

// The names a command accepts come from its row: any other is refused before it runs, in
// the same words for every family.
TEST(EngineHandlersTest, ArgumentsTheRowDoesNotListAreRefusedBeforeTheCommandRuns) {
  for (const CommandRow& row : commandTable()) {
    if (row.performer != Performer::engine) continue;
    SCOPED_TRACE(std::string(row.name));
    std::map<std::string, std::string> arguments;
    for (const CommandArgument& argument : row.arguments) arguments[std::string(argument.name)] = "x";
    arguments["zz-unknown"] = "1";
    Outcome outcome = run(sampleArchive(), request(std::string(row.name), arguments));
    EXPECT_EQ(summary(outcome), "invalid_argument: Unknown arguments for " + std::string(row.name) + ": zz-unknown.");
  }
}

}  // namespace
}  // namespace pellam::agent::testing
