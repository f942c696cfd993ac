// The memory definition file: PROGRAM, MEMORY, EEPROM and RESERVED ranges and
// the SEARCH entries. A map reader asks find_range where each section belongs;
// the report takes the range sizes as its totals.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "memdef/memory_range.h"
#include "memdef/search_entry.h"

enum line_kind {
  line_none = 0,
  line_program = 1,
  line_memory = 2,
  line_eeprom = 3,
  line_reserved = 4,
  line_search = 5,
};

class c_memory_def {
 public:
  c_memory_def() = default;
  virtual ~c_memory_def() = default;

  /// Reads the file; valid SEARCH entries are appended to searches. True when
  /// at least one range line of any kind was read.
  bool read(const std::string& file_name, search_list& searches);

  /// Classifies one line (at most 511 characters, no line end). A range line
  /// fills range; a SEARCH line appends its entry to searches when valid.
  static line_kind parse_line(std::string_view line, memory_range& range, search_list& searches);

  /// The first range of ranges that holds the whole block [start, start + size);
  /// stores its index in range_index. A block of size 0 lies in no range.
  bool find_range(std::uint32_t start, std::uint32_t size, std::int32_t& range_index,
                  const std::vector<memory_range>& ranges) const;
  /// find_range() for anything with a start, a size and a range_index, such
  /// as a section record.
  template <typename Placed>
  bool find_range(Placed& placed, const std::vector<memory_range>& ranges) const {
    return find_range(placed.start, placed.size, placed.range_index, ranges);
  }

  /// Builds what find_range looks the program and memory ranges up in now
  /// rather than on its first call, so that find_range may then run on
  /// several threads at once while the ranges stay as they are.
  void prepare_lookups() const;

  /// Sum of the ranges' sizes, wrapping modulo 2^32.
  static std::uint32_t total_size(const std::vector<memory_range>& ranges);

  /// The i-th reserved range, or an empty range when there is none.
  memory_range reserved_range(std::size_t i) const;

  std::vector<memory_range> program_ranges;
  std::vector<memory_range> memory_ranges;
  std::vector<memory_range> eeprom_ranges;
  std::vector<memory_range> reserved_ranges;

 private:
  /// Ranges of one array ordered by start, built on the first search of a
  /// large array. When no two of them overlap, at most one can hold a record
  /// and a binary search finds it; otherwise the search goes in array order.
  struct range_lookup {
    const std::vector<memory_range>* ranges = nullptr;
    std::size_t count = 0;
    bool disjoint = false;
    std::vector<std::uint32_t> by_start;  ///< indices of the non-empty ranges
  };
  const range_lookup& lookup_for(const std::vector<memory_range>& ranges) const;

  mutable range_lookup m_lookups[2];
};
