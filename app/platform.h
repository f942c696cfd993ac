// The few operating-system services the entry point needs, one sibling
// source per platform: whether a name begins with a drive, whether a file or
// directory exists, and the program file's version values for the banner.
#pragma once

#include <string>

namespace platform {

/// The drive a path begins with (0 for A to 25 for Z), or -1.
int path_drive_number(const std::string& path);

/// Whether a file or directory of that name exists.
bool path_exists(const std::string& path);

struct version_info {
  unsigned major = 0;
  unsigned minor = 0;
  std::string legal_copyright;
  std::string original_filename;
};

/// Reads the version values of the program file; false when they cannot be
/// read, and then the banner prints nothing.
bool read_version_info(const std::string& program_file, version_info& info);

}  // namespace platform
