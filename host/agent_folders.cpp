#include "host/agent_folders.h"

#include "core/file_placement.h"
#include "core/paths.h"

namespace pellam::host {

AgentFolders::AgentFolders(std::string dataDirectory) : AgentFolderLayout(absolutePath(dataDirectory)) {}

void AgentFolders::prepare(FileSystem& fs) const {
  FileStatus top = fs.status(data);
  if (top.exists && !top.isDirectory && !top.isSymbolicLink) throw HostError("The data folder " + data + " is not a folder.");
  for (const std::string* folder : {&api, &requests, &responses, &staged, &rejected}) {
    FileStatus item = fs.status(*folder);
    if (item.isSymbolicLink) throw HostError(*folder + " is a symbolic link; vantry-host follows no links.");
    if (item.exists && !item.isDirectory) throw HostError(*folder + " is not a folder.");
    if (!item.exists) {
      fs.createDirectories(*folder, kPrivateFolderMode);
    } else if (item.mode != kPrivateFolderMode) {
      fs.setMode(*folder, kPrivateFolderMode);
    }
  }
}

}  // namespace pellam::host
