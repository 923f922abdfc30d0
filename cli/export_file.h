#pragma once
#include <string>
#include <string_view>

namespace pellam::cli {

// Writes `bytes` to `target`, which must not exist: a private temporary file beside it is
// hard-linked into place, so an existing file, folder or link is never touched. Throws
// AgentFailure (`output_exists`, `export_failed`).
void writeExport(std::string_view bytes, const std::string& target);

}  // namespace pellam::cli
