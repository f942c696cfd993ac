#include <limits>

#include "memdef/system_calls.h"

bool seek_file(std::FILE* file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())) {
    return false;
  }
  return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
}

// Large pages on Windows need a privilege that ordinary accounts lack and
// memory allocated for them from the start: nothing to ask for here.
void prefer_large_pages(void* /*buffer*/, std::size_t /*bytes*/) {}
