// The host's app command handlers and the command table hold each other: an app row without
// a handler would be answered as needing the desktop app, a handler without a row never run.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "agent/wire/command_table.h"
#include "host/app_commands.h"

namespace pellam::host {
namespace {

TEST(AppHandlersTest, EveryAppRowHasExactlyOneHostHandlerAndEveryHandlerAnAppRow) {
  std::map<std::string, int> handlers;
  for (const AppCommands::HandlerRow& handler : AppCommands::handlers()) {
    SCOPED_TRACE(std::string(handler.command));
    ++handlers[std::string(handler.command)];
    const agent::CommandRow* row = agent::findCommand(handler.command);
    ASSERT_NE(row, nullptr) << "a handler without a row";
    EXPECT_EQ(row->performer, agent::Performer::app) << "the engine's commands are the engine's";
    EXPECT_NE(handler.handler, nullptr);
  }
  for (const agent::CommandRow& row : agent::commandTable()) {
    if (row.performer == agent::Performer::app) {
      EXPECT_EQ(handlers[std::string(row.name)], 1) << row.name;
    }
  }
}

}  // namespace
}  // namespace pellam::host
