#include "report/run_memory_report.h"

#include <iomanip>

#include "mapfile/c_map_file_altium.h"
#include "mapfile/c_map_file_elxr.h"
#include "mapfile/c_map_file_elxr_mem32_unlimited.h"
#include "mapfile/c_map_file_elxr_orm8.h"
#include "mapfile/c_map_file_elxr_pux_ecu_4x.h"
#include "report/search_accounting.h"
#include "text/number_format.h"

namespace {
constexpr const char* k_prefix = "Vemora:\t";

void print_report(std::ostream& out, const c_memory_def& definition, const memory_totals& totals) {
  out << std::right << std::fixed << std::setprecision(2);
  out << "************************************" << std::endl;
  out << "*       Vemora Memory Report       *" << std::endl;
  out << "*       In [Byte]                  *" << std::endl;
  out << "*       With 8-Bit / Byte          *" << std::endl;
  out << "************************************" << std::endl;
  out << std::endl;
  out << "Average module, Mem area: ";
  write_quotient(out, totals.memory_floating_sum, static_cast<double>(totals.memory_records), 7);
  out << std::endl;
  out << "Average module, Prg area: ";
  write_quotient(out, totals.program_floating_sum, static_cast<double>(totals.program_records), 7);
  out << std::endl;
  out << std::endl;
  out << "Mem area used: ";
  write_int(out, totals.memory_bytes, 7);
  out << std::endl;
  out << "Bit area used: ";
  write_int(out, totals.bit_count, 7);
  out << std::endl;
  out << "Prg area used: ";
  write_int(out, totals.program_bytes, 7);
  out << std::endl;
  out << std::endl;

  out << "Memory area:" << std::endl;
  out << "Total:    ";
  write_int(out, totals.memory_total, 9);
  out << std::endl;
  out << "Pct Used: ";
  write_quotient(out, totals.memory_used_rounded() * 100.0, totals.memory_total, 12);
  out << "%" << std::endl;
  out << "Free:     ";
  write_fix(out, totals.memory_total - totals.memory_used(), 12);
  out << std::endl;
  out << "Used:     ";
  write_fix(out, totals.memory_used(), 12);
  out << std::endl;
  out << std::endl;

  out << "Program area:" << std::endl;
  out << "Total:    ";
  write_int(out, totals.program_total, 9);
  out << std::endl;
  out << "Pct Used: ";
  write_quotient(out, totals.program_bytes * 100.0, totals.program_total, 12);
  out << "%" << std::endl;
  out << "Free:     ";
  write_fix(out, static_cast<double>(totals.program_total) - totals.program_bytes, 12);
  out << std::endl;
  out << "Used:     ";
  write_fix(out, totals.program_bytes, 12);
  out << std::endl;
  out << std::endl;
  out << std::endl;

  for (std::size_t i = 0; i < definition.program_ranges.size(); ++i) {
    const std::uint32_t size = definition.program_ranges[i].size;
    const std::uint32_t used = totals.seg_used[i];
    out << "  Prg seg";
    write_int(out, static_cast<std::int64_t>(i));
    out << ":   "
        << "  Used  ";
    write_int(out, used, 7);
    // Signed, so that an overfull range shows how much it is over.
    out << ", Free  ";
    write_int(out, std::int64_t{size} - used, 7);
    out << ", Total ";
    write_int(out, size, 7);
    out << ", Pct Used ";
    write_quotient(out, used * 100.0, size, 7);
    out << "%" << std::endl;
  }
  out << std::endl;
}
}  // namespace

std::unique_ptr<c_map_file> make_map_reader(const std::string& type_keyword,
                                            const std::string& map_file_path) {
  if (type_keyword == "Orm6") {
    return std::make_unique<c_map_file_altium>(map_file_path);
  }
  if (type_keyword == "Tev2") {
    return std::make_unique<c_map_file_elxr>(map_file_path);
  }
  if (type_keyword == "Tev2_mem32_unlimited") {
    return std::make_unique<c_map_file_elxr_mem32_unlimited>(map_file_path);
  }
  if (type_keyword == "Orm8") {
    return std::make_unique<c_map_file_elxr_orm8>(map_file_path);
  }
  if (type_keyword == "Pux4") {
    return std::make_unique<c_map_file_elxr_pux_ecu_4x>(map_file_path);
  }
  return nullptr;
}

memory_totals compute_totals(const c_memory_def& definition, const section_list& program_sections,
                             const section_list& memory_sections) {
  memory_totals totals;
  const auto add_memory = [&totals](const section_record& record) {
    if (record.size_unit == 1) {
      totals.bit_count += record.size;
      totals.memory_floating_sum += record.size * 0.125;
    } else {
      totals.memory_bytes += record.size;
      totals.memory_floating_sum += record.size;
    }
  };
  // The memory list is only summed. The integer sums wrap the same in any
  // order, and the floating sum, a multiple of 1/8, is exact in any order
  // while it stays below 2^50, which fewer than 2^18 sizes of 32 bits cannot
  // reach: such a list need not be put in order first.
  if (memory_sections.size() < (std::size_t{1} << 18)) {
    memory_sections.visit_in_any_order(add_memory);
  } else {
    for (const section_record& record : memory_sections) {
      add_memory(record);
    }
  }
  totals.seg_used.assign(definition.program_ranges.size(), 0);
  for (const section_record& record : program_sections) {
    totals.program_bytes += record.size;
    totals.program_floating_sum += record.size;
    totals.seg_used[static_cast<std::size_t>(record.range_index)] += record.size;
  }
  totals.memory_total = c_memory_def::total_size(definition.memory_ranges);
  totals.program_total = c_memory_def::total_size(definition.program_ranges);
  totals.memory_records = memory_sections.size();
  totals.program_records = program_sections.size();
  return totals;
}

bool run_memory_report(std::string map_file_path, std::string definition_path,
                       std::string type_keyword, std::ostream& out,
                       const std::vector<std::string>& other_inputs) {
  if (definition_path.empty()) {
    out << k_prefix << "No map def. file name." << std::endl;
    return false;
  }
  if (map_file_path.empty()) {
    out << k_prefix << "No map file name." << std::endl;
    return false;
  }

  search_list searches;
  c_memory_def definition;
  const bool definition_read = definition.read(definition_path, searches);

  std::unique_ptr<c_map_file> reader = make_map_reader(type_keyword, map_file_path);
  if (!reader) {
    out << k_prefix << "Map definition file type is not supported." << std::endl;
    return false;
  }
  if (!definition_read) {
    out << k_prefix << "Invalid memory definition file." << std::endl;
    if (!reader->is_open) {
      out << k_prefix << "Invalid memory map file." << std::endl;
    }
    return false;
  }
  if (!reader->is_open) {
    out << k_prefix << "Invalid memory map file." << std::endl;
    return false;
  }

  // The records' names live in the reader's pool, which must outlast the
  // reader: it is let go before the accounting.
  const std::shared_ptr<section_name_pool> names = reader->name_pool();
  section_list program_sections;
  section_list memory_sections;
  if (!reader->read(definition, program_sections, memory_sections)) {
    return true;  // no section in any range: nothing to report, still a success
  }
  reader.reset();

  const memory_totals totals = compute_totals(definition, program_sections, memory_sections);
  std::vector<std::string> inputs = {definition_path};
  inputs.insert(inputs.end(), other_inputs.begin(), other_inputs.end());
  search_accounting accounting(searches);
  accounting.expect_records(program_sections.size());
  if (!searches.empty()) {
    accounting.write_result_file_early(map_file_path, inputs);
  }
  for (const section_record& record : program_sections) {
    accounting.account(record);
  }

  print_report(out, definition, totals);
  if (!searches.empty()) {
    accounting.print_breakdown(out, totals.program_bytes, map_file_path, inputs);
  }
  return true;
}
