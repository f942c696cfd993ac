#include <limits>

#include "text/file_offset.h"

bool seek_file(std::FILE* file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) {
    return false;
  }
  return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
}
