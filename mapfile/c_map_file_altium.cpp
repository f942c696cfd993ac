#include "mapfile/c_map_file_altium.h"

#include "text/hex_number.h"

namespace {
constexpr std::size_t k_start_column = 32;
constexpr std::size_t k_size_column = 54;
constexpr std::size_t k_field_width = 6;

// A field beyond the end of a short row reads what is there; nothing reads 0.
std::uint32_t read_field(std::string_view line, std::size_t column) {
  if (column >= line.size()) {
    return 0;
  }
  const hex_scan scan = scan_hex(line.substr(column, k_field_width), 0, true);
  if (!scan.has_digits) {
    return 0;
  }
  return scan.negative ? 0u - scan.value : scan.value;
}
}  // namespace

bool c_map_file_altium::parse_row(std::string_view line, section_record& record,
                                  section_name_pool& names) {
  if (line.find("...") == std::string_view::npos) {
    return false;
  }
  // The full stop of a leading "Reg." does not end the name.
  const std::size_t from = line.find("Reg.") != std::string_view::npos ? 4 : 0;
  const std::size_t stop = line.find('.', from);
  const std::string_view name = line.substr(0, stop);
  if (name.empty()) {
    return false;
  }
  record.name = section_name(name, names);
  record.start = read_field(line, k_start_column);
  record.size = read_field(line, k_size_column);
  record.size_unit = line.find("BIT  BIT") != std::string_view::npos ? 1 : 0;
  record.range_index = -1;
  return true;
}

bool c_map_file_altium::read(const c_memory_def& definition, section_list& program_sections,
                             section_list& memory_sections) {
  if (!is_open) {
    return false;
  }
  section_fate_log fates;
  section_fate_log* log = account() != nullptr ? &fates : nullptr;
  std::string_view line;
  if (!stream.next(line) || line.find("Memory map") == std::string_view::npos) {
    return false;
  }
  if (log != nullptr) {
    log->note_header();
  }
  bool table = true;
  for (int skipped = 0; skipped < 3 && table; ++skipped) {
    table = stream.next(line) && stream.last_line_terminated();
  }
  // The line during which the file ended is never a row.
  while (table && stream.next(line) && stream.last_line_terminated()) {
    if (line.find("Number of symbols") != std::string_view::npos) {
      break;
    }
    if (log != nullptr && stream.last_line_cut()) {
      log->add_cut_line(stream.line_number());
    }
    section_record record;
    if (parse_row(line, record, names())) {
      const section_fate fate = place(definition, record, program_sections, memory_sections);
      if (log != nullptr) {
        log->add_placement(definition, record, stream.line_number(), fate);
      }
    }
  }

  for (std::size_t i = 0; i < definition.reserved_ranges.size(); ++i) {
    const memory_range range = definition.reserved_range(i);
    section_record reserved;
    reserved.start = range.start;
    reserved.size = range.size;
    reserved.name = section_name("RESERVED" + std::to_string(i), names());
    const bool counted = definition.find_range(reserved, definition.program_ranges);
    if (counted) {
      insert_sorted(program_sections, reserved);
    }
    if (log != nullptr) {
      // Made up from the definition: no line of the map, and only a program
      // range takes it.
      log->add(reserved, 0,
               counted ? section_fate::counted_program
                       : unplaced_fate(definition, reserved.start, reserved.size, true));
    }
  }
  if (log != nullptr) {
    log->deliver(*account());
  }
  return !program_sections.empty() || !memory_sections.empty();
}
