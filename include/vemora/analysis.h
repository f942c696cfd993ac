// The result of one analysis: the ranges of the memory definition and what
// they hold, the sums of the program and memory areas, every section and what
// became of it, the SEARCH breakdown, the EEPROM figures and, with a linked
// image, its symbols and the bytes they hold, or the failure that stopped the
// run. analyse() computes everything once; an analysis only hands out copies
// of its figures and is safe to share between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vemora/request.h"

namespace vemora {

/// The version of the library and the programs, e.g. "2.9.0".
std::string_view version();

enum class range_kind { program, memory };

enum class size_unit { bytes, bits };

/// Counted in a range, or the first reason why not that applies, in this order.
enum class section_fate {
  counted_program,
  counted_memory,
  no_attribute_line,    ///< a section line on which the listing ends
  debug_name,           ///< a name holding "debug"
  debugging_attribute,  ///< an attribute line holding "DEBUGGING"
  excluded_name,        ///< heap, linfix, gstackfix, note.renesas
  zero_size,
  straddles_range,    ///< overlaps a program or memory range without lying inside one
  outside_ranges,     ///< in no program or memory range
  name_not_accepted,  ///< a line of a section line's shape whose name the format does not take
  not_allocated,      ///< a section of an ELF image without SHF_ALLOC: it takes no memory
};

/// The word the reports print for a fate: "program", "memory", or the
/// reason as named above ("debug_name" ...).
std::string_view keyword(section_fate fate);
/// Whether a fate is counted_program or counted_memory.
bool is_counted(section_fate fate);

/// The step of the console program that a failure ends.
enum class failed_step {
  none,           ///< no failure
  memory_report,  ///< the memory report could not be made (vemora exits -3)
  eep_report,     ///< the EEP size report could not be made (vemora exits -4)
  /// The map is no section listing of the format at all (an ELF file, a GNU
  /// ld map, a file that is no text): the console program would print an
  /// empty report, which a gate must not take for a build without sections.
  map_not_listing,
  /// The linked ELF image (request::elf, or the map with map_format::elf)
  /// could not be read, or was given twice: messages holds one line, the
  /// image's name and the reason.
  image_not_read,
};

struct run_failure {
  failed_step step = failed_step::none;
  /// The messages as the console program prints them, without line ends.
  std::vector<std::string> messages;
  /// For image_not_read: the name of the image input and why it was not read
  /// (without the name); empty for the other steps.
  std::string input;
  std::string reason;
};

/// One PROGRAM or MEMORY range of the definition and what it holds. Sums are
/// exact (64 bits, no wrap).
struct range {
  range_kind kind = range_kind::program;
  std::size_t index = 0;  ///< among the ranges of its kind, in definition order
  std::string id;         ///< "program0", "memory1" ... as every report names it
  std::uint32_t start = 0;
  std::uint32_t size = 0;
  std::optional<std::string> label;  ///< the "//" comment on its line, trimmed
  std::size_t definition_line = 0;   ///< 1-based
  std::uint64_t used_bytes = 0;      ///< sections sized in bytes
  std::uint64_t used_bits = 0;       ///< sections sized in bits
  std::uint64_t used = 0;            ///< bytes and bits, bits rounded to whole bytes
  std::int64_t free = 0;             ///< size less used; below 0 when overfull
  std::optional<double> used_pct;    ///< used in percent of size; none for size 0
  std::size_t sections = 0;
  /// With an image: the bytes of the range's sections that symbols hold, and
  /// the rest of used; none when the analysis read no image.
  std::optional<std::uint64_t> attributed;
  std::optional<std::uint64_t> unattributed;
};

/// The sums of all program or all memory ranges.
struct area {
  std::uint64_t total = 0;       ///< the ranges' sizes
  std::uint64_t used_bytes = 0;  ///< sections sized in bytes
  std::uint64_t used_bits = 0;   ///< sections sized in bits
  double used = 0;               ///< bytes, with bits as eighths of a byte
  std::optional<double> used_pct;
  std::size_t sections = 0;
  std::optional<double> average;  ///< bytes per section; none without sections
};

/// One recognised section of the map.
struct section {
  std::string name;
  std::uint32_t start = 0;
  std::uint32_t size = 0;
  size_unit unit = size_unit::bytes;
  std::uint64_t map_line = 0;  ///< 1-based; 0 for a section the reader made up
  section_fate fate = section_fate::outside_ranges;
  /// The range of the fate's kind that counted it; none when dropped.
  std::optional<std::size_t> range_index;
  /// The SEARCH entry that counted a program section's bytes.
  std::optional<std::size_t> search_entry;
  /// For a counted section of an analysis that read an image: the bytes its
  /// symbols hold, and the rest of its size; none otherwise.
  std::optional<std::uint32_t> attributed;
  std::optional<std::uint32_t> unattributed;
};

enum class symbol_kind { function, object, tls, other };
enum class symbol_binding { global, weak, local };

/// The words the reports print: "function", "object", "tls", "other".
std::string_view keyword(symbol_kind kind);
/// "global", "weak", "local".
std::string_view keyword(symbol_binding binding);

/// One symbol of the image inside a counted section. Aliases (the same
/// section, address and size) are one symbol.
struct symbol {
  std::string name;     ///< as the symbol table holds it
  std::string display;  ///< a C++ name demangled, else the name
  /// The same across builds when only the compiler's numbering changes (clone
  /// suffixes and the counters of function-local statics stripped); a local
  /// symbol's key starts with its file and ":".
  std::string key;
  symbol_kind kind = symbol_kind::other;
  symbol_binding binding = symbol_binding::global;
  std::string file;           ///< the source file of a local symbol; empty for the others
  std::size_t section = 0;    ///< index into analysis::sections()
  std::uint64_t address = 0;  ///< run address (an ARM Thumb function's bit 0 cleared)
  std::uint64_t size = 0;     ///< as the symbol table gives it
  /// The bytes of the section this symbol holds: its size within the section,
  /// less what a symbol before it already holds. A section's symbols' bytes
  /// add up to its attributed bytes.
  std::uint64_t bytes = 0;
  std::vector<std::string> aliases;  ///< the other names of the same bytes, in table order
};

/// What became of the image an analysis read, and of its symbols.
struct image_account {
  bool as_map = false;        ///< map_format::elf: the image is the map
  std::string path;           ///< the image input's name
  std::uint16_t machine = 0;  ///< e_machine (40 for ARM)
  /// The counted sections whose section the image holds, and the index into
  /// analysis::sections() of each counted section of a listing it lacks.
  std::size_t matched_sections = 0;
  std::vector<std::size_t> unmatched_sections;
  /// Symbols whose bytes a symbol before them already holds, and those bytes.
  std::size_t overlapping_symbols = 0;
  std::uint64_t overlap_bytes = 0;
  /// Symbols that reach beyond their section (or start before it), cut there.
  std::size_t cut_symbols = 0;
  /// Not one counted section of the listing is in the image: it is not the
  /// listing's image, and no symbol is attributed.
  bool foreign = false;
};

/// Sections and their sizes (as the sections give them) of one fate.
struct fate_total {
  section_fate fate = section_fate::outside_ranges;
  std::size_t sections = 0;
  std::uint64_t size = 0;
};

/// One SEARCH entry of the definition and the program bytes it counted.
struct search_entry {
  std::string text;  ///< as the console report prints it
  std::uint64_t bytes = 0;
  std::size_t sections = 0;
  /// With an image: the bytes of the entry's sections that symbols hold, and
  /// the rest; none when the analysis read no image.
  std::optional<std::uint64_t> attributed;
  std::optional<std::uint64_t> unattributed;
};

/// A section name that a later SEARCH entry matched again: counted once only.
struct ambiguous_match {
  std::string name;
  std::uint32_t size = 0;
  std::size_t entry = 0;       ///< the entry that matched again
  std::size_t claimed_by = 0;  ///< the entry that counted it
};

struct search_breakdown {
  std::vector<search_entry> entries;
  std::uint64_t accounted = 0;  ///< bytes the entries counted
  std::vector<ambiguous_match> ambiguous;
  std::uint64_t ambiguous_bytes = 0;
};

/// The EEPROM project source's four values and what follows from them;
/// triple-stored values count three times in every sum.
struct eeprom_usage {
  std::uint32_t once_data_size = 0;
  std::uint32_t once_data_free = 0;
  std::uint32_t triple_data_size = 0;
  std::uint32_t triple_data_free = 0;
  std::uint64_t once_total = 0;
  std::uint64_t triple_total = 0;
  std::uint64_t triple_used = 0;
  std::uint64_t triple_free = 0;
  std::uint64_t overall_total = 0;
  std::uint64_t overall_used = 0;
  std::uint64_t overall_free = 0;
};

namespace detail {
struct analysis_state;
}

/// One analysis, made only by analyse(). Copies share the same result, which
/// never changes: reading it from several threads at once is safe.
class analysis {
 public:
  /// True when nothing failed (a map with no section in any range is no failure).
  bool ok() const;
  /// The failure that stopped the run; step none when it did not fail.
  run_failure failure() const;
  /// False when the map held no section in any range: the console report
  /// then prints nothing.
  bool has_sections() const;

  map_format format() const;
  const std::string& definition_name() const;
  const std::string& map_name() const;
  /// The EEPROM source's name; empty when the request named none.
  const std::string& eeprom_name() const;

  /// The ranges of one kind, in definition order; none after a failure.
  std::vector<range> ranges(range_kind kind) const;
  /// The sums of one area.
  area totals(range_kind kind) const;

  /// Every recognised section in map order, made-up ones last; empty unless
  /// the request kept the sections or read an image.
  std::vector<section> sections() const;
  /// Sections and sizes by fate, for every fate in the order of the enum;
  /// zero unless the request kept the sections or read an image.
  std::vector<fate_total> fates() const;

  /// The SEARCH breakdown; empty without SEARCH entries.
  search_breakdown searches() const;

  /// The account of the image the analysis read (the map with
  /// map_format::elf, or request::elf); none when it read none.
  std::optional<image_account> image() const;
  /// The image's symbols in the counted sections, by section and address
  /// within one; empty without an image.
  std::vector<symbol> symbols() const;

  /// The EEPROM figures; none when the request named no EEPROM source, the
  /// memory side failed, or the source could not be read.
  std::optional<eeprom_usage> eeprom() const;

 private:
  friend analysis analyse(const request& what);
  friend struct detail::analysis_state;
  explicit analysis(std::shared_ptr<const detail::analysis_state> state)
      : m_state(std::move(state)) {}
  std::shared_ptr<const detail::analysis_state> m_state;  ///< never null
};

/// Reads the inputs and analyses them. Never throws for bad input: a missing
/// file or an input the format cannot read is a failure of the analysis.
/// No process-wide state: analyses may run on several threads at once.
analysis analyse(const request& what);

}  // namespace vemora
