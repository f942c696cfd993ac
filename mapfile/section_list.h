// Section records in ascending start order. A record goes before every
// record whose start is greater or equal, so among equal starts the newest
// stands first. Records are appended as they come and put in that order
// once, when the list is first read: the same order as inserting each one at
// its place, at the cost of one sort instead of a walk along the list per
// insert.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mapfile/section_record.h"

/// The records of the parts one after the other; the parts are used up.
std::vector<section_record> join_parts(std::vector<std::vector<section_record>>&& parts);

class section_list {
 public:
  using const_iterator = std::vector<section_record>::const_iterator;

  void insert(const section_record& record);
  /// Inserts every record, in their order; takes over their storage when the
  /// list is still empty.
  void insert_all(std::vector<section_record>&& records);
  /// insert_all() for each part, one after the other. A list that is still
  /// empty keeps the parts as they are until it is first read.
  void insert_parts(std::vector<std::vector<section_record>>&& parts);

  /// Puts the records in order and into one vector now. A list that
  /// another thread may read at the same time must be put in order first:
  /// reading an unordered list through a const call orders it in place.
  void put_in_order();

  const_iterator begin() const { return ordered().begin(); }
  const_iterator end() const { return ordered().end(); }
  std::size_t size() const { return m_records.size() + m_parted_count; }
  bool empty() const { return size() == 0; }
  const section_record& front() const { return ordered().front(); }
  const section_record& back() const { return ordered().back(); }

  /// The records without putting them in order first, for work that does
  /// not depend on it.
  const std::vector<section_record>& in_any_order() const;
  /// Calls visit for every record, in no particular order, without copying
  /// parts into one list.
  template <typename Visit>
  void visit_in_any_order(const Visit& visit) const {
    for (const section_record& record : m_records) {
      visit(record);
    }
    for (const std::vector<section_record>& part : m_parts) {
      for (const section_record& record : part) {
        visit(record);
      }
    }
  }

 private:
  const std::vector<section_record>& ordered() const;

  /// Moves the parts into m_records, in their order.
  void gather_parts() const;

  mutable std::vector<section_record> m_records;
  /// Records before this position are in order; the rest in insertion order.
  mutable std::size_t m_sorted_count = 0;
  /// Parts taken over by insert_parts() into an empty list, in insertion
  /// order; they follow m_records, which is then empty.
  mutable std::vector<std::vector<section_record>> m_parts;
  mutable std::size_t m_parted_count = 0;
};
