#pragma once
// The revisions of the Model Context Protocol the server speaks, and where they differ in
// what the server must do.
#include <array>
#include <string_view>

namespace pellam::mcp {

// Newest first.
inline constexpr std::array<std::string_view, 4> kProtocolRevisions = {"2025-11-25", "2025-06-18", "2025-03-26",
                                                                       "2024-11-05"};

// The client's revision when the server speaks it, else the newest the server speaks (the
// client then decides whether it can go on).
std::string_view negotiatedRevision(std::string_view requested);

// Only 2025-03-26 lets a client send several messages as one JSON array.
bool allowsBatches(std::string_view revision);

// From 2025-11-25 a tool's arguments that break its input schema are a tool error the model
// can read and correct; before, they are the JSON-RPC error -32602.
bool inputErrorsAreToolErrors(std::string_view revision);

}  // namespace pellam::mcp
