#pragma once
// Which option sets which record field: the tables themselves are part of the command table's
// argument lists (agent/wire/command_arguments.h); the engine's patches read them from there.
#include <array>
#include <string_view>

#include "agent/wire/command_arguments.h"

namespace pellam::agent::engine {

using FieldRow = CommandArgument;  // name: the option, as in --daily-overtime; field: the JSON key
using agent::entryFields;
using agent::filterFields;
using agent::jobFields;
using agent::preferenceFields;

// The model fields that patches treat as timestamps, whichever record holds them.
inline constexpr std::array<std::string_view, 5> dateFields = {"start", "end", "payAnchor", "from", "through"};

}  // namespace pellam::agent::engine
