#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "core/standard_output.h"
#include "host/host.h"

int main(int argc, char** argv) {
  using namespace pellam::host;
  try {
    HostOptions options = HostOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      // Help that did not reach standard output is not success.
      return pellam::writeAllAndClose(STDOUT_FILENO, std::string(kHostUsage) + '\n') ? 0 : 1;
    }
    return runHost(options, std::cerr);
  } catch (const HostUsageError& error) {
    std::cerr << "vantry-host: " << error.what() << '\n' << kHostUsage << '\n';
    return 2;
  }
}
