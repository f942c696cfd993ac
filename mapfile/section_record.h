// One linker output section, or a pseudo-section a reader makes up: the
// single currency between the map readers and the report. The memory
// definition places records by start and size alone, without the readers.
#pragma once

#include <cstdint>

#include "mapfile/section_name.h"

struct section_record {
  std::uint32_t start = 0;
  std::uint32_t size = 0;         ///< bytes, or bits when size_unit is 1
  std::int32_t range_index = -1;  ///< containing program or memory range; -1 until placed
  section_name name;
  std::uint32_t size_unit = 0;  ///< 0: size counts bytes, 1: size counts bits
};
