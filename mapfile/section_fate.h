// What became of every section a map reader recognised: counted in a range,
// or dropped with the first reason that applies. A reader tells an observer
// only when one is attached; without one it does no work for it. Reasons are
// kept in a log while the listing is read (on several threads for a large
// one) and handed over in the order of the map's lines at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "mapfile/section_record.h"

class c_memory_def;

/// Counted in a range, or the first reason to drop that applies, in this order.
enum class section_fate : std::uint8_t {
  counted_program,
  counted_memory,
  no_attribute_line,    ///< a section line on which the listing ends
  debug_name,           ///< a name holding "debug"
  debugging_attribute,  ///< an attribute line holding "DEBUGGING"
  excluded_name,        ///< heap, linfix, gstackfix, note.renesas
  zero_size,
  straddles_range,  ///< overlaps a program or memory range without lying inside one
  outside_ranges,
  name_not_accepted,  ///< a line of a section line's shape whose name the reader does not take
};

/// The word the formats print: "program", "memory", or the reason as named above.
std::string_view fate_keyword(section_fate fate);

inline bool is_counted(section_fate fate) {
  return fate == section_fate::counted_program || fate == section_fate::counted_memory;
}

/// One section and its fate. The name's text stays valid during the call only.
struct section_event {
  std::string_view name;
  /// The same name in the reader's pool, valid as long as the pool is.
  section_name pooled_name;
  std::uint32_t start = 0;
  std::uint32_t size = 0;
  std::uint32_t size_unit = 0;  ///< 0: bytes, 1: bits
  /// 1-based number of the map line where the section's line begins; 0 for
  /// a section a reader makes up (it has no line).
  std::uint64_t map_line = 0;
  section_fate fate = section_fate::outside_ranges;
  /// The program or memory range that counted it; -1 when dropped.
  std::int32_t range_index = -1;
};

class c_section_observer {
 public:
  virtual ~c_section_observer() = default;
  /// Told once before the first section: how many follow.
  virtual void expect_sections(std::size_t /*count*/) {}
  virtual void on_section(const section_event& event) = 0;
};

/// Why a section that no program or memory range holds is dropped:
/// zero_size, straddles_range or outside_ranges, judged in 64-bit arithmetic.
/// program_only: for a section only a program range may take.
section_fate unplaced_fate(const c_memory_def& definition, std::uint32_t start, std::uint32_t size,
                           bool program_only = false);

/// The fates of one reading, in the order they were decided.
class section_fate_log {
 public:
  struct entry {
    section_name name;
    std::uint32_t start;
    std::uint32_t size;
    std::uint32_t size_unit;
    std::int32_t range_index;
    std::uint64_t map_line;
    section_fate fate;
  };

  void add(const section_record& record, std::uint64_t map_line, section_fate fate) {
    m_entries.push_back({record.name, record.start, record.size, record.size_unit,
                         is_counted(fate) ? record.range_index : -1, map_line, fate});
  }
  /// The fate of a record after placing: placed is counted_program or
  /// counted_memory when a range took it, any other fate when none did; the
  /// reason is then worked out here.
  void add_placement(const c_memory_def& definition, const section_record& record,
                     std::uint64_t map_line, section_fate placed);

  /// Adds lines to the line numbers of the entries from first on: a stretch
  /// of the listing counts its lines from its own start.
  void shift_lines(std::size_t first, std::uint64_t lines);

  /// Appends other's entries, leaving other empty.
  void append(section_fate_log&& other);

  std::size_t size() const { return m_entries.size(); }

  /// Hands every entry to the observer, by map line (entries of one line in
  /// the order they came), made-up sections last.
  void deliver(c_section_observer& observer);

 private:
  std::vector<entry> m_entries;
};
