// Reader of elxr section listings: a table of one line per output section
// (index, name, size, address, further columns), each followed by a line of
// attribute words. Only sections with known names are taken; the variants
// change the names, the line pattern, the address mask or post-processing,
// never the reading algorithm, which lives here once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mapfile/c_map_file.h"
#include "mapfile/elxr_line_matcher.h"

class c_map_file_elxr : public c_map_file {
 public:
  explicit c_map_file_elxr(std::string name) : c_map_file(std::move(name)) {}

  bool read(const c_memory_def& definition, section_list& program_sections,
            section_list& memory_sections) override;

  /// The compiled section-line pattern, built once per name list and kept
  /// for the rest of the run.
  virtual const elxr_line_matcher& section_pattern() const;
  virtual const std::vector<std::string>& section_names() const;
  virtual std::uint32_t address_mask() const { return 0x03FFFFFF; }
};
