#include "agent/folder/data_directory.h"

#include <cstdlib>

#include "core/file_system.h"
#include "core/paths.h"

namespace pellam::agent {

namespace {

[[maybe_unused]] bool holdsDataFile(const std::string& folder) {
  try {
    return RealFileSystem::shared()->status(folder + "/pellam.json").exists;
  } catch (const std::exception&) {
    return false;  // a folder that cannot be looked into holds nothing to keep using
  }
}

}  // namespace

std::string appContainerDirectory(const std::string& home) {
  return home + "/Library/Containers/" + kAppBundleIdentifier +
         "/Data/Library/Application Support/Pellam Desktop";
}

std::string xdgDataDirectory() {
  // A relative XDG_DATA_HOME is invalid and is ignored, as the XDG rule says.
  const char* base = std::getenv("XDG_DATA_HOME");
  std::string folder = base && base[0] == '/' ? std::string(base) : homeDirectory() + "/.local/share";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return (folder == "/" ? "" : folder) + "/vantry";
}

DataDirectoryChoice chooseDataDirectory() {
  const char* name = "VANTRY_DATA_DIR";
  const char* value = std::getenv(name);
  if (!value) {
    name = "PELLAM_DESKTOP_DATA_DIR";
    value = std::getenv(name);
  }
  if (value && *value) {
    return {absolutePath(expandTilde(value)), DataDirectoryChoice::Source::environment, name};
  }
#ifdef __APPLE__
  return {appContainerDirectory(homeDirectory()), DataDirectoryChoice::Source::platformDefault,
          "the app's folder"};
#else
  std::string folder = xdgDataDirectory();
  // Nobody loses their records to the move: data kept where earlier versions looked stays in use.
  std::string old = appContainerDirectory(homeDirectory());
  if (!holdsDataFile(folder) && holdsDataFile(old)) {
    return {old, DataDirectoryChoice::Source::oldDefault, "the old default folder"};
  }
  return {folder, DataDirectoryChoice::Source::platformDefault, "$XDG_DATA_HOME/vantry"};
#endif
}

std::string defaultDataDirectory() { return chooseDataDirectory().path; }

}  // namespace pellam::agent
