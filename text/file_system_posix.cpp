#include <sys/types.h>

#include <limits>

#include "text/file_system.h"

bool seek_file(std::FILE* file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    return false;
  }
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
