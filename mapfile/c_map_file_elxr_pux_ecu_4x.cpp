#include "mapfile/c_map_file_elxr_pux_ecu_4x.h"

#include "text/hex_number.h"

const elxr_line_matcher& c_map_file_elxr_pux_ecu_4x::section_pattern() const {
  static const named_section_matcher pattern(c_map_file_elxr_pux_ecu_4x::section_names());
  return pattern;
}

const std::vector<std::string>& c_map_file_elxr_pux_ecu_4x::section_names() const {
  // clang-format off
  static const std::vector<std::string> names = {
      "bsct",     "ubsct",  "share",    "data_begin", "data",     "bss",   "NoClear",
      "MY_STACK", "eeprom", "OptBytes", "OptByTMU",   "OptByBL",  "vector", "PBL",
      "const",    "text",   "ISR",      "STARTUPFUNC", "CfgId",   "Reserved", "init",
  };
  // clang-format on
  return names;
}

bool c_map_file_elxr_pux_ecu_4x::post_process(std::vector<section_record>& records) {
  static const symbol_line_matcher begin_pattern("__stack_begin");
  static const symbol_line_matcher end_pattern("__stack_end");

  std::size_t data = records.size();
  std::size_t data_begin = records.size();
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (data == records.size() && records[i].name == ".data") {
      data = i;
    }
    if (data_begin == records.size() && records[i].name == ".data_begin") {
      data_begin = i;
    }
  }
  if (data == records.size() || data_begin == records.size()) {
    return false;
  }

  section_record rom_image = records[data];
  rom_image.name = section_name("rodata", names());
  records[data].start = records[data_begin].start;
  records.push_back(std::move(rom_image));

  // The stack bounds are symbols, not sections: read the listing once more.
  if (!open(file_name)) {
    return false;
  }
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  std::string_view line;
  std::string_view value;
  while (read_line(line)) {
    if (begin_pattern.match(line, value)) {
      begin = parse_hex(value);
    }
    if (end_pattern.match(line, value)) {
      end = parse_hex(value);
    }
  }
  if (end != begin) {
    section_record stack;
    stack.start = begin;  // symbol values are full addresses: no mask
    stack.size = end - begin;
    stack.name = section_name("stack", names());
    records.push_back(std::move(stack));
  }
  return true;
}
