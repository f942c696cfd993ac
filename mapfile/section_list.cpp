#include "mapfile/section_list.h"

#include <algorithm>
#include <iterator>

namespace {
bool start_before(const section_record& a, const section_record& b) { return a.start < b.start; }
}  // namespace

void section_list::insert(const section_record& record) {
  // Appending after a smaller last start keeps the whole list in order.
  const bool in_order = m_sorted_count == m_records.size() &&
                        (m_records.empty() || m_records.back().start < record.start);
  m_records.push_back(record);
  if (in_order) {
    m_sorted_count = m_records.size();
  }
}

const std::vector<section_record>& section_list::ordered() const {
  if (m_sorted_count == m_records.size()) {
    return m_records;
  }
  const auto tail = m_records.begin() + static_cast<std::ptrdiff_t>(m_sorted_count);
  // Newest first among equal starts: reverse the insertion order, then sort
  // stably by start.
  std::reverse(tail, m_records.end());
  std::stable_sort(tail, m_records.end(), start_before);
  if (m_sorted_count > 0) {
    // The newer records go first among equal starts, so they lead the merge.
    std::vector<section_record> merged;
    merged.reserve(m_records.size());
    std::merge(std::make_move_iterator(tail), std::make_move_iterator(m_records.end()),
               std::make_move_iterator(m_records.begin()), std::make_move_iterator(tail),
               std::back_inserter(merged), start_before);
    m_records.swap(merged);
  }
  m_sorted_count = m_records.size();
  return m_records;
}
