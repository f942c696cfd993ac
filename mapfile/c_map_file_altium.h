// Reader of Altium memory maps: after the title line and three header lines,
// every table row carries a segment name, a run of full stops and the start
// and length in hexadecimal at fixed columns; rows of the bit-addressable
// area ("BIT  BIT") count their length in bits. Each reserved range of the
// memory definition becomes a pseudo-section of the program area.
#pragma once

#include "mapfile/c_map_file.h"

class c_map_file_altium : public c_map_file {
 public:
  explicit c_map_file_altium(input_source input)
      : c_map_file(std::move(input), k_short_line_length) {}

  bool read(const c_memory_def& definition, section_list& program_sections,
            section_list& memory_sections) override;

  /// Classifies one table line: false when it is no row; otherwise fills
  /// record (name, start, size, size_unit), its name made in names.
  static bool parse_row(std::string_view line, section_record& record, section_name_pool& names);
};
