#include "agent/folder/data_directory.h"

#include <cstdlib>

#include "core/paths.h"

namespace pellam::agent {

std::string defaultDataDirectory() {
  const char* value = std::getenv("VANTRY_DATA_DIR");
  if (!value) value = std::getenv("PELLAM_DESKTOP_DATA_DIR");
  if (value && *value) return absolutePath(expandTilde(value));
  return homeDirectory() + "/Library/Containers/" + kAppBundleIdentifier +
         "/Data/Library/Application Support/Pellam Desktop";
}

}  // namespace pellam::agent
