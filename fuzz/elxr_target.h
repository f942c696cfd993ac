// The body shared by the four elxr reader targets: the input is a map
// listing; the reader's lists must pass the list invariants and, when every
// line is short enough for std::regex, equal the reference reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace fuzz_support {

template <typename reader_type>
int fuzz_elxr_reader(const std::uint8_t* data, std::size_t size, const elxr_reference& reference) {
  static const c_memory_def definition = reader_definition();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = write_scratch("input.map", bytes);

  section_list program_sections;
  section_list memory_sections;
  bool placed_any = false;
  {
    reader_type reader(path);
    FUZZ_CHECK(reader.is_open);
    placed_any = reader.read(definition, program_sections, memory_sections);
  }
  FUZZ_CHECK(placed_any == (!program_sections.empty() || !memory_sections.empty()));
  check_section_lists(definition, program_sections, memory_sections);

  std::vector<section_record> records;
  if (reference_elxr_records(reference, bytes, records)) {
    placed_lists expected;
    for (const section_record& record : records) {
      reference_place(definition, record, expected);
    }
    check_same_lists(expected, program_sections, memory_sections);
  }
  FUZZ_CHECK(read_whole_file(path) == bytes);
  return 0;
}

}  // namespace fuzz_support
