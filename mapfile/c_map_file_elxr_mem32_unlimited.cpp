#include "mapfile/c_map_file_elxr_mem32_unlimited.h"

const elxr_line_matcher& c_map_file_elxr_mem32_unlimited::section_pattern() const {
  static const mem32_section_matcher pattern;
  return pattern;
}

const std::vector<std::string>& c_map_file_elxr_mem32_unlimited::section_names() const {
  static const std::vector<std::string> names;
  return names;
}
