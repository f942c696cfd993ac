// The body shared by the four elxr reader targets: the input is a map
// listing; the reader's lists must pass the list invariants and, when every
// line is short enough for std::regex, equal the reference reading. The
// listing is also read in small stretches on several threads, which must give
// the same lists as reading it in one go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mapfile/c_map_file_elxr.h"

namespace fuzz_support {

template <typename reader_type>
int fuzz_elxr_reader(const std::uint8_t* data, std::size_t size, const elxr_reference& reference) {
  static const c_memory_def definition = reader_definition();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = write_scratch("input.map", bytes);

  section_list program_sections;
  section_list memory_sections;
  bool placed_any = false;
  // The records' names outlive the reader.
  std::shared_ptr<section_name_pool> names;
  {
    reader_type reader(path);
    names = reader.name_pool();
    reader.set_stretching({std::uint64_t{1} << 30, 1});
    FUZZ_CHECK(reader.is_open);
    placed_any = reader.read(definition, program_sections, memory_sections);
  }
  FUZZ_CHECK(placed_any == (!program_sections.empty() || !memory_sections.empty()));
  check_section_lists(definition, program_sections, memory_sections);

  {
    placed_lists one_go;
    one_go.program.assign(program_sections.begin(), program_sections.end());
    one_go.memory.assign(memory_sections.begin(), memory_sections.end());
    reader_type reader(path);
    reader.set_stretching({1 + size / (2 + (size == 0 ? 0 : data[0] % 8)), 3});
    section_list program_stretched;
    section_list memory_stretched;
    FUZZ_CHECK(reader.read(definition, program_stretched, memory_stretched) == placed_any);
    check_same_lists(one_go, program_stretched, memory_stretched);
  }

  section_name_pool reference_names;
  std::vector<section_record> records;
  if (reference_elxr_records(reference, bytes, records, reference_names)) {
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
