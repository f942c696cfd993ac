// One linker output section, or a pseudo-section a reader makes up: the
// single currency between the map readers and the report. Header-only, so
// the memory definition can place records without linking the readers.
#pragma once

#include <cstdint>
#include <string>

struct section_record {
  std::uint32_t start = 0;
  std::uint32_t size = 0;         ///< bytes, or bits when size_unit is 1
  std::int32_t range_index = -1;  ///< containing program or memory range; -1 until placed
  std::string name;
  std::uint32_t size_unit = 0;  ///< 0: size counts bytes, 1: size counts bits
};
