#include <sys/stat.h>

#include "app/platform.h"
#include "app/version_config.h"

namespace platform {

// A name that begins with an ASCII letter and a colon names a drive, as it
// would on Windows; such a name is never resolved against the program's folder.
int path_drive_number(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') {
    const char c = path[0];
    if (c >= 'A' && c <= 'Z') {
      return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
      return c - 'a';
    }
  }
  return -1;
}

bool path_exists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

// Without version resources the values are compiled in from the build.
bool read_version_info(const std::string& /*program_file*/, version_info& info) {
  info.major = VEMORA_VERSION_MAJOR;
  info.minor = VEMORA_VERSION_MINOR;
  info.legal_copyright = VEMORA_LEGAL_COPYRIGHT;
  info.original_filename = VEMORA_ORIGINAL_FILENAME;
  return true;
}

}  // namespace platform
