#include "mapfile/c_map_file_elxr_orm8.h"

const elxr_line_matcher& c_map_file_elxr_orm8::section_pattern() const {
  static const named_section_matcher pattern(c_map_file_elxr_orm8::section_names());
  return pattern;
}

const std::vector<std::string>& c_map_file_elxr_orm8::section_names() const {
  // "data, initialized" stands after "data": ".data" alone cannot be
  // followed by the comma, so the longer name still matches.
  // clang-format off
  static const std::vector<std::string> names = {
      "bsct",      "ubsct",         "share",     "data",       "data, initialized",
      "bss",       "RuxSysTestRam", "HalADCRam", "RuxEepRam",  "RuxParamRam",
      "NvmBuffer", "NoClear",       "MY_STACK",  "eeprom",     "OptBytes",
      "OptByTMU",  "OptByBL",       "vector",    "PBL",        "const",
      "text",      "ISR",           "STARTUPFUNC", "CfgId",    "Reserved",
      "init",
  };
  // clang-format on
  return names;
}
