#include "mapfile/section_list.h"

void section_list::insert(const section_record& record) {
  // Appending after a smaller last start is the common case of sorted input.
  if (!m_records.empty() && m_records.back().start < record.start) {
    m_records.push_back(record);
    m_first_of_start[record.start] = std::prev(m_records.end());
    return;
  }
  const auto next = m_first_of_start.lower_bound(record.start);
  const auto position = next == m_first_of_start.end() ? m_records.end() : next->second;
  const auto inserted = m_records.insert(position, record);
  m_first_of_start[record.start] = inserted;
}
