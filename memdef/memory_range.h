// One address range of the memory definition file.
#pragma once

#include <cstdint>

struct memory_range {
  std::uint32_t start = 0;
  std::uint32_t size = 0;  ///< in bytes
};
