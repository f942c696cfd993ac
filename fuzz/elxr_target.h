// The body shared by the four elxr reader targets: the input is a map
// listing; the reader's lists must pass the list invariants and, when every
// line is short enough for std::regex, equal the reference reading. The
// listing is also read in small stretches on several threads, which must give
// the same lists as reading it in one go.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mapfile/c_map_file_elxr.h"

namespace fuzz_support {

/// Whether two readings told the same fates, with the same details.
inline bool same_fates(const reading_account& a, const reading_account& b) {
  const auto same = [](const section_fate_record& x, const section_fate_record& y) {
    return x.name.str() == y.name.str() && x.start == y.start && x.size == y.size &&
           x.map_line == y.map_line && x.fate == y.fate && x.range_index == y.range_index &&
           x.detail.traits == y.detail.traits && x.detail.load_address == y.detail.load_address;
  };
  return std::equal(a.sections.begin(), a.sections.end(), b.sections.begin(), b.sections.end(),
                    same) &&
         a.cut_lines == b.cut_lines && a.header_seen == b.header_seen;
}

/// The counted fates are exactly the listed records, and every line number
/// lies in the listing, in order, made-up sections last.
inline void check_fates(const reading_account& recorder, std::string_view bytes,
                        const section_list& program_sections, const section_list& memory_sections) {
  const std::uint64_t lines =
      static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
  std::uint64_t program_bytes = 0;
  std::uint64_t memory_bytes = 0;
  std::size_t program_count = 0;
  std::size_t memory_count = 0;
  std::uint64_t last_line = 0;
  bool made_up_seen = false;  // sections a reader makes up have no line and come last
  std::uint64_t last_cut = 0;
  for (const std::uint64_t cut : recorder.cut_lines) {
    FUZZ_CHECK(cut > last_cut && cut <= lines);
    last_cut = cut;
  }
  for (const section_fate_record& fate : recorder.sections) {
    if (fate.map_line == 0) {
      made_up_seen = true;
    } else {
      FUZZ_CHECK(!made_up_seen && fate.map_line >= last_line && fate.map_line <= lines);
      last_line = fate.map_line;
    }
    if (fate.fate == section_fate::counted_program) {
      program_bytes += fate.size;
      ++program_count;
    } else if (fate.fate == section_fate::counted_memory) {
      memory_bytes += fate.size;
      ++memory_count;
    }
  }
  std::uint64_t listed_program = 0;
  std::uint64_t listed_memory = 0;
  program_sections.visit_in_any_order(
      [&](const section_record& record) { listed_program += record.size; });
  memory_sections.visit_in_any_order(
      [&](const section_record& record) { listed_memory += record.size; });
  FUZZ_CHECK(program_count == program_sections.size());
  FUZZ_CHECK(memory_count == memory_sections.size());
  FUZZ_CHECK(program_bytes == listed_program);
  FUZZ_CHECK(memory_bytes == listed_memory);
}

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
  reading_account one_go_fates;
  {
    reader_type reader(path);
    names = reader.name_pool();
    reader.set_stretching({std::uint64_t{1} << 30, 1});
    reader.set_account(&one_go_fates);
    FUZZ_CHECK(reader.is_open);
    placed_any = reader.read(definition, program_sections, memory_sections);
  }
  FUZZ_CHECK(placed_any == (!program_sections.empty() || !memory_sections.empty()));
  check_section_lists(definition, program_sections, memory_sections);
  check_fates(one_go_fates, bytes, program_sections, memory_sections);

  {
    placed_lists one_go;
    one_go.program.assign(program_sections.begin(), program_sections.end());
    one_go.memory.assign(memory_sections.begin(), memory_sections.end());
    reader_type reader(path);
    reader.set_stretching({1 + size / (2 + (size == 0 ? 0 : data[0] % 8)), 3});
    reading_account stretched_fates;
    reader.set_account(&stretched_fates);
    section_list program_stretched;
    section_list memory_stretched;
    FUZZ_CHECK(reader.read(definition, program_stretched, memory_stretched) == placed_any);
    check_same_lists(one_go, program_stretched, memory_stretched);
    FUZZ_CHECK(same_fates(stretched_fates, one_go_fates));
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
