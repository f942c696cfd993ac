// elxr listings read with full 32-bit addresses and any section name: the
// pattern takes the bare name (leading punctuation stripped), so the drops
// by exact name and of debug sections take effect here.
#pragma once

#include "mapfile/c_map_file_elxr.h"

class c_map_file_elxr_mem32_unlimited : public c_map_file_elxr {
 public:
  explicit c_map_file_elxr_mem32_unlimited(input_source input)
      : c_map_file_elxr(std::move(input)) {}

  const elxr_line_matcher& section_pattern() const override;
  /// Empty: the pattern holds no list of names.
  const std::vector<std::string>& section_names() const override;
  std::uint32_t address_mask() const override { return 0xFFFFFFFF; }
};
