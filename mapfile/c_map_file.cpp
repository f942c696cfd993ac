#include "mapfile/c_map_file.h"

c_map_file::c_map_file(input_source input, std::size_t max_line_length)
    : source(std::move(input)),
      file_name(source.path),
      stream(max_line_length),
      is_open(open(source)),
      m_names(std::make_shared<section_name_pool>()) {}

c_map_file::~c_map_file() = default;

bool c_map_file::read(const c_memory_def& /*definition*/, section_list& /*program_sections*/,
                      section_list& /*memory_sections*/) {
  return false;
}

bool c_map_file::post_process(std::vector<section_record>& /*records*/) { return true; }

void c_map_file::use_name_pool(std::shared_ptr<section_name_pool> pool) {
  if (pool) {
    m_names = std::move(pool);
  }
}

bool c_map_file::open(const input_source& input) { return stream.open(input); }

bool c_map_file::read_line(std::string_view& line) {
  if (next_filled_line(stream, line)) {
    return true;
  }
  stream.close();
  return false;
}

bool c_map_file::next_filled_line(line_reader& reader, std::string_view& line) {
  while (reader.next(line)) {
    if (!line.empty()) {
      return true;
    }
  }
  return false;
}

bool c_map_file::insert_sorted(section_list& list, const section_record& record) {
  list.insert(record);
  return true;
}

section_fate c_map_file::place(const c_memory_def& definition, section_record& record,
                               section_list& program_sections, section_list& memory_sections) {
  if (definition.find_range(record, definition.program_ranges)) {
    insert_sorted(program_sections, record);
    return section_fate::counted_program;
  }
  if (definition.find_range(record, definition.memory_ranges)) {
    insert_sorted(memory_sections, record);
    return section_fate::counted_memory;
  }
  return section_fate::outside_ranges;
}

void c_map_file::place_all(const c_memory_def& definition, std::vector<section_record>& records,
                           section_list& program_sections, section_list& memory_sections,
                           section_fate_log* log, const std::vector<record_origin>* origins) {
  // Reserving only sets address space aside; pages are used as records come.
  std::vector<section_record> memory_records;
  memory_records.reserve(records.size());
  std::size_t kept = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    section_record& record = records[i];
    section_fate fate = section_fate::outside_ranges;
    if (definition.find_range(record, definition.program_ranges)) {
      fate = section_fate::counted_program;
      records[kept++] = record;
    } else if (definition.find_range(record, definition.memory_ranges)) {
      fate = section_fate::counted_memory;
      memory_records.push_back(record);
    }
    if (log != nullptr) {
      const record_origin origin =
          origins != nullptr && i < origins->size() ? (*origins)[i] : record_origin{};
      // records[i] keeps its values when copied down to records[kept - 1].
      log->add_placement(definition, record, origin.map_line, fate, origin.detail);
    }
  }
  records.resize(kept);
  program_sections.insert_all(std::move(records));
  memory_sections.insert_all(std::move(memory_records));
  records.clear();
}
