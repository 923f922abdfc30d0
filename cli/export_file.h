#pragma once
#include <string>
#include <string_view>

#include "core/file_system.h"

namespace pellam::cli {

// Writes `bytes` to `target`, which must not exist: a private temporary file beside it, synced,
// is moved into place without replacing, so an existing file, folder or link is never
// touched. Throws AgentFailure (`output_exists`, `export_failed`).
void writeExport(std::string_view bytes, const std::string& target, FileSystem& fs = *RealFileSystem::shared());

// The same for a file given as Base64 text, decoded straight into the file part by part (an
// export is megabytes). False, with nothing left behind, when the text is not strict Base64;
// that is found before any failure to write the file is reported.
bool writeDecodedExport(std::string_view base64, const std::string& target,
                        FileSystem& fs = *RealFileSystem::shared());

}  // namespace pellam::cli
