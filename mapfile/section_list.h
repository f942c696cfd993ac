// Section records in ascending start order. Records enter only through
// insert(): a record goes before every record whose start is greater or
// equal, so among equal starts the newest stands first. An index from each
// start to the first record with that start keeps an insertion O(log n)
// instead of a walk along the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>

#include "mapfile/section_record.h"

class section_list {
 public:
  using const_iterator = std::list<section_record>::const_iterator;

  void insert(const section_record& record);

  const_iterator begin() const { return m_records.begin(); }
  const_iterator end() const { return m_records.end(); }
  std::size_t size() const { return m_records.size(); }
  bool empty() const { return m_records.empty(); }
  const section_record& front() const { return m_records.front(); }
  const section_record& back() const { return m_records.back(); }

 private:
  std::list<section_record> m_records;
  std::map<std::uint32_t, std::list<section_record>::iterator> m_first_of_start;
};
