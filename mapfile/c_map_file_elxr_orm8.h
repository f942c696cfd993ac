// elxr listings of the Orm8 target family: the elxr reading with its own
// list of section names.
#pragma once

#include "mapfile/c_map_file_elxr.h"

class c_map_file_elxr_orm8 : public c_map_file_elxr {
 public:
  explicit c_map_file_elxr_orm8(input_source input) : c_map_file_elxr(std::move(input)) {}

  const elxr_line_matcher& section_pattern() const override;
  const std::vector<std::string>& section_names() const override;
};
