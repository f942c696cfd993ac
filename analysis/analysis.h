// One analysis of a linked image: the memory definition, the sections the
// map reader placed into its ranges, the sums per range and per area, the
// SEARCH breakdown and the EEPROM values, or the failure that stopped it.
// Every face (the console report, the result file, the companion's formats)
// prints this one result; none computes a number of its own.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/image_symbols.h"
#include "analysis/search_accounting.h"
#include "mapfile/c_eep_file.h"
#include "mapfile/c_map_file.h"
#include "mapfile/c_map_file_elxr.h"
#include "mapfile/section_list.h"
#include "mapfile/section_name_pool.h"
#include "memdef/c_memory_def.h"

/// The sums the console report prints, in its own 32-bit arithmetic that
/// wraps; the exact sums are kept beside them in the analysis.
struct memory_totals {
  std::uint32_t memory_bytes = 0;  ///< memory records counted in bytes
  std::uint32_t bit_count = 0;     ///< memory records counted in bits
  double memory_floating_sum = 0;  ///< bits as eighths of a byte
  std::uint32_t program_bytes = 0;
  double program_floating_sum = 0;
  std::vector<std::uint32_t> seg_used;  ///< per program range
  std::uint32_t memory_total = 0;
  std::uint32_t program_total = 0;
  std::size_t memory_records = 0;
  std::size_t program_records = 0;

  double memory_used() const { return bit_count * 0.125 + memory_bytes; }
  /// Bits rounded to whole bytes, half a byte rounding up.
  std::uint32_t memory_used_rounded() const { return ((bit_count + 4) >> 3) + memory_bytes; }
};

/// One PROGRAM or MEMORY range and what was counted in it, exactly.
struct range_usage {
  memory_range range;
  std::uint64_t used_bytes = 0;  ///< sections whose size counts bytes
  std::uint64_t used_bits = 0;   ///< sections whose size counts bits
  std::size_t section_count = 0;
  std::size_t definition_line = 0;  ///< 1-based line of the range in the definition file
  /// The text of a "//" comment on the range's line, trimmed; none without one.
  std::optional<std::string> label;

  /// Bytes and bits together, bits rounded to whole bytes as the report does.
  std::uint64_t used_rounded() const { return used_bytes + ((used_bits + 4) >> 3); }
  /// Size less what is used: below 0 for an overfull range.
  std::int64_t free() const {
    return static_cast<std::int64_t>(range.size) - static_cast<std::int64_t>(used_rounded());
  }
  /// Used bytes in percent of the size; none for a range of size 0.
  std::optional<double> used_pct() const;

  /// Sections with contents counted elsewhere (their run address lies in
  /// another range or none) whose load address lies in this range: the
  /// initial values a start-up copies out. Not part of used_rounded().
  std::size_t load_copy_sections = 0;
  std::uint64_t load_copy_bytes = 0;
  /// What the image takes of the range: used bytes and load copies, the
  /// figure a linker prints for its memory region.
  std::uint64_t footprint() const { return used_rounded() + load_copy_bytes; }

  /// With an image's symbols: the bytes of the range's sections that symbols hold; the rest of
  /// used_rounded() is unattributed.
  std::uint64_t attributed_bytes = 0;
  std::uint64_t unattributed_bytes() const { return used_rounded() - attributed_bytes; }
};

/// Sections and bytes of one kind of fate.
struct fate_sum {
  std::size_t sections = 0;
  std::uint64_t bytes = 0;  ///< sizes as the sections give them (bits for bit-sized ones)
};

/// The number of fates there are, for tables by fate.
constexpr std::size_t k_fate_count = static_cast<std::size_t>(section_fate::not_allocated) + 1;

/// The step of the console program that a failure ends: its exit code.
enum class analysis_step {
  none,           ///< no failure
  memory_report,  ///< the memory report could not be made
  eep_report,     ///< the EEP size report could not be made
};

struct analysis_failure {
  analysis_step step = analysis_step::none;
  /// The message lines, as the console prints them, without line ends.
  std::vector<std::string> messages;
  /// For an image that could not be read: why, in one line without the file's name.
  std::string image_error;

  bool failed() const { return step != analysis_step::none; }
};

/// What a map file looks like, judged when no line of it has the keyword's
/// section-line shape and no listing header stands in it either.
enum class map_form {
  listing,      ///< a listing of the keyword's shape, perhaps an empty one
  elf_file,     ///< starts with the ELF magic: the image itself
  linker_map,   ///< a GNU ld map ("Memory Configuration", "Linker script and memory map")
  binary_file,  ///< NUL bytes in its first block: no text at all
  no_listing,   ///< a text without any section line
};

/// What one analysis is asked to read.
struct analysis_request {
  std::string type_keyword;
  std::string definition_path;
  std::string map_path;
  std::string eeprom_path;  ///< empty: no EEPROM source
  /// When set, the input's bytes held by the caller, read instead of the file
  /// at its path (which then only names it). A text must stay valid until
  /// the analysis returns; the result keeps nothing of it.
  std::optional<std::string_view> definition_text;
  std::optional<std::string_view> map_text;
  std::optional<std::string_view> eeprom_text;
  /// Whether the keyword "Elf" is taken: the map is then a linked ELF image.
  bool image_keywords = false;
  /// A linked ELF image beside a listing, whose symbols are attributed to the listing's counted
  /// sections; empty: none. With "Elf" the map itself is the image.
  std::string image_path;
  std::optional<std::string_view> image_text;
  /// Whether the analysis keeps every fate in memory_analysis::fates, with
  /// what the listing said of each section, the lines it cut, the load
  /// copies and the form of a map without any section line.
  bool collect_fates = false;
  /// How an elxr listing is cut into stretches read on several threads.
  c_map_file_elxr::stretch_settings stretching;
};

/// The memory side of an analysis.
struct memory_analysis {
  /// The texts of the sections' names; kept first, so it goes last.
  std::shared_ptr<section_name_pool> names;
  analysis_failure failure;
  /// False when the map held no section in any range: the console report then
  /// prints nothing and still succeeds.
  bool has_sections = false;

  c_memory_def definition;
  /// Every SEARCH entry, with its total as the breakdown counted it.
  search_list searches;
  /// The placed sections, in report order (ascending start, newest first
  /// among equal starts).
  section_list program_sections;
  section_list memory_sections;

  std::vector<range_usage> program_usage;  ///< per program range
  std::vector<range_usage> memory_usage;   ///< per memory range
  std::uint64_t program_total = 0;         ///< sizes of the program ranges, exactly
  std::uint64_t memory_total = 0;          ///< sizes of the memory ranges, exactly
  std::uint64_t program_used = 0;          ///< bytes of the program sections, exactly
  std::uint64_t memory_used_bytes = 0;     ///< memory sections counted in bytes
  std::uint64_t memory_used_bits = 0;      ///< memory sections counted in bits
  /// The load copies of every program range together.
  std::size_t program_load_copy_sections = 0;
  std::uint64_t program_load_copy_bytes = 0;

  memory_totals totals;  ///< the console report's sums
  search_breakdown breakdown;

  /// Every recognised section in map order, made-up ones last; filled only
  /// when the request asks for it, like the sums by fate.
  std::vector<section_fate_record> fates;
  std::array<fate_sum, k_fate_count> by_fate{};
  /// The map lines longer than the reader takes, cut there (with fates only).
  std::vector<std::uint64_t> cut_map_lines;
  /// What the map looks like: anything but listing means that not one line
  /// of it has the keyword's section-line shape. Without fates only an ELF
  /// file, a GNU ld map or a file that is no text is told, and only when no
  /// section fell into a range.
  map_form form = map_form::listing;

  /// The image the run read (as the map or beside the listing) and its symbols inside the
  /// counted sections, by section and address (with fates only).
  image_account image;
  std::vector<symbol_record> symbols;
  /// The bytes of the program and memory sections that symbols hold.
  std::uint64_t program_attributed = 0;
  std::uint64_t memory_attributed = 0;
  /// The rest of the program and memory bytes (an image has no sections counted in bits).
  std::uint64_t program_unattributed() const { return program_used - program_attributed; }
  std::uint64_t memory_unattributed() const { return memory_used_bytes - memory_attributed; }
  /// The range that holds a symbol's section (nullptr for none), and the symbol's bytes in
  /// percent of that range's used bytes; none when there is no range or it uses no byte.
  const range_usage* range_of(const symbol_record& symbol) const;
  std::optional<double> share_of_range(const symbol_record& symbol) const;

  /// The sums by fate of every dropped section.
  fate_sum dropped() const;
  /// The sums by fate of every section a range counted.
  fate_sum counted() const;
  /// Every recognised section: counted() and dropped() together.
  fate_sum recognised() const;
  /// Program bytes in percent of the program total; none when it is 0.
  std::optional<double> program_used_pct() const;
  /// Program bytes with the load copies in the program ranges.
  std::uint64_t program_footprint() const { return program_used + program_load_copy_bytes; }
  /// Memory bytes, bits rounded to whole bytes, in percent of the memory
  /// total, as the console report takes it; none when the total is 0.
  std::optional<double> memory_used_pct() const;
  /// Memory bytes with bits as eighths of a byte.
  double memory_used() const {
    return static_cast<double>(memory_used_bytes) + memory_used_bits * 0.125;
  }
  /// Bytes per section; none without sections.
  std::optional<double> program_average() const;
  std::optional<double> memory_average() const;
};

/// The EEPROM side of an analysis.
struct eep_analysis {
  analysis_failure failure;
  eep_sizes sizes;
};

/// The report's EEPROM amounts, in unsigned 32-bit arithmetic that wraps.
/// Triple values count three times in every amount, but not inside the
/// triple percentage.
struct eep_totals {
  std::uint32_t overall_total = 0;
  std::uint32_t overall_used = 0;
  std::uint32_t overall_free = 0;
  std::uint32_t once_total = 0;
  std::uint32_t triple_total = 0;
  std::uint32_t triple_used = 0;
  std::uint32_t triple_free = 0;
};

eep_totals compute_eep_totals(const eep_sizes& sizes);

/// The same amounts, and the once block's, summed exactly: the machine-readable
/// reports give these, the console report keeps its wrapping ones.
struct eep_totals_exact {
  std::uint64_t overall_total = 0;
  std::uint64_t overall_used = 0;
  std::uint64_t overall_free = 0;
  std::uint64_t once_total = 0;
  std::uint64_t once_used = 0;
  std::uint64_t once_free = 0;
  std::uint64_t triple_total = 0;
  std::uint64_t triple_used = 0;
  std::uint64_t triple_free = 0;
};

eep_totals_exact compute_eep_totals_exact(const eep_sizes& sizes);

struct analysis_result {
  memory_analysis memory;
  /// Read only when the request names an EEPROM source and the memory side
  /// did not fail.
  bool has_eep = false;
  eep_analysis eep;

  /// The first failure of the run, or none.
  const analysis_failure& failure() const {
    return memory.failure.failed() ? memory.failure : eep.failure;
  }
};

/// The keyword whose map is a linked ELF image.
constexpr std::string_view k_image_keyword = "Elf";

/// Every type keyword: the listing readers' (those make_map_reader knows), then the image's.
constexpr std::string_view k_type_keywords[] = {"Orm6", "Tev2", "Tev2_mem32_unlimited",
                                                "Orm8", "Pux4", k_image_keyword};

/// The reader for a type keyword ("Orm6", "Tev2", "Tev2_mem32_unlimited",
/// "Orm8", "Pux4"), or nullptr for any other text (also for "Elf", which no listing reader
/// reads).
std::unique_ptr<c_map_file> make_map_reader(const std::string& type_keyword,
                                            const input_source& map_file);

/// Sums both lists the way the console report does (search accounting aside).
memory_totals compute_totals(const c_memory_def& definition, const section_list& program_sections,
                             const section_list& memory_sections);

/// Reads the definition and the map and sums and accounts what was placed.
memory_analysis analyse_memory(const analysis_request& request);

/// What the map looks like, by its first bytes and its headings.
map_form sniff_map_form(const input_source& map);

/// The words for a map form, as a refusal gives them: "an ELF file" ...
std::string_view map_form_text(map_form form);

/// Reads the EEPROM project source.
eep_analysis analyse_eep(const input_source& eeprom_source);

/// The memory side, then, when the request names one and nothing failed, the
/// EEPROM side.
analysis_result analyse(const analysis_request& request);
