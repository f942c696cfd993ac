// The memory definition file: PROGRAM, MEMORY, EEPROM and RESERVED ranges and
// the SEARCH entries. A map reader asks find_range where each section belongs;
// the report takes the range sizes as its totals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "memdef/memory_range.h"
#include "memdef/search_entry.h"
#include "text/input_source.h"

enum line_kind {
  line_none = 0,
  line_program = 1,
  line_memory = 2,
  line_eeprom = 3,
  line_reserved = 4,
  line_search = 5,
};

/// How one number of a range line was read.
enum class number_state {
  read,       ///< taken
  missing,    ///< nothing but white space was left: the number counts as 0
  malformed,  ///< no hexadecimal digit where it stands: the number counts as 0
  too_large,  ///< its digits do not fit in 32 bits: the number counts as 0
  skipped,    ///< not looked at (an earlier number failed, or no range line)
};

struct number_reading {
  number_state state = number_state::skipped;
  std::size_t at = 0;   ///< in the argument text: where it begins, after white space
  std::size_t end = 0;  ///< in the argument text: right after its last digit
};

/// What parse_line took from a line, for a caller that explains a definition
/// file rather than uses it. Views point into the line given to parse_line
/// (or into the keyword table, for keyword).
struct line_reading {
  std::size_t first_slash = std::string_view::npos;
  bool comment = false;      ///< the line was cut at first_slash
  std::string_view text;     ///< the line after the comment cut
  std::string_view keyword;  ///< the keyword that decided the kind; empty for line_none
  std::size_t keyword_at = std::string_view::npos;
  std::string_view arguments;  ///< the text after as many characters as the keyword has
  number_reading numbers[2];   ///< start and size of a range line
};

class c_memory_def {
 public:
  c_memory_def() = default;
  virtual ~c_memory_def() = default;

  /// Reads the file (or text); valid SEARCH entries are appended to searches.
  /// True when at least one range line of any kind was read.
  bool read(const input_source& input, search_list& searches);

  /// Classifies one line (at most 511 characters, no line end). A range line
  /// fills range; a SEARCH line appends its entry to searches when valid.
  static line_kind parse_line(std::string_view line, memory_range& range, search_list& searches);
  /// parse_line() that also tells what it read in reading when that is not
  /// null; the file reader passes null and pays nothing for it.
  static line_kind parse_line(std::string_view line, memory_range& range, search_list& searches,
                              line_reading* reading);

  /// The keyword of a line kind ("PROGRAM" ...); empty for line_none.
  static std::string_view keyword_text(line_kind kind);

  /// Characters of a line that are read; the rest of a longer line is dropped.
  static constexpr std::size_t k_max_line = 511;

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

  /// Sum of the ranges' sizes, wrapping modulo 2^32.
  static std::uint32_t total_size(const std::vector<memory_range>& ranges);

  /// The i-th reserved range, or an empty range when there is none.
  memory_range reserved_range(std::size_t i) const;

  std::vector<memory_range> program_ranges;
  std::vector<memory_range> memory_ranges;
  std::vector<memory_range> eeprom_ranges;
  std::vector<memory_range> reserved_ranges;
};
