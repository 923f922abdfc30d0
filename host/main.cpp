#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "core/standard_output.h"
#include "host/detach.h"
#include "host/host.h"
#include "host/systemd_notify.h"

int main(int argc, char** argv) {
  using namespace pellam::host;
  try {
    HostOptions options = HostOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help || options.version) {
      // Help that did not reach standard output is not success.
      std::string text = options.help ? kHostUsage : kHostVersion;
      return pellam::writeAllAndClose(STDOUT_FILENO, text + '\n') ? 0 : 1;
    }
    if (options.detach) return runDetached(options);
    // Under systemd (Type=notify), `systemctl start` returns once the host answers.
    return runHost(options, std::cerr, pellam::RealFileSystem::shared(), [] { notifyServiceManager("READY=1"); });
  } catch (const HostUsageError& error) {
    std::cerr << "vantry-host: " << error.what() << '\n' << kHostUsage << '\n';
    return 2;
  }
}
