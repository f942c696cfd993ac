// What became of every section a map reader recognised: counted in a range,
// or dropped with the first reason that applies, with what its listing said
// of it besides. A reader keeps this account only when it is given one;
// without one it does no work for it. Reasons are
// kept in a log while the listing is read (on several threads for a large
// one) and handed over in the order of the map's lines at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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
  not_allocated,      ///< a section of an image without SHF_ALLOC: it takes no memory
};

/// The word the formats print: "program", "memory", or the reason as named above.
std::string_view fate_keyword(section_fate fate);

inline bool is_counted(section_fate fate) {
  return fate == section_fate::counted_program || fate == section_fate::counted_memory;
}

/// What a listing says of a section besides its name, start and size: the
/// words of its attribute line, and the columns that do not fit the record.
enum section_trait : std::uint8_t {
  k_trait_attributes = 1 << 0,  ///< the listing gave an attribute line (the bits below are read)
  k_trait_alloc = 1 << 1,       ///< "ALLOC": the section takes memory in the image
  k_trait_load = 1 << 2,        ///< "LOAD": its contents are loaded from the image
  /// Attribute words on the section line itself: a listing made with -w,
  /// whose next section line was then taken for this one's attribute line.
  k_trait_wide_listing = 1 << 3,
  k_trait_wide_start = 1 << 4,  ///< the address column holds more than 32 bits: read as 0
  k_trait_wide_size = 1 << 5,   ///< the size column holds more than 32 bits: read as 0
  k_trait_wide_load = 1 << 6,   ///< the load address column holds more than 32 bits
};

/// What the listing said of one section beyond its record.
struct section_detail {
  std::uint8_t traits = 0;
  /// The load address (the listing's LMA column, folded as the start is);
  /// none where the format has no such column.
  std::optional<std::uint32_t> load_address;
};

/// One recognised section and its fate: what a reader tells, and what the
/// analysis keeps, in one record.
struct section_fate_record {
  section_name name;  ///< in the reading's name pool
  std::uint32_t start = 0;
  std::uint32_t size = 0;
  std::uint32_t size_unit = 0;  ///< 0: bytes, 1: bits
  /// 1-based number of the map line where the section's line begins; 0 for
  /// a section a reader makes up (it has no line).
  std::uint64_t map_line = 0;
  section_fate fate = section_fate::outside_ranges;
  std::int32_t range_index = -1;  ///< the program or memory range that counted it; -1 when dropped
  section_detail detail = {};
  /// Filled by the analysis for a section counted in a program range: its
  /// place in the program list (report order) and the SEARCH entry that
  /// counted its bytes (-1: none).
  std::int64_t program_index = -1;
  std::int32_t group = -1;
  /// Filled by the analysis for a load copy (contents loaded away from the
  /// run address, into a range that does not count the section itself):
  /// the program or memory range that holds its load address; -1: none.
  std::int32_t load_copy_range = -1;
  bool load_copy_in_program = false;
  /// Filled by the analysis when it reads an image's symbols, for a counted section: the bytes
  /// its symbols hold (the rest are unattributed) and where its symbols stand in the symbol list.
  std::uint32_t attributed = 0;
  std::uint32_t first_symbol = 0;
  std::uint32_t symbol_count = 0;

  /// The bytes of a counted section that no symbol holds.
  std::uint32_t unattributed() const { return size - attributed; }
  bool has(section_trait trait) const { return (detail.traits & trait) != 0; }
};

/// What a reading tells besides its two lists, when it is asked to.
struct reading_account {
  /// Every recognised section, by map line (made-up sections last).
  std::vector<section_fate_record> sections;
  /// The lines longer than the reader takes, cut there, in map order.
  std::vector<std::uint64_t> cut_lines;
  /// Whether a listing's column header line ("Idx Name Size VMA LMA") was seen.
  bool header_seen = false;
};

/// Why a section that no program or memory range holds is dropped:
/// zero_size, straddles_range or outside_ranges, judged in 64-bit arithmetic.
/// program_only: for a section only a program range may take.
section_fate unplaced_fate(const c_memory_def& definition, std::uint32_t start, std::uint32_t size,
                           bool program_only = false);

/// The fates of one reading, in the order they were decided.
class section_fate_log {
 public:
  void add(const section_record& record, std::uint64_t map_line, section_fate fate,
           const section_detail& detail = {}) {
    section_fate_record entry;
    entry.name = record.name;
    entry.start = record.start;
    entry.size = record.size;
    entry.size_unit = record.size_unit;
    entry.map_line = map_line;
    entry.fate = fate;
    entry.range_index = is_counted(fate) ? record.range_index : -1;
    entry.detail = detail;
    m_entries.push_back(entry);
  }
  /// The fate of a record after placing: placed is counted_program or
  /// counted_memory when a range took it, any other fate when none did; the
  /// reason is then worked out here.
  void add_placement(const c_memory_def& definition, const section_record& record,
                     std::uint64_t map_line, section_fate placed,
                     const section_detail& detail = {});
  /// A line longer than the reader takes.
  void add_cut_line(std::uint64_t map_line) { m_cut_lines.push_back(map_line); }
  void note_header() { m_header_seen = true; }

  /// Adds lines to every line number: a stretch of the listing counts its
  /// lines from its own start.
  void shift_lines(std::uint64_t lines);

  /// Appends other's entries, leaving other empty.
  void append(section_fate_log&& other);

  std::size_t size() const { return m_entries.size(); }

  /// Hands every entry to the account, by map line (entries of one line in
  /// the order they came), made-up sections last; the log is left empty.
  void deliver(reading_account& account);

 private:
  std::vector<section_fate_record> m_entries;
  std::vector<std::uint64_t> m_cut_lines;
  bool m_header_seen = false;
};
