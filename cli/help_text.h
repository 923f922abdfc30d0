#pragma once
#include <string>

namespace pellam::cli {

// Where `docs` points when neither the user, the environment nor the app names an address.
inline constexpr const char* kDefaultDocumentationURL = "https://vantry.app/docs/cli";

// The guide printed by `help`, `--help` and a bare `vantry`, without the final line break.
const std::string& helpText();

}  // namespace pellam::cli
