// elxr listings of the Pux4 target family. Besides its own section names it
// rewrites the collected sections before placement: the initialised data is
// counted twice, once as its ROM image ("rodata", at the listed address) and
// once at its RAM address (that of ".data_begin"), and the stack, which the
// listing shows only as two symbols, becomes a "stack" pseudo-section.
#pragma once

#include "mapfile/c_map_file_elxr.h"

class c_map_file_elxr_pux_ecu_4x : public c_map_file_elxr {
 public:
  explicit c_map_file_elxr_pux_ecu_4x(input_source input) : c_map_file_elxr(std::move(input)) {}

  const elxr_line_matcher& section_pattern() const override;
  const std::vector<std::string>& section_names() const override;
  bool post_process(std::vector<section_record>& records) override;
  bool post_processes() const override { return true; }
};
