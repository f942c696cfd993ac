// Shared pieces of the fuzz targets: a per-process scratch folder for the
// files the readers need, the checks that hold for any input on the section
// lists the readers hand to the report, and small reference models (plain
// loops and std::regex, written from the file formats) to compare with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "mapfile/section_list.h"
#include "mapfile/section_name_pool.h"
#include "mapfile/section_record.h"
#include "memdef/c_memory_def.h"

namespace fuzz_support {

/// Prints what failed and where, then aborts, so libFuzzer keeps the input.
[[noreturn]] void fail(const char* file, int line, const std::string& what);

#define FUZZ_CHECK(condition)                               \
  do {                                                      \
    if (!(condition)) {                                     \
      ::fuzz_support::fail(__FILE__, __LINE__, #condition); \
    }                                                       \
  } while (false)

/// A folder of this process below the temporary folder, created on first use
/// and removed when the process ends. libFuzzer runs every input in the same
/// process, so the same file names are written again for each input.
const std::string& scratch_dir();

/// Writes the bytes to scratch_dir()/name (binary) and returns the path.
std::string write_scratch(const std::string& name, std::string_view bytes);

/// The whole file, or empty when it cannot be read.
std::string read_whole_file(const std::string& path);

/// The names of the entries of scratch_dir(), sorted.
std::vector<std::string> scratch_entries();

/// Removes scratch_dir()/name when it exists.
void remove_scratch(const std::string& name);

/// The lines of a text file: a line ends at a line feed, one carriage return
/// right before the line feed is dropped, a line keeps at most max_length characters
/// (the rest of that physical line is dropped), and a NUL ends its text.
/// Bytes after the last line feed form one more line; a file that ends with
/// a line feed has no empty line after it.
struct text_line {
  std::string text;
  bool terminated = true;  ///< ended by a line feed
};
std::vector<text_line> split_lines(std::string_view bytes, std::size_t max_length);

/// A hexadecimal number as the C library's strtoull reads it from pos:
/// white space, an optional sign, an optional 0x prefix, digits.
struct c_hex_number {
  bool has_digits = false;
  bool negative = false;
  bool beyond_32_bits = false;
  std::uint32_t magnitude = 0;  ///< when it fits in 32 bits
  std::size_t end = 0;          ///< position after the number (pos when none)
};
c_hex_number read_c_hex(const std::string& text, std::size_t pos);

/// Whether a range holds a record: exact containment, no wrap at 2^32, and a
/// record of size 0 lies in no range.
bool range_holds(const memory_range& range, const section_record& record);

/// Index of the first range that holds the record, or -1.
int first_holding_range(const std::vector<memory_range>& ranges, const section_record& record);

/// The invariants of the two lists a reader hands to the report: ascending
/// start order; every record in the first range of its kind that holds it
/// (program records in program ranges, memory records in memory ranges and
/// in no program range); no record of size 0; and the per-range usage of the
/// report adding up to the program bytes.
void check_section_lists(const c_memory_def& definition, const section_list& program_sections,
                         const section_list& memory_sections);

/// A copy of the records of a list, in list order.
std::vector<section_record> to_vector(const section_list& list);

/// Whether two records are equal in every field.
bool same_record(const section_record& a, const section_record& b);

/// Places records as the readers must: first program range that holds a
/// record, else first memory range, else dropped; each list in ascending
/// start order with the newest record first among equal starts.
struct placed_lists {
  std::vector<section_record> program;
  std::vector<section_record> memory;
};
void reference_place(const c_memory_def& definition, section_record record, placed_lists& lists,
                     bool program_only = false);

/// Asserts that the reader's lists equal the reference lists.
void check_same_lists(const placed_lists& expected, const section_list& program_sections,
                      const section_list& memory_sections);

/// The definition that the single-reader targets place records with:
/// overlapping program ranges, ranges at both ends of the 26-bit and of the
/// 32-bit address space, an empty range, memory ranges that overlap program
/// ranges, and reserved ranges inside and outside the program ranges.
c_memory_def reader_definition();

/// Longest line that the std::regex references are given: the library's
/// matcher recurses once per character.
constexpr std::size_t k_regex_line_limit = 256;

/// The elxr reading algorithm over std::regex: section line (whole-line
/// match), the next non-empty line as its attribute line, the drop rules,
/// the address mask, and for the Pux4 family the rewrite of ".data" and the
/// "stack" record from the two symbol lines. Returns false when some line
/// is too long for the reference; then nothing is compared. The records'
/// names are made in names.
struct elxr_reference {
  std::regex section_pattern;
  std::uint32_t mask = 0x03FFFFFF;
  bool pux4 = false;
};
/// The section-line pattern texts, built from the file formats.
std::string named_section_regex(const std::vector<std::string>& names);
std::string mem32_section_regex();

bool reference_elxr_records(const elxr_reference& reference, std::string_view bytes,
                            std::vector<section_record>& records, section_name_pool& names);

/// The 40 names of the Tev2 reader, the 26 of Orm8 and the 21 of Pux4, as
/// the file formats list them (kept here apart from the readers' own lists).
const std::vector<std::string>& tev2_names();
const std::vector<std::string>& orm8_names();
const std::vector<std::string>& pux4_names();

/// Splits the input of a whole run at "\n@@@@\n" into the definition file,
/// the map file and the EEPROM source; missing parts are empty.
void split_run_inputs(std::string_view rest, std::string_view (&parts)[3]);

}  // namespace fuzz_support
