// Findings about a memory definition file: what the reader silently makes of
// lines that read otherwise to a person (a keyword not at the start, a "//"
// that is no comment, an unreadable number, overlapping ranges ...). They come
// from the reader's own parse_line; the console stays silent, a lint prints them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "memdef/c_memory_def.h"
#include "memdef/memory_range.h"
#include "text/input_source.h"

/// One kind per lint rule, in the order of the rule codes VL001 ... VL012.
enum class definition_finding_kind {
  overlap,               ///< VL001: two ranges overlap
  keyword_not_at_start,  ///< VL002: arguments read from the keyword's length on
  keyword_wrong_case,    ///< VL003: "program", "Memory" ... first on a line without keyword
  bad_number,            ///< VL004: a number taken as 0, and every later one too
  zero_size,             ///< VL005: a range that can hold nothing
  beyond_4g,             ///< VL006: a range that ends beyond 2^32
  search_never_matches,  ///< VL007: a SEARCH line that can match no section
  comment_not_cut,       ///< VL008: a "//" read as text
  unknown_line,          ///< VL009: no keyword, not blank, not a comment
  line_cut,              ///< VL010: a line longer than 511 characters
  no_range_lines,        ///< VL011: the report refuses the file
  text_after_numbers,    ///< VL012: a third number, or other text, after start and size
};

enum class finding_severity { error, warning, note };

struct finding_rule {
  std::string_view code;  ///< "VL001" ...
  finding_severity severity;
};

/// The lint rule of a kind of finding.
finding_rule rule_of(definition_finding_kind kind);

/// The word a severity is printed as: "error", "warning" or "note".
std::string_view severity_name(finding_severity severity);

/// Why a SEARCH line can match no section.
enum class search_problem {
  none,
  no_terms,         ///< nothing after the keyword: the line is dropped
  none_terms_only,  ///< only "!" terms: nothing is ever included
  empty_none_term,  ///< a lone "!": its empty term excludes every name
};

/// Where the finding's range lies against the other range of an overlap.
enum class overlap_relation {
  same_range,    ///< the same start and size
  holds_other,   ///< this range holds the other one whole
  inside_other,  ///< the other range holds this one whole
  partial,       ///< each has bytes the other lacks
};

/// What placement makes of the bytes two ranges share.
enum class overlap_placement {
  earlier_line_wins,     ///< two PROGRAM or two MEMORY ranges: the first in the file
  program_wins,          ///< PROGRAM against MEMORY: the PROGRAM range, wherever it stands
  counted_twice,         ///< two RESERVED ranges inside PROGRAM ranges: both count
  reserved_not_counted,  ///< RESERVED held by no PROGRAM range: it does not count
};

struct overlap_detail {
  std::size_t other_line = 0;
  line_kind other_kind = line_none;
  memory_range other_range;
  overlap_relation relation = overlap_relation::partial;
  overlap_placement placement = overlap_placement::earlier_line_wins;
  std::size_t winner_line = 0;  ///< whose range a section inside both goes to; 0: neither
};

struct definition_finding {
  definition_finding_kind kind = definition_finding_kind::unknown_line;
  std::size_t line = 0;           ///< 1-based; 0 for a finding about the whole file
  std::size_t column = 0;         ///< 1-based byte column; 0 for a finding about the whole file
  line_kind read_as = line_none;  ///< what the reader takes the line for
  /// The keyword that decided the line; for keyword_wrong_case the keyword
  /// the word resembles.
  std::string keyword;
  /// What was read, as it stands in the line: the argument text
  /// (keyword_not_at_start, search_never_matches), the number's word
  /// (bad_number), the word (keyword_wrong_case), the text from "//" on
  /// (comment_not_cut), the line (unknown_line, line_cut), the text after
  /// the size (text_after_numbers).
  std::string text;
  memory_range range;                        ///< start and size read from a range line
  std::size_t argument_column = 0;           ///< where the line's arguments are read from; 0: none
  std::size_t number_index = 0;              ///< bad_number: 0 the start, 1 the size
  number_state number = number_state::read;  ///< bad_number: why it counts as 0
  search_problem search = search_problem::none;
  overlap_detail overlap;  ///< for kind overlap
  std::string message;     ///< what the tool does with the line, for people
};

/// Where a line's keyword stands: 1-based line and column.
struct keyword_place {
  std::size_t line = 0;
  std::size_t column = 0;
};

struct definition_diagnosis {
  bool readable = false;  ///< false: the file cannot be opened (nothing else is set)
  std::size_t line_count = 0;
  std::vector<definition_finding> findings;  ///< by line and column; the whole-file one last
  /// The lines the reader takes ranges and SEARCH entries from, in the order
  /// of its lists (a SEARCH line without terms makes no entry and has none),
  /// so that a finding about the n-th range or entry can point at its line.
  std::vector<keyword_place> program_lines;
  std::vector<keyword_place> memory_lines;
  std::vector<keyword_place> search_lines;
};

/// Text of an input between double quotes for a message: at most limit
/// bytes ("..." after a longer one), control characters written as \t or
/// \xNN, quotes and backslashes escaped, so a message never carries them.
std::string quoted_text(std::string_view text, std::size_t limit = 60);

/// "0x" and upper-case hexadecimal digits, no leading zeros: 0x0, 0x1F00.
std::string hex_text(std::uint64_t value);

/// Findings about definition text held in memory, line by line as
/// c_memory_def::read reads the same bytes from a file.
definition_diagnosis diagnose_memory_def_text(std::string_view text);

/// Findings about the definition file of that name, or about the text the
/// source holds in memory.
definition_diagnosis diagnose_memory_def_file(const input_source& source);
