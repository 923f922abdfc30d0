#include <iostream>
#include <string>
#include <vector>

#include "host/host.h"

int main(int argc, char** argv) {
  using namespace pellam::host;
  try {
    HostOptions options = HostOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      std::cout << kHostUsage << '\n';
      return 0;
    }
    return runHost(options, std::cerr);
  } catch (const HostUsageError& error) {
    std::cerr << "vantry-host: " << error.what() << '\n' << kHostUsage << '\n';
    return 2;
  }
}
