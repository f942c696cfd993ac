#include "elf/elf_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <limits>
#include <new>
#include <system_error>
#include <utility>

namespace {

using namespace elf_value;

constexpr std::string_view k_magic =
    "\x7f"
    "ELF";
constexpr std::uint64_t k_ident_size = 16;
constexpr std::size_t k_read_block = std::size_t{1} << 20;

/// Whether [offset, offset + length) lies inside [0, limit), summed without wrapping.
bool fits(std::uint64_t offset, std::uint64_t length, std::uint64_t limit) {
  return offset <= limit && length <= limit - offset;
}

/// Whether [start, start + length) lies inside [base, base + extent), without wrapping.
bool inside(std::uint64_t start, std::uint64_t length, std::uint64_t base, std::uint64_t extent) {
  return start >= base && length <= extent && start - base <= extent - length;
}

std::string hex(std::uint64_t value) {
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789abcdef"[value & 0xf]);
    value >>= 4;
  } while (value != 0);
  return "0x" + digits;
}

std::string decimal(std::uint64_t value) { return std::to_string(value); }

/// The record sizes of the two classes.
struct class_layout {
  std::uint64_t header;
  std::uint64_t section_header;
  std::uint64_t program_header;
  std::uint64_t symbol;
  std::uint64_t address_max;
  const char* name;
};

const class_layout& layout_of(elf_class file_class) {
  static const class_layout k_elf32 = {52, 40, 32, 16, 0xffffffffu, "ELF32"};
  static const class_layout k_elf64 = {
      64, 64, 56, 24, std::numeric_limits<std::uint64_t>::max(), "ELF64"};
  return file_class == elf_class::elf32 ? k_elf32 : k_elf64;
}

/// Fields of the file in its byte order. Every record's range is checked against the file
/// before its fields are read; a read past the end still gives 0 rather than a stray byte.
class field_reader {
 public:
  field_reader(std::string_view bytes, bool big_endian) : m_bytes(bytes), m_big(big_endian) {}

  std::uint8_t u8(std::uint64_t at) const { return static_cast<std::uint8_t>(get(at, 1)); }
  std::uint16_t u16(std::uint64_t at) const { return static_cast<std::uint16_t>(get(at, 2)); }
  std::uint32_t u32(std::uint64_t at) const { return static_cast<std::uint32_t>(get(at, 4)); }
  std::uint64_t u64(std::uint64_t at) const { return get(at, 8); }
  /// An address, offset or size: four bytes in ELF32, eight in ELF64.
  std::uint64_t word(std::uint64_t at, bool wide) const { return wide ? u64(at) : u32(at); }

 private:
  std::uint64_t get(std::uint64_t at, std::size_t width) const {
    if (!fits(at, width, m_bytes.size())) {
      return 0;
    }
    unsigned char raw[8] = {};
    std::memcpy(raw, m_bytes.data() + static_cast<std::size_t>(at), width);
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t from = m_big ? i : width - 1 - i;
      value = (value << 8) | raw[from];
    }
    return value;
  }

  std::string_view m_bytes;
  bool m_big;
};

class image_parser {
 public:
  explicit image_parser(elf_image& image)
      : m_image(image),
        m_bytes(*image.bytes),
        m_size(image.bytes->size()),
        m_fields(m_bytes, false) {}

  bool parse() {
    return read_header() && read_section_headers() && read_section_names() &&
           check_section_contents() && read_program_headers() && read_symbols() &&
           set_load_addresses();
  }

  const std::string& error() const { return m_error; }

 private:
  bool fail(std::string message) {
    m_error = std::move(message);
    return false;
  }

  std::string section_label(std::uint64_t index) const {
    std::string label = "section " + decimal(index);
    if (index < m_image.sections.size() && !m_image.sections[index].name.empty()) {
      label += " (" + std::string(m_image.sections[index].name) + ")";
    }
    return label;
  }

  bool read_header() {
    if (m_bytes.substr(0, 4) != k_magic) {
      return fail("the file is not an ELF image: it does not begin with 0x7f 'E' 'L' 'F'");
    }
    if (m_size < k_ident_size) {
      return fail("the file ends inside the ELF identification (" + decimal(m_size) + " of " +
                  decimal(k_ident_size) + " bytes)");
    }
    const auto file_class = static_cast<unsigned char>(m_bytes[4]);
    const auto data = static_cast<unsigned char>(m_bytes[5]);
    if (file_class != 1 && file_class != 2) {
      return fail("EI_CLASS " + decimal(file_class) + " is neither ELF32 (1) nor ELF64 (2)");
    }
    if (data != 1 && data != 2) {
      return fail("EI_DATA " + decimal(data) + " is neither little endian (1) nor big endian (2)");
    }
    elf_header& header = m_image.header;
    header.file_class = static_cast<elf_class>(file_class);
    header.data = static_cast<elf_data>(data);
    header.os_abi = static_cast<std::uint8_t>(m_bytes[7]);
    m_wide = header.file_class == elf_class::elf64;
    m_layout = &layout_of(header.file_class);
    m_fields = field_reader(m_bytes, header.data == elf_data::big_endian);
    if (m_size < m_layout->header) {
      return fail("the file ends inside its " + std::string(m_layout->name) + " header (" +
                  decimal(m_size) + " of " + decimal(m_layout->header) + " bytes)");
    }
    const field_reader& f = m_fields;
    header.type = f.u16(16);
    header.machine = f.u16(18);
    header.version = f.u32(20);
    header.entry = f.word(24, m_wide);
    header.ph_offset = f.word(m_wide ? 32 : 28, m_wide);
    header.sh_offset = f.word(m_wide ? 40 : 32, m_wide);
    header.flags = f.u32(m_wide ? 48 : 36);
    const std::uint64_t at = m_wide ? 54 : 42;
    m_ph_entry_size = f.u16(at);
    m_ph_count_field = f.u16(at + 2);
    m_sh_entry_size = f.u16(at + 4);
    m_sh_count_field = f.u16(at + 6);
    m_names_field = f.u16(at + 8);
    return true;
  }

  elf_section decode_section(std::uint64_t at) const {
    const field_reader& f = m_fields;
    elf_section section;
    section.name_offset = f.u32(at);
    section.type = f.u32(at + 4);
    if (m_wide) {
      section.flags = f.u64(at + 8);
      section.address = f.u64(at + 16);
      section.offset = f.u64(at + 24);
      section.size = f.u64(at + 32);
      section.link = f.u32(at + 40);
      section.info = f.u32(at + 44);
      section.alignment = f.u64(at + 48);
      section.entry_size = f.u64(at + 56);
    } else {
      section.flags = f.u32(at + 8);
      section.address = f.u32(at + 12);
      section.offset = f.u32(at + 16);
      section.size = f.u32(at + 20);
      section.link = f.u32(at + 24);
      section.info = f.u32(at + 28);
      section.alignment = f.u32(at + 32);
      section.entry_size = f.u32(at + 36);
    }
    section.load_address = section.address;
    return section;
  }

  bool read_section_headers() {
    const std::uint64_t table = m_image.header.sh_offset;
    std::uint64_t count = m_sh_count_field;
    if (table == 0) {
      // No section header table; a count or a name table then names headers that are not there.
      if (count != 0) {
        return fail("e_shnum is " + decimal(count) + " but e_shoff is 0");
      }
      if (m_names_field != k_shn_undef) {
        return fail("e_shstrndx " + decimal(m_names_field) + " names no section (there are 0)");
      }
      return true;
    }
    if (m_sh_entry_size < m_layout->section_header) {
      return fail("e_shentsize " + decimal(m_sh_entry_size) + " is smaller than an " +
                  m_layout->name + " section header");
    }
    if (!fits(table, m_sh_entry_size, m_size)) {
      return fail("section header 0 lies beyond the end of the file");
    }
    // Section 0 holds the counts that do not fit the header's 16-bit fields.
    const elf_section first = decode_section(table);
    if (count == 0) {
      count = first.size;
    }
    // Every header must be in the file before a single one is kept: a count that the file
    // cannot hold sizes no vector.
    const std::uint64_t room = (m_size - table) / m_sh_entry_size;
    if (count > room) {
      return fail("section header " + decimal(room) + " lies beyond the end of the file");
    }
    m_image.sections.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
      m_image.sections.push_back(decode_section(table + i * m_sh_entry_size));
    }
    m_ph_count_extension = first.info;
    std::uint64_t names = m_names_field;
    if (names == k_shn_xindex) {
      names = first.link;
    }
    if (names != k_shn_undef && names >= count) {
      return fail("e_shstrndx " + decimal(names) + " names no section (there are " +
                  decimal(count) + ")");
    }
    m_image.header.names_section = static_cast<std::uint32_t>(names);
    return true;
  }

  /// A string table's bytes: in the file and ended by a NUL (an empty table holds no string).
  bool check_string_table(std::uint64_t index) {
    const elf_section& table = m_image.sections[index];
    if (table.type != k_sht_strtab) {
      return fail(section_label(index) + " is of type " + decimal(table.type) +
                  ", not a string table (SHT_STRTAB)");
    }
    if (!fits(table.offset, table.size, m_size)) {
      return fail(section_label(index) + " lies beyond the end of the file (offset " +
                  hex(table.offset) + ", size " + hex(table.size) + ")");
    }
    if (table.size != 0 && m_bytes[static_cast<std::size_t>(table.offset + table.size - 1)] != 0) {
      return fail("string table without its NUL");
    }
    return true;
  }

  /// The string at offset of a checked string table; false when offset is beyond the table.
  bool string_at(const elf_section& table, std::uint64_t offset, std::string_view& text) const {
    if (offset == 0 && table.size == 0) {
      text = {};
      return true;
    }
    if (offset >= table.size) {
      return false;
    }
    const char* begin = m_bytes.data() + static_cast<std::size_t>(table.offset + offset);
    const auto left = static_cast<std::size_t>(table.size - offset);
    const void* nul = std::memchr(begin, 0, left);
    // The table's last byte is a NUL, so one is always found.
    text = std::string_view(
        begin,
        nul == nullptr ? left : static_cast<std::size_t>(static_cast<const char*>(nul) - begin));
    return true;
  }

  bool read_section_names() {
    const std::uint32_t names = m_image.header.names_section;
    if (names == k_shn_undef) {
      return true;
    }
    if (!check_string_table(names)) {
      return false;
    }
    const elf_section table = m_image.sections[names];
    for (std::size_t i = 0; i < m_image.sections.size(); ++i) {
      elf_section& section = m_image.sections[i];
      if (!string_at(table, section.name_offset, section.name)) {
        return fail("section " + decimal(i) + " name offset " + hex(section.name_offset) +
                    " lies beyond its string table");
      }
    }
    return true;
  }

  bool check_section_contents() {
    for (std::size_t i = 0; i < m_image.sections.size(); ++i) {
      const elf_section& section = m_image.sections[i];
      if (section.has_contents() && !fits(section.offset, section.size, m_size)) {
        return fail(section_label(i) + " lies beyond the end of the file (offset " +
                    hex(section.offset) + ", size " + hex(section.size) + ")");
      }
    }
    return true;
  }

  bool read_program_headers() {
    const std::uint64_t table = m_image.header.ph_offset;
    std::uint64_t count = m_ph_count_field;
    if (count == 0xffff) {  // PN_XNUM: the count is section 0's sh_info
      if (m_image.sections.empty()) {
        return fail("e_phnum is PN_XNUM (0xffff) but there is no section 0 to hold the count");
      }
      count = m_ph_count_extension;
    }
    if (table == 0) {
      if (count != 0) {
        return fail("e_phnum is " + decimal(count) + " but e_phoff is 0");
      }
      return true;
    }
    if (count == 0) {
      return true;
    }
    if (m_ph_entry_size < m_layout->program_header) {
      return fail("e_phentsize " + decimal(m_ph_entry_size) + " is smaller than an " +
                  m_layout->name + " program header");
    }
    const std::uint64_t room = table <= m_size ? (m_size - table) / m_ph_entry_size : 0;
    if (count > room) {
      return fail("program header " + decimal(room) + " lies beyond the end of the file");
    }
    m_image.segments.reserve(static_cast<std::size_t>(count));
    const field_reader& f = m_fields;
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint64_t at = table + i * m_ph_entry_size;
      elf_segment segment;
      segment.type = f.u32(at);
      if (m_wide) {
        segment.flags = f.u32(at + 4);
        segment.offset = f.u64(at + 8);
        segment.virtual_address = f.u64(at + 16);
        segment.physical_address = f.u64(at + 24);
        segment.file_size = f.u64(at + 32);
        segment.memory_size = f.u64(at + 40);
        segment.alignment = f.u64(at + 48);
      } else {
        segment.offset = f.u32(at + 4);
        segment.virtual_address = f.u32(at + 8);
        segment.physical_address = f.u32(at + 12);
        segment.file_size = f.u32(at + 16);
        segment.memory_size = f.u32(at + 20);
        segment.flags = f.u32(at + 24);
        segment.alignment = f.u32(at + 28);
      }
      if (!fits(segment.offset, segment.file_size, m_size)) {
        return fail("program header " + decimal(i) + " (type " + hex(segment.type) +
                    ") reaches beyond the end of the file (offset " + hex(segment.offset) +
                    ", size " + hex(segment.file_size) + ")");
      }
      m_image.segments.push_back(segment);
    }
    return true;
  }

  /// The first section of type, or the number of sections when there is none.
  std::size_t first_of_type(std::uint32_t type) const {
    for (std::size_t i = 0; i < m_image.sections.size(); ++i) {
      if (m_image.sections[i].type == type) {
        return i;
      }
    }
    return m_image.sections.size();
  }

  bool read_symbols() {
    const std::size_t none = m_image.sections.size();
    std::size_t index = first_of_type(k_sht_symtab);
    if (index == none) {
      index = first_of_type(k_sht_dynsym);
    }
    if (index == none) {
      return true;
    }
    const elf_section table = m_image.sections[index];
    const std::uint64_t entry = m_layout->symbol;
    if (table.entry_size != entry) {
      return fail("symbol table entry size " + decimal(table.entry_size) + " is not the " +
                  decimal(entry) + " bytes of an " + m_layout->name + " symbol");
    }
    if (table.size % entry != 0) {
      return fail("symbol table size " + hex(table.size) + " is not a whole number of " +
                  decimal(entry) + "-byte symbols");
    }
    if (table.link >= m_image.sections.size() ||
        m_image.sections[table.link].type != k_sht_strtab) {
      return fail("symbol table links section " + decimal(table.link) +
                  ", which is not a string table");
    }
    if (!check_string_table(table.link)) {
      return false;
    }
    const elf_section strings = m_image.sections[table.link];
    const std::uint64_t count = table.size / entry;

    // Section indices beyond SHN_LORESERVE sit in a table of 32-bit words beside the symbols.
    const elf_section* extended = nullptr;
    for (const elf_section& section : m_image.sections) {
      if (section.type == k_sht_symtab_shndx && section.link == index) {
        extended = &section;
        break;
      }
    }

    m_image.symbol_section = static_cast<std::int64_t>(index);
    m_image.symbols.reserve(static_cast<std::size_t>(count));
    const field_reader& f = m_fields;
    std::string_view file;
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint64_t at = table.offset + i * entry;
      elf_symbol symbol;
      const std::uint32_t name_offset = f.u32(at);
      std::uint8_t info = 0;
      std::uint8_t other = 0;
      std::uint16_t shndx = 0;
      if (m_wide) {
        info = f.u8(at + 4);
        other = f.u8(at + 5);
        shndx = f.u16(at + 6);
        symbol.value = f.u64(at + 8);
        symbol.size = f.u64(at + 16);
      } else {
        symbol.value = f.u32(at + 4);
        symbol.size = f.u32(at + 8);
        info = f.u8(at + 12);
        other = f.u8(at + 13);
        shndx = f.u16(at + 14);
      }
      symbol.type = static_cast<std::uint8_t>(info & 0xf);
      symbol.binding = static_cast<std::uint8_t>(info >> 4);
      symbol.visibility = static_cast<std::uint8_t>(other & 0x3);
      if (!string_at(strings, name_offset, symbol.name)) {
        return fail("symbol " + decimal(i) + " name offset " + hex(name_offset) +
                    " lies beyond its string table");
      }
      if (!place_symbol(i, shndx, extended, symbol)) {
        return false;
      }
      if (symbol.type == k_stt_file) {
        file = symbol.name;
      }
      if (symbol.binding == k_stb_local) {
        symbol.file = file;
      }
      m_image.symbols.push_back(symbol);
    }
    return true;
  }

  bool place_symbol(std::uint64_t i, std::uint16_t shndx, const elf_section* extended,
                    elf_symbol& symbol) {
    std::uint32_t section = shndx;
    if (shndx == k_shn_xindex) {
      if (extended == nullptr) {
        return fail("symbol " + decimal(i) + " (" + std::string(symbol.name) +
                    ") has SHN_XINDEX but the image has no SHT_SYMTAB_SHNDX table");
      }
      // An entry per symbol; the table's bytes were checked against the file with the others.
      if (i >= extended->size / 4) {
        return fail("symbol " + decimal(i) + " (" + std::string(symbol.name) +
                    ") has no entry in its SHT_SYMTAB_SHNDX table");
      }
      section = m_fields.u32(extended->offset + i * 4);
    } else if (shndx == k_shn_undef) {
      symbol.place = elf_symbol_place::undefined;
      symbol.section_index = section;
      return true;
    } else if (shndx >= k_shn_loreserve) {
      symbol.place = shndx == k_shn_abs      ? elf_symbol_place::absolute
                     : shndx == k_shn_common ? elf_symbol_place::common
                                             : elf_symbol_place::reserved;
      symbol.section_index = section;
      return true;
    }
    if (section >= m_image.sections.size()) {
      return fail("symbol " + decimal(i) + " (" + std::string(symbol.name) +
                  ") points at section " + decimal(section) + ", which does not exist (there are " +
                  decimal(m_image.sections.size()) + " sections)");
    }
    symbol.place = elf_symbol_place::in_section;
    symbol.section_index = section;
    return true;
  }

  /// binutils' rule: the first PT_LOAD (PT_TLS for a TLS section) that holds the section in
  /// memory and, unless it is SHT_NOBITS, in the file gives its load address: the segment's
  /// physical address plus the section's distance from the segment's start, in the file for a
  /// section with contents, in memory for SHT_NOBITS.
  bool set_load_addresses() {
    // Some linkers leave every p_paddr 0; with more than one PT_LOAD the load addresses would
    // overlap, so binutils keeps the run addresses.
    std::size_t loads_with_memory = 0;
    bool all_paddr_zero = true;
    for (const elf_segment& segment : m_image.segments) {
      if (segment.physical_address != 0) {
        all_paddr_zero = false;
        break;
      }
      if (segment.type == k_pt_load && segment.memory_size != 0) {
        ++loads_with_memory;
      }
    }
    if (all_paddr_zero && loads_with_memory > 1) {
      return true;
    }
    for (std::size_t i = 0; i < m_image.sections.size(); ++i) {
      elf_section& section = m_image.sections[i];
      if (!section.allocated()) {
        continue;
      }
      const bool tls = (section.flags & k_shf_tls) != 0;
      const bool nobits = section.type == k_sht_nobits;
      for (std::size_t s = 0; s < m_image.segments.size(); ++s) {
        const elf_segment& segment = m_image.segments[s];
        if (segment.type != (tls ? k_pt_tls : k_pt_load)) {
          continue;
        }
        if (!inside(section.address, section.size, segment.virtual_address, segment.memory_size)) {
          continue;
        }
        if (!nobits && !inside(section.offset, section.size, segment.offset, segment.file_size)) {
          continue;
        }
        const std::uint64_t distance =
            nobits ? section.address - segment.virtual_address : section.offset - segment.offset;
        // The whole load range [load, load + size) must be addresses of the image's class.
        const std::uint64_t max = m_layout->address_max;
        if (!fits(segment.physical_address, distance, max) ||
            (section.size != 0 && section.size - 1 > max - (segment.physical_address + distance))) {
          return fail(section_label(i) + " has a load address beyond the " +
                      (m_wide ? std::string("64") : std::string("32")) + "-bit address space");
        }
        section.load_address = segment.physical_address + distance;
        section.load_segment = static_cast<std::int64_t>(s);
        break;
      }
    }
    return true;
  }

  elf_image& m_image;
  std::string_view m_bytes;
  std::uint64_t m_size;
  field_reader m_fields;
  const class_layout* m_layout = nullptr;
  bool m_wide = false;
  std::uint64_t m_ph_entry_size = 0;
  std::uint64_t m_ph_count_field = 0;
  std::uint64_t m_sh_entry_size = 0;
  std::uint64_t m_sh_count_field = 0;
  std::uint64_t m_names_field = 0;
  std::uint64_t m_ph_count_extension = 0;
  std::string m_error;
};

/// The whole file into bytes, in blocks, so that a file that grows or lies about its size is
/// read as far as it goes and never beyond k_elf_image_max_bytes.
bool read_file_bytes(const std::string& path, std::string& bytes, std::string& error) {
  std::error_code ec;
  if (path.empty()) {
    error = "no file name given";
    return false;
  }
  if (std::filesystem::is_directory(path, ec)) {
    error = "cannot open the file: it is a directory";
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = "cannot open the file";
    return false;
  }
  // Room for the size the file has now, so that a large image is not copied as it grows.
  const std::uintmax_t expected = std::filesystem::file_size(path, ec);
  if (!ec) {
    bytes.reserve(
        static_cast<std::size_t>(std::min<std::uintmax_t>(expected, k_elf_image_max_bytes) + 1));
  }
  std::string block(k_read_block, '\0');
  bool good = true;
  for (;;) {
    const std::size_t got = std::fread(&block[0], 1, block.size(), file);
    if (got > k_elf_image_max_bytes - bytes.size()) {
      error = "the file is larger than the " + decimal(k_elf_image_max_bytes >> 20) +
              " MiB an image may have";
      good = false;
      break;
    }
    bytes.append(block, 0, got);
    if (got < block.size()) {
      if (std::ferror(file) != 0) {
        error = "cannot read the file";
        good = false;
      }
      break;
    }
  }
  std::fclose(file);
  return good;
}

}  // namespace

elf_read_result read_elf_image_bytes(std::shared_ptr<const std::string> bytes) {
  elf_read_result result;
  try {
    if (bytes == nullptr) {
      result.error = "no bytes given";
      return result;
    }
    result.image.bytes = std::move(bytes);
    image_parser parser(result.image);
    result.ok = parser.parse();
    if (!result.ok) {
      result.error = parser.error();
      result.image = elf_image();
    }
  } catch (const std::bad_alloc&) {
    result = elf_read_result();
    result.error = "not enough memory to read the image";
  } catch (const std::exception& e) {
    result = elf_read_result();
    result.error = std::string("cannot read the image: ") + e.what();
  }
  return result;
}

elf_read_result read_elf_image(const input_source& source) {
  elf_read_result result;
  try {
    auto bytes = std::make_shared<std::string>();
    if (source.in_memory()) {
      if (source.text->size() > k_elf_image_max_bytes) {
        result.error = "the image is larger than the " + decimal(k_elf_image_max_bytes >> 20) +
                       " MiB an image may have";
        return result;
      }
      bytes->assign(source.text->data(), source.text->size());
    } else if (!read_file_bytes(source.path, *bytes, result.error)) {
      return result;
    }
    return read_elf_image_bytes(std::move(bytes));
  } catch (const std::bad_alloc&) {
    result = elf_read_result();
    result.error = "not enough memory to read the image";
  } catch (const std::exception& e) {
    result = elf_read_result();
    result.error = std::string("cannot read the image: ") + e.what();
  }
  return result;
}
