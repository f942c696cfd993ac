// A map file of the GNU linker (ld -Map) read from its text: the memory regions, the archive
// members pulled in and why, the discarded input sections summed per file, and every output
// section with its input sections, fill, COMMON blocks, data statements and the symbols ld
// lists under each input section. Lines are taken by their layout, never by guessing: a line
// that fits no layout of its part of the map refuses the whole text with its 1-based number.
// Numbers are hexadecimal of at most 64 bits; the reading is one pass over the lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// One region of the "Memory Configuration" table (*default* is left out).
struct gnu_ld_memory_region {
  std::string name;
  std::uint64_t origin = 0;
  std::uint64_t length = 0;
  std::string attributes;  ///< as written, e.g. "xr" or "rw !x"; empty when none
};

/// Where an input section comes from: an object file, or a member of an archive.
struct gnu_ld_origin {
  std::string file;    ///< the object's or the archive's path; "(lto)" for an LTO partition
  std::string member;  ///< the member of the archive; empty for an object file

  bool operator==(const gnu_ld_origin& other) const {
    return file == other.file && member == other.member;
  }
};

/// One entry of "Archive member included to satisfy reference by file (symbol)".
struct gnu_ld_archive_member {
  gnu_ld_origin member;  ///< the archive and the member it names
  /// The file whose reference pulled the member in; empty when the reference came from the
  /// command line (-u) or the linker script.
  gnu_ld_origin referenced_by;
  std::string symbol;
};

/// The discarded input sections of one file, summed.
struct gnu_ld_discarded {
  gnu_ld_origin origin;
  std::uint64_t sections = 0;
  std::uint64_t bytes = 0;
};

enum class gnu_ld_input_kind : std::uint8_t {
  section,  ///< an input section of a file
  fill,     ///< *fill*: padding the linker put in
  common,   ///< COMMON: the common symbols of a file
  data,     ///< BYTE, SHORT, LONG, QUAD, SQUAD or FILL of the linker script
};

/// A symbol ld lists under its input section. Its size reaches to the next symbol at a higher
/// address of the same input section, or to the end of that section.
struct gnu_ld_symbol {
  std::uint64_t address = 0;
  std::uint64_t size = 0;
  std::string name;
};

struct gnu_ld_input_section {
  gnu_ld_input_kind kind = gnu_ld_input_kind::section;
  /// The input section's name; "*fill*", "COMMON", or the data keyword ("LONG", "FILL", ...).
  std::string name;
  std::uint64_t address = 0;
  /// The bytes it takes in the output section (after relaxing). A FILL statement sets the
  /// pattern of later padding and takes none; its address is where the previous entry ended.
  std::uint64_t size = 0;
  gnu_ld_origin origin;  ///< empty for fill and data
  /// The fill pattern in hexadecimal as written ("00000000"), or the data statement's value
  /// expression; empty when the map gives none.
  std::string value;
  std::vector<gnu_ld_symbol> symbols;
};

struct gnu_ld_output_section {
  std::string name;
  std::uint64_t address = 0;
  std::uint64_t size = 0;
  std::uint64_t load_address = 0;  ///< from " load address 0x..."; the address when absent
  std::vector<gnu_ld_input_section> inputs;
};

/// An output section whose entries do not add up to its size (ld merges some sections, e.g.
/// .comment and .ARM.attributes, after listing their inputs).
struct gnu_ld_size_mismatch {
  std::size_t index = 0;  ///< of the section in gnu_ld_map::output_sections
  std::string section;
  std::uint64_t size = 0;     ///< the output section's size
  std::uint64_t counted = 0;  ///< the sum of its entries' sizes (saturated at 2^64 - 1)
};

struct gnu_ld_map {
  std::vector<gnu_ld_memory_region> memory_regions;
  std::vector<gnu_ld_archive_member> archive_members;
  std::vector<gnu_ld_discarded> discarded;  ///< in the order each file first appears
  /// Every output section that has an address, in map order.
  std::vector<gnu_ld_output_section> output_sections;
  /// One per output section whose entries do not sum to its size; the others' do.
  std::vector<gnu_ld_size_mismatch> size_mismatches;
};

/// The map, or why it was refused: the 1-based line that fits no layout (the line after the
/// last when the text ends without the linker script part) and what did not fit.
struct gnu_ld_map_result {
  bool ok = false;
  std::size_t line = 0;
  std::string error;
  gnu_ld_map map;
};

/// Reads the text of a map file written by GNU ld. Never throws for any text.
gnu_ld_map_result read_gnu_ld_map(std::string_view text);
