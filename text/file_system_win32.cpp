#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <limits>

#include "text/file_system.h"

bool seek_file(std::FILE* file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) {
    return false;
  }
  return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
}

bool replace_file(const std::string& from, const std::string& to) {
  // rename() refuses an existing target on Windows; MoveFileEx replaces it.
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}
