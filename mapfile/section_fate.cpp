#include "mapfile/section_fate.h"

#include <algorithm>

#include "memdef/c_memory_def.h"

std::string_view fate_keyword(section_fate fate) {
  switch (fate) {
    case section_fate::counted_program:
      return "program";
    case section_fate::counted_memory:
      return "memory";
    case section_fate::no_attribute_line:
      return "no_attribute_line";
    case section_fate::debug_name:
      return "debug_name";
    case section_fate::debugging_attribute:
      return "debugging_attribute";
    case section_fate::excluded_name:
      return "excluded_name";
    case section_fate::zero_size:
      return "zero_size";
    case section_fate::straddles_range:
      return "straddles_range";
    case section_fate::outside_ranges:
      return "outside_ranges";
    case section_fate::name_not_accepted:
      return "name_not_accepted";
    case section_fate::not_allocated:
      return "not_allocated";
  }
  return "outside_ranges";
}

section_fate unplaced_fate(const c_memory_def& definition, std::uint32_t start, std::uint32_t size,
                           bool program_only) {
  if (size == 0) {
    return section_fate::zero_size;
  }
  const std::uint64_t end = std::uint64_t{start} + size;
  const auto overlaps = [start, end](const std::vector<memory_range>& ranges) {
    return std::any_of(ranges.begin(), ranges.end(), [start, end](const memory_range& range) {
      return range.size != 0 && start < std::uint64_t{range.start} + range.size &&
             range.start < end;
    });
  };
  if (overlaps(definition.program_ranges) ||
      (!program_only && overlaps(definition.memory_ranges))) {
    return section_fate::straddles_range;
  }
  return section_fate::outside_ranges;
}

void section_fate_log::add_placement(const c_memory_def& definition, const section_record& record,
                                     std::uint64_t map_line, section_fate placed,
                                     const section_detail& detail) {
  add(record, map_line,
      is_counted(placed) ? placed : unplaced_fate(definition, record.start, record.size), detail);
}

void section_fate_log::shift_lines(std::uint64_t lines) {
  for (section_fate_record& entry : m_entries) {
    if (entry.map_line != 0) {
      entry.map_line += lines;
    }
  }
  for (std::uint64_t& line : m_cut_lines) {
    line += lines;
  }
}

void section_fate_log::append(section_fate_log&& other) {
  if (m_entries.empty()) {
    m_entries = std::move(other.m_entries);
  } else {
    m_entries.insert(m_entries.end(), other.m_entries.begin(), other.m_entries.end());
  }
  other.m_entries.clear();
  m_cut_lines.insert(m_cut_lines.end(), other.m_cut_lines.begin(), other.m_cut_lines.end());
  other.m_cut_lines.clear();
  m_header_seen = m_header_seen || other.m_header_seen;
}

void section_fate_log::deliver(reading_account& account) {
  const auto line_order = [](std::uint64_t line) { return line == 0 ? UINT64_MAX : line; };
  std::stable_sort(m_entries.begin(), m_entries.end(),
                   [&line_order](const section_fate_record& a, const section_fate_record& b) {
                     return line_order(a.map_line) < line_order(b.map_line);
                   });
  if (account.sections.empty()) {
    account.sections = std::move(m_entries);
  } else {
    account.sections.insert(account.sections.end(), m_entries.begin(), m_entries.end());
  }
  m_entries.clear();
  account.cut_lines.insert(account.cut_lines.end(), m_cut_lines.begin(), m_cut_lines.end());
  m_cut_lines.clear();
  account.header_seen = account.header_seen || m_header_seen;
}
