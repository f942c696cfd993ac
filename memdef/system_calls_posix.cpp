#include <sys/mman.h>
#include <sys/types.h>

#include <limits>

#include "memdef/system_calls.h"

bool seek_file(std::FILE* file, std::uint64_t offset) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    return false;
  }
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

void prefer_large_pages(void* buffer, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  // Only whole large pages inside the buffer: the advice covers whole pages,
  // and memory beyond the buffer is not ours to advise on.
  constexpr std::uintptr_t k_large_page = std::uintptr_t{2} << 20;
  const auto address = reinterpret_cast<std::uintptr_t>(buffer);
  const std::uintptr_t begin = (address + k_large_page - 1) & ~(k_large_page - 1);
  const std::uintptr_t end = (address + bytes) & ~(k_large_page - 1);
  if (end > begin) {
    // A system without large pages refuses; the buffer works as before.
    static_cast<void>(madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE));
  }
#else
  static_cast<void>(buffer);
  static_cast<void>(bytes);
#endif
}
