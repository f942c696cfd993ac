#include "mapfile/section_list.h"

#include <algorithm>
#include <utility>

namespace {
/// Length of the ascending run at the front: appending keeps such a run in
/// order as long as each start is greater than the one before.
std::size_t ascending_prefix(const std::vector<section_record>& records) {
  std::size_t n = records.empty() ? 0 : 1;
  while (n < records.size() && records[n - 1].start < records[n].start) {
    ++n;
  }
  return n;
}

/// Puts the records in start order, newest first among equal starts. The
/// first `sorted` records are older than the rest and already in order, so
/// among them an earlier one is the newer.
void sort_by_start(std::vector<section_record>& records, std::size_t sorted) {
  // Newest first among equal starts: the unsorted tail reversed ahead of the
  // sorted head, then a stable merge sort keeps that order among equals.
  const auto tail = records.begin() + static_cast<std::ptrdiff_t>(sorted);
  std::reverse(tail, records.end());
  std::rotate(records.begin(), tail, records.end());
  std::stable_sort(
      records.begin(), records.end(),
      [](const section_record& a, const section_record& b) { return a.start < b.start; });
}
}  // namespace

void section_list::insert(const section_record& record) {
  gather_parts();
  // Appending after a smaller last start keeps the whole list in order.
  const bool in_order = m_sorted_count == m_records.size() &&
                        (m_records.empty() || m_records.back().start < record.start);
  m_records.push_back(record);
  if (in_order) {
    m_sorted_count = m_records.size();
  }
}

void section_list::insert_all(std::vector<section_record>&& records) {
  gather_parts();
  if (!m_records.empty()) {
    for (const section_record& record : records) {
      insert(record);
    }
    return;
  }
  m_records = std::move(records);
  m_sorted_count = ascending_prefix(m_records);
}

void section_list::insert_parts(std::vector<std::vector<section_record>>&& parts) {
  if (!m_records.empty() || !m_parts.empty()) {
    for (std::vector<section_record>& part : parts) {
      insert_all(std::move(part));
    }
    return;
  }
  for (std::vector<section_record>& part : parts) {
    if (!part.empty()) {
      m_parted_count += part.size();
      m_parts.push_back(std::move(part));
    }
  }
}

std::vector<section_record> join_parts(std::vector<std::vector<section_record>>&& parts) {
  if (parts.size() == 1) {
    return std::move(parts.front());
  }
  std::size_t total = 0;
  for (const std::vector<section_record>& part : parts) {
    total += part.size();
  }
  std::vector<section_record> records;
  records.reserve(total);
  for (const std::vector<section_record>& part : parts) {
    records.insert(records.end(), part.begin(), part.end());
  }
  return records;
}

void section_list::gather_parts() const {
  if (m_parts.empty()) {
    return;
  }
  m_records = join_parts(std::move(m_parts));
  m_parts.clear();
  m_parted_count = 0;
  m_sorted_count = ascending_prefix(m_records);
}

const std::vector<section_record>& section_list::in_any_order() const {
  gather_parts();
  return m_records;
}

void section_list::put_in_order() { ordered(); }

const std::vector<section_record>& section_list::ordered() const {
  gather_parts();
  if (m_sorted_count != m_records.size()) {
    sort_by_start(m_records, m_sorted_count);
    m_sorted_count = m_records.size();
  }
  return m_records;
}
