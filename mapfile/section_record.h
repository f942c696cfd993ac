// One linker output section, or a pseudo-section a reader makes up: the
// single currency between the map readers and the report. The memory
// definition places records by start and size alone, without the readers.
// The name, a pointer, stands last, so that the record holds no padding.
#pragma once

#include <cstdint>

#include "mapfile/section_name.h"

struct section_record {
  std::uint32_t start = 0;
  std::uint32_t size = 0;         ///< bytes, or bits when size_unit is 1
  std::int32_t range_index = -1;  ///< containing program or memory range; -1 until placed
  std::uint32_t size_unit = 0;    ///< 0: size counts bytes, 1: size counts bits
  section_name name;              ///< valid while the pool it was made in lives
};

static_assert(sizeof(section_record) == 4 * sizeof(std::uint32_t) + sizeof(section_name),
              "a record is moved and sorted by the million: no padding");
