// Fuzz target: the Altium memory-map reader. Its result must equal a plain
// reading of the fixed-column table: title line, three skipped lines, rows
// with "...", the "Reg." rule, "BIT  BIT" rows counted in bits, the end at
// "Number of symbols" or at a last line without a line feed, and one
// pseudo-section per reserved range inside a program range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "mapfile/c_map_file_altium.h"

namespace {
using namespace fuzz_support;

// The six characters of a fixed column, as strtoul reads them in base 16.
std::uint32_t column_value(const std::string& line, std::size_t column) {
  if (column >= line.size()) {
    return 0;
  }
  const std::string field = line.substr(column, 6);
  return static_cast<std::uint32_t>(std::strtoul(field.c_str(), nullptr, 16));
}

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// Returns whether the reader would report success.
bool reference_read(const c_memory_def& definition, std::string_view bytes, placed_lists& expected,
                    section_name_pool& names) {
  const std::vector<text_line> lines = split_lines(bytes, 511);
  if (lines.empty() || !contains(lines[0].text, "Memory map")) {
    return false;
  }
  for (std::size_t i = 4; i < lines.size(); ++i) {
    const std::string& line = lines[i].text;
    if (contains(line, "Number of symbols") || !lines[i].terminated) {
      break;
    }
    if (!contains(line, "...")) {
      continue;
    }
    const std::size_t stop = line.find('.', contains(line, "Reg.") ? 4 : 0);
    if (stop == 0) {
      continue;
    }
    section_record record;
    record.name = section_name(line.substr(0, stop), names);
    record.start = column_value(line, 32);
    record.size = column_value(line, 54);
    record.size_unit = contains(line, "BIT  BIT") ? 1 : 0;
    reference_place(definition, record, expected);
  }
  for (std::size_t i = 0; i < definition.reserved_ranges.size(); ++i) {
    section_record reserved;
    reserved.start = definition.reserved_ranges[i].start;
    reserved.size = definition.reserved_ranges[i].size;
    reserved.name = section_name("RESERVED" + std::to_string(i), names);
    reference_place(definition, reserved, expected, true);
  }
  return !expected.program.empty() || !expected.memory.empty();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const c_memory_def definition = reader_definition();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = write_scratch("input.map", bytes);

  section_list program_sections;
  section_list memory_sections;
  bool placed_any = false;
  // The records' names outlive the reader.
  std::shared_ptr<section_name_pool> names;
  {
    c_map_file_altium reader(path);
    names = reader.name_pool();
    FUZZ_CHECK(reader.is_open);
    placed_any = reader.read(definition, program_sections, memory_sections);
  }
  check_section_lists(definition, program_sections, memory_sections);

  section_name_pool expected_names;
  placed_lists expected;
  FUZZ_CHECK(placed_any == reference_read(definition, bytes, expected, expected_names));
  check_same_lists(expected, program_sections, memory_sections);
  FUZZ_CHECK(read_whole_file(path) == bytes);
  return 0;
}
