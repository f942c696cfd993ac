// What a linked ELF image adds to an analysis: its allocated sections read as a map reader
// reads a listing, and its symbols attributed to the sections a range counted. Every byte of a
// counted section belongs to one symbol or to none; both sums are kept per section, range and
// SEARCH group, so that symbol bytes and unattributed bytes add up to the section's size at
// every level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "elf/elf_image.h"
#include "mapfile/section_fate.h"
#include "mapfile/section_list.h"
#include "mapfile/section_name_pool.h"
#include "memdef/c_memory_def.h"

enum class symbol_kind : std::uint8_t { function, object, tls, other };
enum class symbol_binding : std::uint8_t { global, weak, local };

/// "function", "object", "tls", "other".
std::string_view symbol_kind_keyword(symbol_kind kind);
/// "global", "weak", "local".
std::string_view symbol_binding_keyword(symbol_binding binding);

/// One symbol of the image inside a counted section; aliases (the same section, address and
/// size) are one symbol.
struct symbol_record {
  std::string name;     ///< as the symbol table holds it
  std::string display;  ///< demangled for a C++ name, else the name
  /// The same across builds when only the compiler's numbering changes: clone suffixes and the
  /// counters of function-local statics stripped; a local's key starts with its file and ":".
  std::string key;
  symbol_kind kind = symbol_kind::other;
  symbol_binding binding = symbol_binding::global;
  std::string file;           ///< the source file a local symbol belongs to; empty for the others
  std::size_t section = 0;    ///< index into memory_analysis::fates
  std::uint64_t address = 0;  ///< run address (an ARM Thumb function's bit 0 cleared)
  std::uint64_t size = 0;     ///< as the symbol table gives it
  /// The bytes of the section given to this symbol: its size within the section, less what a
  /// symbol before it already holds. The bytes of a section's symbols add up to its attributed
  /// bytes.
  std::uint64_t bytes = 0;
  std::vector<std::string> aliases;  ///< the other names of the same bytes, in table order
};

/// What became of an image a run read, and of its symbols.
struct image_account {
  bool given = false;   ///< the run read an image, as the map or beside the listing
  bool as_map = false;  ///< the image is the map: its sections are the recognised ones
  std::string path;
  std::uint16_t machine = 0;  ///< e_machine
  /// Counted sections whose image section was found, and the fates index of each counted
  /// section of a listing that the image lacks (by name and address).
  std::size_t matched_sections = 0;
  std::vector<std::size_t> unmatched_sections;
  /// Symbols whose bytes a symbol before them already holds, and those bytes.
  std::size_t overlapping_symbols = 0;
  std::uint64_t overlap_bytes = 0;
  /// Symbols that reach beyond the end of their section (or start before it): cut there.
  std::size_t cut_symbols = 0;

  /// A listing's image that holds not one of its counted sections: not this listing's image.
  bool foreign() const {
    return given && !as_map && matched_sections == 0 && !unmatched_sections.empty();
  }
};

/// Reads the allocated sections of an image as a listing's sections, in section-header order
/// (the index is the record's map line): each placed by the definition's ranges, with its load
/// address and whether it has contents. A section that is not allocated is dropped as
/// not_allocated; one whose address or end lies beyond 32 bits as outside_ranges, marked wide
/// and read as 0. Returns whether any section fell into a range.
bool read_image_sections(const elf_image& image, const c_memory_def& definition,
                         const std::shared_ptr<section_name_pool>& names,
                         section_list& program_sections, section_list& memory_sections,
                         reading_account* account);

/// The key of a symbol name: clone suffixes (.isra.N, .part.N, .constprop.N, .cold, .cold.N,
/// .lto_priv.N, .llvm.N) stripped, and for a local object its counter (.N) as well; a local's
/// key starts with its file and ":".
std::string symbol_key(std::string_view name, symbol_binding binding, std::string_view file,
                       bool strip_counter);

/// The name for display: a C++ name demangled, any other as it is.
std::string demangled_name(std::string_view name);

/// The image section that holds each fate's bytes: by index for the image's own sections (the
/// fate's map line), by name (without its leading punctuation, which the listings' readers
/// drop) and address for a listing's; -1 for none.
std::vector<std::int64_t> image_sections_of(const elf_image& image,
                                            const std::vector<section_fate_record>& fates,
                                            bool as_map);

/// The symbols of the image in the counted sections, in section order and by address within
/// one, each with the bytes it holds; sets each counted fate's attributed bytes and its symbols'
/// place, and the account's overlap and cut counts.
std::vector<symbol_record> attribute_symbols(const elf_image& image,
                                             std::vector<section_fate_record>& fates,
                                             const std::vector<std::int64_t>& image_section_of,
                                             image_account& account);
