#pragma once
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "agent/wire/wire.h"
#include "core/instant.h"
#include "core/uuid.h"

namespace pellam::cli {

// The parsed command line. Every failure is an `invalid_argument` AgentFailure.
struct CLIOptions {
  std::vector<std::string> words;
  std::map<std::string, std::string> arguments;
  bool dryRun = false;
  bool json = false;
  bool help = false;
  bool version = false;
  std::optional<std::string> outputPath;
  std::string dataDirectory;  // absolute folder path
  Uuid requestID = Uuid::random();
  int timeoutSeconds = 10;

  // Parses the arguments without the program name; throws AgentFailure.
  static CLIOptions parse(const std::vector<std::string>& args);

  // Throws unless every argument name is allowed and no --out was given.
  void requireArguments(const std::set<std::string>& allowed) const;
};

}  // namespace pellam::cli
