// A linked ELF image read whole into memory and checked field by field: its header, section
// and program headers, the symbols of one symbol table and the load address of each section as
// binutils computes it. Every offset, size and count is checked against the file before use,
// so a truncated or hostile file is refused with its reason instead of being read past its end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/input_source.h"

enum class elf_class : std::uint8_t { elf32 = 1, elf64 = 2 };
enum class elf_data : std::uint8_t { little_endian = 1, big_endian = 2 };

/// The values of the format that a reader of an image needs by name.
namespace elf_value {
constexpr std::uint32_t k_sht_null = 0;
constexpr std::uint32_t k_sht_symtab = 2;
constexpr std::uint32_t k_sht_strtab = 3;
constexpr std::uint32_t k_sht_nobits = 8;
constexpr std::uint32_t k_sht_dynsym = 11;
constexpr std::uint32_t k_sht_symtab_shndx = 18;

constexpr std::uint64_t k_shf_write = 0x1;
constexpr std::uint64_t k_shf_alloc = 0x2;
constexpr std::uint64_t k_shf_execinstr = 0x4;
constexpr std::uint64_t k_shf_tls = 0x400;

constexpr std::uint32_t k_pt_load = 1;
constexpr std::uint32_t k_pt_tls = 7;

constexpr std::uint32_t k_shn_undef = 0;
constexpr std::uint32_t k_shn_loreserve = 0xff00;
constexpr std::uint32_t k_shn_abs = 0xfff1;
constexpr std::uint32_t k_shn_common = 0xfff2;
constexpr std::uint32_t k_shn_xindex = 0xffff;

constexpr std::uint8_t k_stt_notype = 0;
constexpr std::uint8_t k_stt_object = 1;
constexpr std::uint8_t k_stt_func = 2;
constexpr std::uint8_t k_stt_section = 3;
constexpr std::uint8_t k_stt_file = 4;

constexpr std::uint8_t k_stb_local = 0;
constexpr std::uint8_t k_stb_global = 1;
constexpr std::uint8_t k_stb_weak = 2;
}  // namespace elf_value

struct elf_header {
  elf_class file_class = elf_class::elf32;
  elf_data data = elf_data::little_endian;
  std::uint8_t os_abi = 0;      ///< e_ident[EI_OSABI]
  std::uint16_t type = 0;       ///< e_type (ET_EXEC is 2)
  std::uint16_t machine = 0;    ///< e_machine (EM_ARM is 40)
  std::uint32_t version = 0;    ///< e_version
  std::uint64_t entry = 0;      ///< e_entry
  std::uint32_t flags = 0;      ///< e_flags
  std::uint64_t ph_offset = 0;  ///< e_phoff
  std::uint64_t sh_offset = 0;  ///< e_shoff
  /// Section holding the section names (e_shstrndx, or section 0's sh_link when it is
  /// SHN_XINDEX); 0 when the image names no such section.
  std::uint32_t names_section = 0;
};

struct elf_section {
  /// From the section name table (empty when the image has none); views into the image's bytes.
  std::string_view name;
  std::uint32_t name_offset = 0;  ///< sh_name
  std::uint32_t type = 0;         ///< sh_type
  std::uint64_t flags = 0;        ///< sh_flags
  std::uint64_t address = 0;      ///< sh_addr: the run address
  std::uint64_t offset = 0;       ///< sh_offset
  std::uint64_t size = 0;         ///< sh_size
  std::uint32_t link = 0;         ///< sh_link
  std::uint32_t info = 0;         ///< sh_info
  std::uint64_t alignment = 0;    ///< sh_addralign
  std::uint64_t entry_size = 0;   ///< sh_entsize
  /// Where the loader finds the section's bytes (binutils' LMA). From the first PT_LOAD (PT_TLS
  /// for a TLS section) whose memory holds the section and, unless it is SHT_NOBITS, whose file
  /// bytes hold it too: p_paddr plus the section's distance from the segment's start, in the
  /// file (in memory for SHT_NOBITS). The run address for a section in no such segment, for a
  /// section that is not allocated, and for every section when all program headers have
  /// p_paddr 0 and more than one PT_LOAD has memory. [load_address, load_address + size) lies
  /// inside the address space of the image's class, or the image is refused.
  std::uint64_t load_address = 0;
  /// Index of the program header load_address was taken from; -1 when it is the run address.
  std::int64_t load_segment = -1;

  bool allocated() const { return (flags & elf_value::k_shf_alloc) != 0; }
  /// Whether the file holds the section's bytes (any type but SHT_NOBITS and SHT_NULL).
  bool has_contents() const {
    return type != elf_value::k_sht_nobits && type != elf_value::k_sht_null;
  }
};

struct elf_segment {
  std::uint32_t type = 0;              ///< p_type
  std::uint32_t flags = 0;             ///< p_flags (PF_X 1, PF_W 2, PF_R 4)
  std::uint64_t offset = 0;            ///< p_offset
  std::uint64_t virtual_address = 0;   ///< p_vaddr
  std::uint64_t physical_address = 0;  ///< p_paddr
  std::uint64_t file_size = 0;         ///< p_filesz
  std::uint64_t memory_size = 0;       ///< p_memsz
  std::uint64_t alignment = 0;         ///< p_align
};

/// What a symbol's section index says.
enum class elf_symbol_place : std::uint8_t {
  in_section,  ///< section_index names one of the image's sections
  undefined,   ///< SHN_UNDEF
  absolute,    ///< SHN_ABS
  common,      ///< SHN_COMMON
  reserved,    ///< another index of the reserved range (processor or OS specific)
};

struct elf_symbol {
  std::string_view name;     ///< from the table's string table; views into the image's bytes
  std::uint64_t value = 0;   ///< st_value as the file holds it (an ARM Thumb function's bit 0 kept)
  std::uint64_t size = 0;    ///< st_size
  std::uint8_t type = 0;     ///< STT_* (low four bits of st_info)
  std::uint8_t binding = 0;  ///< STB_* (high four bits of st_info)
  std::uint8_t visibility = 0;  ///< STV_* (low two bits of st_other)
  /// st_shndx, or the entry of SHT_SYMTAB_SHNDX when st_shndx is SHN_XINDEX.
  std::uint32_t section_index = 0;
  elf_symbol_place place = elf_symbol_place::undefined;
  /// For a local symbol the name of the last STT_FILE symbol before it (an STT_FILE symbol names
  /// itself); empty for global and weak symbols and for locals before any STT_FILE symbol.
  std::string_view file;
};

struct elf_image {
  /// The file's bytes, read once. Names are views into them: shared, so that a copy or a move of
  /// the image keeps every view valid.
  std::shared_ptr<const std::string> bytes;
  elf_header header;
  /// Every section header in file order (sections[0] is the null section of a sound image).
  std::vector<elf_section> sections;
  std::vector<elf_segment> segments;
  /// Index of the section the symbols come from (.symtab, else .dynsym); -1 when there is none.
  std::int64_t symbol_section = -1;
  /// Every entry of that table, symbols[0] the null symbol, so that an index in the file is an
  /// index here.
  std::vector<elf_symbol> symbols;
};

/// The outcome of reading an image: the image, or the reason it was refused (one line without
/// the file's name, e.g. "section header 7 lies beyond the end of the file").
struct elf_read_result {
  bool ok = false;
  std::string error;
  elf_image image;
};

/// The largest file read_elf_image reads into memory.
constexpr std::uint64_t k_elf_image_max_bytes = std::uint64_t{1} << 30;

/// Reads the file (or text) of source whole and checks it: the identification, the header, every
/// section and program header, the section name table, the symbol table and its string table,
/// and every symbol's section. Refuses an image where any of them reaches beyond the file or its
/// table, or contradicts itself; never throws.
elf_read_result read_elf_image(const input_source& source);

/// Checks and decodes bytes already in memory (the buffer is kept by the image).
elf_read_result read_elf_image_bytes(std::shared_ptr<const std::string> bytes);
