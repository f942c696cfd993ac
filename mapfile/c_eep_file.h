// Reader of the EEPROM project source: finds four symbols by plain text
// search and takes each value from the line after the symbol's line. It
// knows nothing else of the file's syntax.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "mapfile/c_map_file.h"

struct eep_sizes {
  std::uint32_t once_data_size = 0;
  std::uint32_t triple_data_size = 0;
  std::uint32_t once_data_free = 0;
  std::uint32_t triple_data_free = 0;
};

class c_eep_file : public c_map_file {
 public:
  explicit c_eep_file(input_source input) : c_map_file(std::move(input), k_short_line_length) {}

  /// Scans the file from the top; true once "_RuxEep_nTrippleDataFree" has
  /// been read. When the lines run out first it writes "File end" to out.
  bool read_sizes(eep_sizes& sizes, std::ostream& out);

  /// The value of a value line: from its fifth character up to, not
  /// including, its last one, read as hexadecimal.
  static std::uint32_t convert_value(std::string_view value_line);
};
