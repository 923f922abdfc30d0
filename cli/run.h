#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace pellam::cli {

// The whole life of one `vantry` process: arguments (without the program name) in, text on
// `out`, exit status back (0 success, 1 failure, 2 bad arguments or unknown command).
int run(const std::vector<std::string>& args, std::ostream& out);

}  // namespace pellam::cli
