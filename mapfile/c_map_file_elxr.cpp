#include "mapfile/c_map_file_elxr.h"

#include <map>
#include <memory>

#include "memdef/hex_number.h"

namespace {
bool is_dropped(std::string_view name, std::string_view attributes) {
  return name.find("debug") != std::string_view::npos ||
         attributes.find("DEBUGGING") != std::string_view::npos || name == "heap" ||
         name == "linfix" || name == "gstackfix" || name == "note.renesas";
}
}  // namespace

const elxr_line_matcher& c_map_file_elxr::section_pattern() const {
  // One compiled pattern per name list: every reader class keeps its own
  // list, so each gets its own pattern however many readers a process makes.
  static std::map<const std::vector<std::string>*, std::unique_ptr<named_section_matcher>> patterns;
  const std::vector<std::string>& names = section_names();
  std::unique_ptr<named_section_matcher>& pattern = patterns[&names];
  if (!pattern) {
    pattern = std::make_unique<named_section_matcher>(names);
  }
  return *pattern;
}

const std::vector<std::string>& c_map_file_elxr::section_names() const {
  // clang-format off
  static const std::vector<std::string> names = {
      "appinfo",        "bss",           "cfginfo",      "data",
      "DFALib_TextRam", "DFALib_Text",   "EEELib_Text",  "fblflashblocks",
      "fixaddr",        "fixtype",       "intvect",      "noclrdatanvmflashblocks",
      "osstackbss",     "osstackdata",   "osstacksbss",  "osstacksdata",
      "osstacktata",    "osstackzdata",  "osstackzbss",  "pblflashblocks",
      "robase",         "rodata",        "romdata",      "romsdata",
      "romtdata",       "romzdata",      "rosdata",      "rozdata",
      "sbss",           "sdabase",       "sdata",        "secinfo",
      "sharedata",      "stack",         "sldata",       "syscall",
      "tdata",          "text",          "zbss",         "zdata",
  };
  // clang-format on
  return names;
}

bool c_map_file_elxr::read(const c_memory_def& definition, section_list& program_sections,
                           section_list& memory_sections) {
  if (!is_open) {
    return false;
  }
  const elxr_line_matcher& pattern = section_pattern();
  const std::uint32_t mask = address_mask();
  std::vector<section_record> records;

  std::string_view line;
  elxr_line_match match;
  while (read_line(line)) {
    if (!pattern.match(line, match)) {
      continue;
    }
    section_record record;
    record.name = match.name;
    record.size = parse_hex(match.size);
    record.start = parse_hex(match.start) & mask;
    // The line after a section line is its attribute line, whatever it holds;
    // a section without one is dropped.
    std::string_view attributes;
    if (!read_line(attributes)) {
      break;
    }
    if (!is_dropped(record.name, attributes)) {
      records.push_back(std::move(record));
    }
  }

  post_process(records);

  place_all(definition, records, program_sections, memory_sections);
  return !program_sections.empty() || !memory_sections.empty();
}
