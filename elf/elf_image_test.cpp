// The ELF reader against the committed Cortex-M, big-endian Cortex-M and RISC-V 64 images
// (their numbers written from binutils' readelf -SlW, readelf -sW and nm -S) and against small
// images made here by a writer of both classes and byte orders: what it reads from a sound
// image, and the reason it gives for each way an image can lie about its own layout.
#include "elf/elf_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/test_support.h"

namespace {

using namespace elf_value;
using test_support::scoped_temp_dir;

constexpr std::uint32_t k_sht_progbits = 1;
constexpr std::uint32_t k_sht_init_array = 14;
constexpr std::uint32_t k_sht_arm_attributes = 0x70000003;
constexpr std::uint32_t k_sht_riscv_attributes = 0x70000003;
constexpr std::uint32_t k_pt_riscv_attributes = 0x70000003;
constexpr std::uint64_t k_shf_merge = 0x10;
constexpr std::uint64_t k_shf_strings = 0x20;
constexpr std::uint16_t k_em_arm = 40;
constexpr std::uint16_t k_em_x86_64 = 62;
constexpr std::uint16_t k_em_riscv = 243;
constexpr std::uint8_t k_stv_hidden = 2;

// ---------------------------------------------------------------------------------------------
// A writer of small images: the header, the program headers right behind it, the sections'
// bytes, the section name table and last the section headers.

void put(std::string& out, std::uint64_t value, int width, bool big) {
  for (int i = 0; i < width; ++i) {
    const int shift = 8 * (big ? width - 1 - i : i);
    out.push_back(static_cast<char>((value >> shift) & 0xff));
  }
}

void patch(std::string& bytes, std::uint64_t at, std::uint64_t value, int width, bool big) {
  std::string field;
  put(field, value, width, big);
  bytes.replace(static_cast<std::size_t>(at), field.size(), field);
}

struct test_section {
  std::string name;
  std::uint32_t type = k_sht_progbits;
  std::uint64_t flags = 0;
  std::uint64_t address = 0;
  std::string contents;           ///< the bytes in the file (a NOBITS section has none)
  std::uint64_t nobits_size = 0;  ///< sh_size of a NOBITS section
  std::uint32_t link = 0;
  std::uint32_t info = 0;
  std::uint64_t alignment = 1;
  std::uint64_t entry_size = 0;
  std::optional<std::uint64_t> offset;       ///< where the bytes go; else the next free place
  std::optional<std::uint32_t> name_offset;  ///< sh_name other than the name's own
};

struct test_image {
  elf_class file_class = elf_class::elf32;
  elf_data data = elf_data::little_endian;
  std::uint16_t machine = k_em_arm;
  std::vector<test_section> sections;  ///< after the null section; .shstrtab is added last
  std::vector<elf_segment> segments;
  bool section_headers = true;
};

struct written_image {
  std::string bytes;
  std::vector<std::uint64_t> offsets;  ///< of each section's bytes, null section and names too
  std::uint64_t sh_offset = 0;
  std::size_t names_index = 0;
};

bool wide(const test_image& image) { return image.file_class == elf_class::elf64; }
bool big(const test_image& image) { return image.data == elf_data::big_endian; }

written_image write_image(const test_image& image) {
  const bool w = wide(image);
  const bool b = big(image);
  const int word = w ? 8 : 4;
  const std::uint64_t header_size = w ? 64 : 52;
  const std::uint64_t ph_size = w ? 56 : 32;
  const std::uint64_t sh_size = w ? 64 : 40;

  std::vector<test_section> sections = image.sections;
  std::string names(1, '\0');
  std::vector<std::uint32_t> name_offsets;
  test_section names_section;
  names_section.name = ".shstrtab";
  names_section.type = k_sht_strtab;
  sections.push_back(names_section);
  for (const test_section& section : sections) {
    name_offsets.push_back(static_cast<std::uint32_t>(names.size()));
    names += section.name + '\0';
  }
  sections.back().contents = names;

  written_image out;
  std::string& bytes = out.bytes;
  bytes.assign(header_size + ph_size * image.segments.size(), '\0');
  out.offsets.push_back(0);
  for (const test_section& section : sections) {
    std::uint64_t at = section.offset ? *section.offset : (bytes.size() + 7) / 8 * 8;
    if (section.type == k_sht_nobits && !section.offset) {
      at = bytes.size();
    }
    if (bytes.size() < at) {
      bytes.resize(static_cast<std::size_t>(at), '\0');
    }
    bytes.replace(static_cast<std::size_t>(at), section.contents.size(), section.contents);
    out.offsets.push_back(at);
  }
  out.names_index = sections.size();
  out.sh_offset = (bytes.size() + 7) / 8 * 8;
  bytes.resize(static_cast<std::size_t>(out.sh_offset), '\0');

  // Section headers: the null one, then each section.
  if (image.section_headers) {
    bytes.append(static_cast<std::size_t>(sh_size), '\0');
    for (std::size_t i = 0; i < sections.size(); ++i) {
      const test_section& s = sections[i];
      const std::uint64_t size = s.type == k_sht_nobits ? s.nobits_size : s.contents.size();
      put(bytes, s.name_offset ? *s.name_offset : name_offsets[i], 4, b);
      put(bytes, s.type, 4, b);
      put(bytes, s.flags, word, b);
      put(bytes, s.address, word, b);
      put(bytes, out.offsets[i + 1], word, b);
      put(bytes, size, word, b);
      put(bytes, s.link, 4, b);
      put(bytes, s.info, 4, b);
      put(bytes, s.alignment, word, b);
      put(bytes, s.entry_size, word, b);
    }
  }

  // The header.
  std::string header = std::string("\x7f") + "ELF";
  header.push_back(static_cast<char>(w ? 2 : 1));
  header.push_back(static_cast<char>(b ? 2 : 1));
  header.push_back(1);
  header.append(9, '\0');
  put(header, 2, 2, b);  // ET_EXEC
  put(header, image.machine, 2, b);
  put(header, 1, 4, b);
  put(header, 0x8000, word, b);
  put(header, image.segments.empty() ? 0 : header_size, word, b);
  put(header, image.section_headers ? out.sh_offset : 0, word, b);
  put(header, 0x5000200, 4, b);
  put(header, header_size, 2, b);
  put(header, ph_size, 2, b);
  put(header, image.segments.size(), 2, b);
  put(header, sh_size, 2, b);
  put(header, image.section_headers ? sections.size() + 1 : 0, 2, b);
  put(header, image.section_headers ? out.names_index : 0, 2, b);
  bytes.replace(0, header.size(), header);

  std::string phdrs;
  for (const elf_segment& p : image.segments) {
    put(phdrs, p.type, 4, b);
    if (w) {
      put(phdrs, p.flags, 4, b);
    }
    put(phdrs, p.offset, word, b);
    put(phdrs, p.virtual_address, word, b);
    put(phdrs, p.physical_address, word, b);
    put(phdrs, p.file_size, word, b);
    put(phdrs, p.memory_size, word, b);
    if (!w) {
      put(phdrs, p.flags, 4, b);
    }
    put(phdrs, p.alignment, word, b);
  }
  bytes.replace(static_cast<std::size_t>(header_size), phdrs.size(), phdrs);
  return out;
}

struct test_symbol {
  test_symbol(std::string symbol_name, std::uint64_t symbol_value, std::uint64_t symbol_size,
              std::uint8_t symbol_type, std::uint8_t symbol_binding, std::uint8_t symbol_other,
              std::uint16_t symbol_shndx)
      : name(std::move(symbol_name)),
        value(symbol_value),
        size(symbol_size),
        type(symbol_type),
        binding(symbol_binding),
        other(symbol_other),
        shndx(symbol_shndx) {}

  std::string name;
  std::uint64_t value = 0;
  std::uint64_t size = 0;
  std::uint8_t type = k_stt_notype;
  std::uint8_t binding = k_stb_local;
  std::uint8_t other = 0;
  std::uint16_t shndx = 0;
  std::optional<std::uint32_t> name_offset;
};

/// A .symtab (null symbol first) and its .strtab, to be sections symtab_index and
/// symtab_index + 1 of the image.
void add_symbols(test_image& image, const std::vector<test_symbol>& symbols,
                 std::uint32_t symtab_index, std::uint32_t type = k_sht_symtab) {
  const bool w = wide(image);
  const bool b = big(image);
  std::string table(w ? 24 : 16, '\0');
  std::string strings(1, '\0');
  for (const test_symbol& s : symbols) {
    std::uint32_t name = static_cast<std::uint32_t>(strings.size());
    strings += s.name + '\0';
    if (s.name_offset) {
      name = *s.name_offset;
    }
    const std::uint8_t info = static_cast<std::uint8_t>((s.binding << 4) | s.type);
    put(table, name, 4, b);
    if (w) {
      put(table, info, 1, b);
      put(table, s.other, 1, b);
      put(table, s.shndx, 2, b);
      put(table, s.value, 8, b);
      put(table, s.size, 8, b);
    } else {
      put(table, s.value, 4, b);
      put(table, s.size, 4, b);
      put(table, info, 1, b);
      put(table, s.other, 1, b);
      put(table, s.shndx, 2, b);
    }
  }
  test_section symtab;
  symtab.name = type == k_sht_symtab ? ".symtab" : ".dynsym";
  symtab.type = type;
  symtab.contents = table;
  symtab.link = symtab_index + 1;
  symtab.entry_size = w ? 24 : 16;
  symtab.alignment = 4;
  test_section strtab;
  strtab.name = type == k_sht_symtab ? ".strtab" : ".dynstr";
  strtab.type = k_sht_strtab;
  strtab.contents = strings;
  image.sections.push_back(symtab);
  image.sections.push_back(strtab);
}

elf_read_result read_bytes(const std::string& bytes) {
  return read_elf_image(input_source::in_memory(bytes, "test.elf"));
}

elf_segment load(std::uint64_t offset, std::uint64_t vaddr, std::uint64_t paddr,
                 std::uint64_t filesz, std::uint64_t memsz) {
  elf_segment segment;
  segment.type = k_pt_load;
  segment.flags = 6;
  segment.offset = offset;
  segment.virtual_address = vaddr;
  segment.physical_address = paddr;
  segment.file_size = filesz;
  segment.memory_size = memsz;
  segment.alignment = 0x1000;
  return segment;
}

/// A PT_NOTE with no bytes and a physical address: no section lies in it.
elf_segment note_at(std::uint64_t paddr) {
  elf_segment segment;
  segment.type = 4;
  segment.physical_address = paddr;
  return segment;
}

test_section progbits(const std::string& name, std::uint64_t address, std::uint64_t offset,
                      std::size_t size, std::uint64_t flags = k_shf_alloc) {
  test_section section;
  section.name = name;
  section.flags = flags;
  section.address = address;
  section.offset = offset;
  section.contents = std::string(size, '\x5a');
  return section;
}

test_section nobits(const std::string& name, std::uint64_t address, std::uint64_t size) {
  test_section section;
  section.name = name;
  section.type = k_sht_nobits;
  section.flags = k_shf_alloc | k_shf_write;
  section.address = address;
  section.nobits_size = size;
  return section;
}

// ---------------------------------------------------------------------------------------------
// The committed Cortex-M image.

struct expected_section {
  const char* name;
  std::uint32_t type;
  std::uint64_t address;
  std::uint64_t offset;
  std::uint64_t size;
  std::uint64_t entry_size;
  std::uint64_t flags;
  std::uint32_t link;
  std::uint32_t info;
  std::uint64_t alignment;
  std::uint64_t load_address;
};

/// The section table against rows written from readelf -SW.
void expect_sections(const elf_image& image, const std::vector<expected_section>& expected) {
  ASSERT_EQ(image.sections.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const elf_section& got = image.sections[i];
    const expected_section& want = expected[i];
    SCOPED_TRACE("section " + std::to_string(i) + " " + want.name);
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.type, want.type);
    EXPECT_EQ(got.address, want.address);
    EXPECT_EQ(got.offset, want.offset);
    EXPECT_EQ(got.size, want.size);
    EXPECT_EQ(got.entry_size, want.entry_size);
    EXPECT_EQ(got.flags, want.flags);
    EXPECT_EQ(got.link, want.link);
    EXPECT_EQ(got.info, want.info);
    EXPECT_EQ(got.alignment, want.alignment);
    EXPECT_EQ(got.load_address, want.load_address);
  }
}

TEST(ElfImageFirmware, SectionTableAndLoadAddressesAreThoseOfReadelf) {
  const std::string path = test_support::source_dir() + "/examples/cortex-m/firmware.elf";
  const elf_read_result result = read_elf_image(path);
  ASSERT_TRUE(result.ok) << result.error;
  const elf_image& image = result.image;
  EXPECT_EQ(image.header.file_class, elf_class::elf32);
  EXPECT_EQ(image.header.data, elf_data::little_endian);
  EXPECT_EQ(image.header.machine, k_em_arm);
  EXPECT_EQ(image.header.type, 2);  // EXEC
  EXPECT_EQ(image.header.entry, 0x80000f3u);
  EXPECT_EQ(image.header.sh_offset, 0x101c4u);
  EXPECT_EQ(image.header.ph_offset, 52u);
  EXPECT_EQ(image.header.names_section, 21u);

  // readelf -SlW, by hand; the load addresses from its program headers: .data lies at file
  // offset 0x8000 of the segment at 0x8000 with PhysAddr 0x08006304, .bss at 0x1e8 bytes into
  // that segment's memory, .heap and .stack at the start of their own segments at 0x080064ec.
  const std::uint64_t a = k_shf_alloc, w = k_shf_write, x = k_shf_execinstr;
  const std::uint64_t ms = k_shf_merge | k_shf_strings;
  const std::vector<expected_section> expected = {
      {"", k_sht_null, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {".isr_vector", k_sht_progbits, 0x08000000, 0x1000, 0xf0, 0, a, 0, 0, 4, 0x08000000},
      {".text", k_sht_progbits, 0x080000f0, 0x10f0, 0x5728, 0, a | x, 0, 0, 8, 0x080000f0},
      {".rodata", k_sht_progbits, 0x08005818, 0x6818, 0xae8, 0, a, 0, 0, 8, 0x08005818},
      {".init_array", k_sht_init_array, 0x08006300, 0x7300, 4, 4, w | a, 0, 0, 4, 0x08006300},
      {".data", k_sht_progbits, 0x20000000, 0x8000, 0x1e8, 0, w | a, 0, 0, 4, 0x08006304},
      {".bss", k_sht_nobits, 0x200001e8, 0x81e8, 0x78, 0, w | a, 0, 0, 4, 0x080064ec},
      {".heap", k_sht_nobits, 0x20000260, 0x8260, 0x2000, 0, w | a, 0, 0, 1, 0x080064ec},
      {".stack", k_sht_nobits, 0x20002260, 0x8260, 0x800, 0, w | a, 0, 0, 1, 0x080064ec},
      {".debug_info", k_sht_progbits, 0, 0x81e8, 0x1da4, 0, 0, 0, 0, 1, 0},
      {".debug_abbrev", k_sht_progbits, 0, 0x9f8c, 0xb03, 0, 0, 0, 0, 1, 0},
      {".debug_aranges", k_sht_progbits, 0, 0xaa8f, 0xc0, 0, 0, 0, 0, 1, 0},
      {".debug_rnglists", k_sht_progbits, 0, 0xab4f, 0xf8, 0, 0, 0, 0, 1, 0},
      {".debug_line", k_sht_progbits, 0, 0xac47, 0xabb, 0, 0, 0, 0, 1, 0},
      {".debug_str", k_sht_progbits, 0, 0xb702, 0xb33, 1, ms, 0, 0, 1, 0},
      {".comment", k_sht_progbits, 0, 0xc235, 0x26, 1, ms, 0, 0, 1, 0},
      {".ARM.attributes", k_sht_arm_attributes, 0, 0xc25b, 0x2b, 0, 0, 0, 0, 1, 0},
      {".debug_frame", k_sht_progbits, 0, 0xc288, 0x270, 0, 0, 0, 0, 4, 0},
      {".debug_loclists", k_sht_progbits, 0, 0xc4f8, 0x538, 0, 0, 0, 0, 1, 0},
      {".symtab", k_sht_symtab, 0, 0xca30, 0x25d0, 0x10, 0, 20, 331, 4, 0},
      {".strtab", k_sht_strtab, 0, 0xf000, 0x10e3, 0, 0, 0, 0, 1, 0},
      {".shstrtab", k_sht_strtab, 0, 0x100e3, 0xdf, 0, 0, 0, 0, 1, 0},
  };
  expect_sections(image, expected);
  EXPECT_EQ(image.sections[5].load_segment, 1);
  EXPECT_EQ(image.sections[7].load_segment, 2);
  EXPECT_EQ(image.sections[8].load_segment, 3);
  EXPECT_EQ(image.sections[9].load_segment, -1);

  // Type Offset VirtAddr PhysAddr FileSiz MemSiz Flg(RWE 7, RW 6) Align.
  struct expected_segment {
    std::uint64_t offset, vaddr, paddr, filesz, memsz;
    std::uint32_t flags;
  };
  const std::vector<expected_segment> segments = {
      {0x001000, 0x08000000, 0x08000000, 0x06304, 0x06304, 7},
      {0x008000, 0x20000000, 0x08006304, 0x001e8, 0x00260, 6},
      {0x000260, 0x20000260, 0x080064ec, 0x00000, 0x02000, 6},
      {0x000260, 0x20002260, 0x080064ec, 0x00000, 0x00800, 6},
  };
  ASSERT_EQ(image.segments.size(), segments.size());
  for (std::size_t i = 0; i < segments.size(); ++i) {
    SCOPED_TRACE("segment " + std::to_string(i));
    EXPECT_EQ(image.segments[i].type, k_pt_load);
    EXPECT_EQ(image.segments[i].offset, segments[i].offset);
    EXPECT_EQ(image.segments[i].virtual_address, segments[i].vaddr);
    EXPECT_EQ(image.segments[i].physical_address, segments[i].paddr);
    EXPECT_EQ(image.segments[i].file_size, segments[i].filesz);
    EXPECT_EQ(image.segments[i].memory_size, segments[i].memsz);
    EXPECT_EQ(image.segments[i].flags, segments[i].flags);
    EXPECT_EQ(image.segments[i].alignment, 0x1000u);
  }
}

const elf_symbol* find_symbol(const elf_image& image, std::string_view name) {
  for (const elf_symbol& symbol : image.symbols) {
    if (symbol.name == name) {
      return &symbol;
    }
  }
  return nullptr;
}

TEST(ElfImageFirmware, SymbolsAreThoseOfNm) {
  const elf_read_result result =
      read_elf_image(test_support::source_dir() + "/examples/cortex-m/firmware.elf");
  ASSERT_TRUE(result.ok) << result.error;
  const elf_image& image = result.image;
  EXPECT_EQ(image.symbol_section, 19);
  ASSERT_EQ(image.symbols.size(), 0x25d0u / 16);  // 605 entries

  // arm-none-eabi-nm -S rows; nm clears bit 0 of a Thumb function's address (T rows), the
  // table holds it set. The files are those of the STT_FILE symbols before each local.
  struct expected_symbol {
    const char* nm_row;
    const char* name;
    std::uint64_t value;
    std::uint64_t size;
    std::uint8_t type;
    std::uint8_t binding;
    elf_symbol_place place;
    std::uint32_t section;
    const char* file;
  };
  const std::vector<expected_symbol> expected = {
      {"08005918 00000200 r k_sine", "k_sine", 0x08005918, 0x200, k_stt_object, k_stb_local,
       elf_symbol_place::in_section, 3, "main.c"},
      {"20000004 00000014 d s_config", "s_config", 0x20000004, 0x14, k_stt_object, k_stb_local,
       elf_symbol_place::in_section, 5, "main.c"},
      {"20000000 00000004 d s_heap_top", "s_heap_top", 0x20000000, 4, k_stt_object, k_stb_local,
       elf_symbol_place::in_section, 5, "syscalls.c"},
      {"200001e8 00000004 b s_ticks", "s_ticks", 0x200001e8, 4, k_stt_object, k_stb_local,
       elf_symbol_place::in_section, 6, "main.c"},
      {"20000254 00000004 B __malloc_sbrk_start", "__malloc_sbrk_start", 0x20000254, 4,
       k_stt_object, k_stb_global, elf_symbol_place::in_section, 6, ""},
      {"080000f2 00000056 T Reset_Handler", "Reset_Handler", 0x080000f3, 0x56, k_stt_func,
       k_stb_global, elf_symbol_place::in_section, 2, ""},
      {"080004b8 00000028 T crc32_update", "crc32_update", 0x080004b9, 0x28, k_stt_func,
       k_stb_global, elf_symbol_place::in_section, 2, ""},
      {"00002000 A HEAP_SIZE", "HEAP_SIZE", 0x2000, 0, k_stt_notype, k_stb_global,
       elf_symbol_place::absolute, k_shn_abs, ""},
  };
  for (const expected_symbol& want : expected) {
    SCOPED_TRACE(want.nm_row);
    const elf_symbol* got = find_symbol(image, want.name);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->value, want.value);
    EXPECT_EQ(got->size, want.size);
    EXPECT_EQ(got->type, want.type);
    EXPECT_EQ(got->binding, want.binding);
    EXPECT_EQ(got->place, want.place);
    EXPECT_EQ(got->section_index, want.section);
    EXPECT_EQ(got->file, want.file);
  }
  // readelf -s: entry 19 is the FILE symbol of startup.c, entry 0 the null symbol.
  EXPECT_EQ(image.symbols[19].type, k_stt_file);
  EXPECT_EQ(image.symbols[19].name, "startup.c");
  EXPECT_EQ(image.symbols[19].file, "startup.c");
  EXPECT_EQ(image.symbols[0].place, elf_symbol_place::undefined);
  EXPECT_EQ(image.symbols[0].name, "");
}

TEST(ElfImageFirmware, BigEndianImageReadsAsReadelfAndNmShowIt) {
  const elf_read_result result =
      read_elf_image(test_support::source_dir() + "/examples/arm-big-endian/firmware.elf");
  ASSERT_TRUE(result.ok) << result.error;
  const elf_image& image = result.image;
  EXPECT_EQ(image.header.file_class, elf_class::elf32);
  EXPECT_EQ(image.header.data, elf_data::big_endian);
  EXPECT_EQ(image.header.machine, k_em_arm);
  EXPECT_EQ(image.header.flags, 0x5800200u);  // Version5 EABI, BE8
  EXPECT_EQ(image.header.entry, 1u);
  EXPECT_EQ(image.header.sh_offset, 0x21fcu);

  // readelf -SlW by hand. The first segment has PhysAddr 0, the second 0x38, so .data loads at
  // 0x38 and .bss 8 bytes into the second segment's memory, at 0x40.
  const std::uint64_t a = k_shf_alloc, w = k_shf_write, x = k_shf_execinstr;
  const std::uint64_t ms = k_shf_merge | k_shf_strings;
  const std::vector<expected_section> expected = {
      {"", k_sht_null, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {".text", k_sht_progbits, 0, 0x1000, 0x30, 0, a | x, 0, 0, 4, 0},
      {".rodata", k_sht_progbits, 0x30, 0x1030, 8, 0, a, 0, 0, 2, 0x30},
      {".data", k_sht_progbits, 0x10000000, 0x2000, 8, 0, w | a, 0, 0, 4, 0x38},
      {".bss", k_sht_nobits, 0x10000008, 0x2008, 0x40, 0, w | a, 0, 0, 4, 0x40},
      {".comment", k_sht_progbits, 0, 0x2008, 0x26, 1, ms, 0, 0, 1, 0},
      {".ARM.attributes", k_sht_arm_attributes, 0, 0x202e, 0x2d, 0, 0, 0, 0, 1, 0},
      {".symtab", k_sht_symtab, 0, 0x205c, 0x120, 0x10, 0, 8, 14, 4, 0},
      {".strtab", k_sht_strtab, 0, 0x217c, 0x33, 0, 0, 0, 0, 1, 0},
      {".shstrtab", k_sht_strtab, 0, 0x21af, 0x4d, 0, 0, 0, 0, 1, 0},
  };
  expect_sections(image, expected);
  ASSERT_EQ(image.segments.size(), 2u);
  EXPECT_EQ(image.segments[1].offset, 0x2000u);
  EXPECT_EQ(image.segments[1].virtual_address, 0x10000000u);
  EXPECT_EQ(image.segments[1].physical_address, 0x38u);
  EXPECT_EQ(image.segments[1].file_size, 8u);
  EXPECT_EQ(image.segments[1].memory_size, 0x48u);
  EXPECT_EQ(image.segments[1].flags, 6u);  // RW
  EXPECT_EQ(image.segments[0].flags, 5u);  // R E

  // nm -S; _start is a Thumb function, its bit 0 set in the table.
  struct nm_row {
    const char* name;
    std::uint64_t value;
    std::uint64_t size;
    std::uint8_t binding;
    std::uint32_t section;
  };
  const std::vector<nm_row> rows = {
      {"_start", 0x00000001, 0x30, k_stb_global, 1},   // 00000000 00000030 T _start
      {"buffer", 0x10000008, 0x40, k_stb_global, 4},   // 10000008 00000040 B buffer
      {"counter", 0x10000000, 0x04, k_stb_global, 3},  // 10000000 00000004 D counter
      {"s_rounds", 0x10000004, 0x04, k_stb_local, 3},  // 10000004 00000004 d s_rounds
      {"table", 0x00000030, 0x08, k_stb_global, 2},    // 00000030 00000008 R table
  };
  ASSERT_EQ(image.symbols.size(), 0x120u / 16);
  for (const nm_row& row : rows) {
    SCOPED_TRACE(row.name);
    const elf_symbol* got = find_symbol(image, row.name);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->value, row.value);
    EXPECT_EQ(got->size, row.size);
    EXPECT_EQ(got->binding, row.binding);
    EXPECT_EQ(got->section_index, row.section);
    EXPECT_EQ(got->file, row.binding == k_stb_local ? "main.c" : "");
  }
}

TEST(ElfImageFirmware, RiscV64ImageReadsAsReadelfAndNmShowIt) {
  const elf_read_result result =
      read_elf_image(test_support::source_dir() + "/examples/riscv64/firmware.elf");
  ASSERT_TRUE(result.ok) << result.error;
  const elf_image& image = result.image;
  // readelf -h: ELF64, little endian, RISC-V, flags 0x1 (RVC, soft-float ABI).
  EXPECT_EQ(image.header.file_class, elf_class::elf64);
  EXPECT_EQ(image.header.data, elf_data::little_endian);
  EXPECT_EQ(image.header.machine, k_em_riscv);
  EXPECT_EQ(image.header.type, 2);  // EXEC
  EXPECT_EQ(image.header.flags, 0x1u);
  EXPECT_EQ(image.header.entry, 0x20000000u);
  EXPECT_EQ(image.header.ph_offset, 64u);
  EXPECT_EQ(image.header.sh_offset, 0x59d8u);
  EXPECT_EQ(image.header.names_section, 19u);

  // readelf -SlW by hand; the load addresses from its program headers: .text and .rodata in the
  // first LOAD (PhysAddr = VirtAddr), .data at the start of the second, whose PhysAddr is
  // 0x20000cc0, .bss 0x38 bytes into that segment's memory (0x20000cf8), .stack at the start of
  // the third, PhysAddr 0x20000d00. The RISCV_ATTRIBUTES header before them gives no load
  // address: it is no LOAD, and .riscv.attributes is not allocated.
  const std::uint64_t a = k_shf_alloc, w = k_shf_write, x = k_shf_execinstr;
  const std::uint64_t ms = k_shf_merge | k_shf_strings;
  const std::vector<expected_section> expected = {
      {"", k_sht_null, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {".text", k_sht_progbits, 0x20000000, 0x1000, 0x928, 0, a | x, 0, 0, 2, 0x20000000},
      {".rodata", k_sht_progbits, 0x20000928, 0x1928, 0x398, 0, a, 0, 0, 8, 0x20000928},
      {".data", k_sht_progbits, 0x80000000, 0x2000, 0x38, 0, w | a, 0, 0, 8, 0x20000cc0},
      {".bss", k_sht_nobits, 0x80000038, 0x2038, 0x58, 0, w | a, 0, 0, 8, 0x20000cf8},
      {".stack", k_sht_nobits, 0x80000090, 0x2090, 0x1000, 0, w | a, 0, 0, 16, 0x20000d00},
      {".comment", k_sht_progbits, 0, 0x2038, 0x40, 1, ms, 0, 0, 1, 0},
      {".riscv.attributes", k_sht_riscv_attributes, 0, 0x2078, 0x41, 0, 0, 0, 0, 1, 0},
      {".debug_aranges", k_sht_progbits, 0, 0x20b9, 0x100, 0, 0, 0, 0, 1, 0},
      {".debug_info", k_sht_progbits, 0, 0x21b9, 0xc78, 0, 0, 0, 0, 1, 0},
      {".debug_abbrev", k_sht_progbits, 0, 0x2e31, 0x688, 0, 0, 0, 0, 1, 0},
      {".debug_line", k_sht_progbits, 0, 0x34b9, 0x8b9, 0, 0, 0, 0, 1, 0},
      {".debug_frame", k_sht_progbits, 0, 0x3d78, 0x190, 0, 0, 0, 0, 8, 0},
      {".debug_str", k_sht_progbits, 0, 0x3f08, 0x42b, 1, ms, 0, 0, 1, 0},
      {".debug_line_str", k_sht_progbits, 0, 0x4333, 0x27b, 1, ms, 0, 0, 1, 0},
      {".debug_rnglists", k_sht_progbits, 0, 0x45ae, 0x15d, 0, 0, 0, 0, 1, 0},
      {".debug_loclists", k_sht_progbits, 0, 0x470b, 0x26a, 0, 0, 0, 0, 1, 0},
      {".symtab", k_sht_symtab, 0, 0x4978, 0xb28, 0x18, 0, 18, 63, 8, 0},
      {".strtab", k_sht_strtab, 0, 0x54a0, 0x460, 0, 0, 0, 0, 1, 0},
      {".shstrtab", k_sht_strtab, 0, 0x5900, 0xd3, 0, 0, 0, 0, 1, 0},
  };
  expect_sections(image, expected);
  const std::vector<std::int64_t> load_segments = {-1, 1, 1, 2, 2, 3, -1, -1};
  for (std::size_t i = 0; i < load_segments.size(); ++i) {
    SCOPED_TRACE("section " + std::to_string(i));
    EXPECT_EQ(image.sections[i].load_segment, load_segments[i]);
  }

  // Type Offset VirtAddr PhysAddr FileSiz MemSiz Flg(R 4, R E 5, RW 6) Align.
  struct expected_segment {
    std::uint32_t type;
    std::uint64_t offset, vaddr, paddr, filesz, memsz;
    std::uint32_t flags;
    std::uint64_t alignment;
  };
  const std::vector<expected_segment> segments = {
      {k_pt_riscv_attributes, 0x002078, 0, 0, 0x000041, 0x000000, 4, 1},
      {k_pt_load, 0x001000, 0x20000000, 0x20000000, 0x000cc0, 0x000cc0, 5, 0x1000},
      {k_pt_load, 0x002000, 0x80000000, 0x20000cc0, 0x000038, 0x000090, 6, 0x1000},
      {k_pt_load, 0x000090, 0x80000090, 0x20000d00, 0x000000, 0x001000, 6, 0x1000},
  };
  ASSERT_EQ(image.segments.size(), segments.size());
  for (std::size_t i = 0; i < segments.size(); ++i) {
    SCOPED_TRACE("segment " + std::to_string(i));
    EXPECT_EQ(image.segments[i].type, segments[i].type);
    EXPECT_EQ(image.segments[i].offset, segments[i].offset);
    EXPECT_EQ(image.segments[i].virtual_address, segments[i].vaddr);
    EXPECT_EQ(image.segments[i].physical_address, segments[i].paddr);
    EXPECT_EQ(image.segments[i].file_size, segments[i].filesz);
    EXPECT_EQ(image.segments[i].memory_size, segments[i].memsz);
    EXPECT_EQ(image.segments[i].flags, segments[i].flags);
    EXPECT_EQ(image.segments[i].alignment, segments[i].alignment);
  }

  // readelf -sW rows, taken by their index; the nm -S --defined-only letter beside each. The
  // mapping symbol $x... and the FILE symbols are in readelf's list only. The file is that of
  // the last FILE symbol before a local: crt0.c for _cstart, the nameless one (entry 58, ABS)
  // for the constructor table symbols behind it.
  EXPECT_EQ(image.symbol_section, 17);
  ASSERT_EQ(image.symbols.size(), 0xb28u / 24);  // 119 entries
  struct expected_symbol {
    std::size_t index;
    const char* name;
    std::uint64_t value;
    std::uint64_t size;
    std::uint8_t type;
    std::uint8_t binding;
    std::uint8_t visibility;
    elf_symbol_place place;
    std::uint32_t section;
    const char* file;
  };
  const auto in_sec = elf_symbol_place::in_section;
  const auto absolute = elf_symbol_place::absolute;
  const std::vector<expected_symbol> symbols = {
      // 17: 0 FILE LOCAL DEFAULT ABS crt0.c
      {17, "crt0.c", 0, 0, k_stt_file, k_stb_local, 0, absolute, k_shn_abs, "crt0.c"},
      // 18: 0000000020000014 68 FUNC LOCAL DEFAULT 1 _cstart (nm: t)
      {18, "_cstart", 0x20000014, 68, k_stt_func, k_stb_local, 0, in_sec, 1, "crt0.c"},
      // 22: 0000000020000058 0 NOTYPE LOCAL DEFAULT 1 $xrv64i2p1_m2p0_a2p1_c2p0_zmmul1p0
      {22, "$xrv64i2p1_m2p0_a2p1_c2p0_zmmul1p0", 0x20000058, 0, k_stt_notype, k_stb_local, 0,
       in_sec, 1, "main.c"},
      // 25: 0000000080000000 16 OBJECT LOCAL DEFAULT 3 s_calibration (nm: d)
      {25, "s_calibration", 0x80000000, 16, k_stt_object, k_stb_local, 0, in_sec, 3, "main.c"},
      // 26: 0000000080000048 70 OBJECT LOCAL DEFAULT 4 s_frame (nm: b)
      {26, "s_frame", 0x80000048, 70, k_stt_object, k_stb_local, 0, in_sec, 4, "main.c"},
      // 32: 0000000020000226 22 FUNC LOCAL DEFAULT 1 scramble (nm: t)
      {32, "scramble", 0x20000226, 22, k_stt_func, k_stb_local, 0, in_sec, 1, "sequence.c"},
      // 34: 0000000080000030 4 OBJECT LOCAL DEFAULT 3 state.0 (nm: d)
      {34, "state.0", 0x80000030, 4, k_stt_object, k_stb_local, 0, in_sec, 3, "sequence.c"},
      // 39: 0000000020000a18 512 OBJECT LOCAL DEFAULT 2 k_crc16_table (nm: r)
      {39, "k_crc16_table", 0x20000a18, 512, k_stt_object, k_stb_local, 0, in_sec, 2, "crc16.c"},
      // 61: 0000000020000cc0 0 NOTYPE LOCAL DEFAULT 2 __init_array_start (nm: r)
      {61, "__init_array_start", 0x20000cc0, 0, k_stt_notype, k_stb_local, 0, in_sec, 2, ""},
      // 64: 0000000000001000 0 NOTYPE GLOBAL DEFAULT ABS STACK_SIZE (nm: A)
      {64, "STACK_SIZE", 0x1000, 0, k_stt_notype, k_stb_global, 0, absolute, k_shn_abs, ""},
      // 66: 0000000080000830 0 NOTYPE GLOBAL DEFAULT 3 __global_pointer$ (nm: D), beyond the
      // end of .data (0x80000038): 2 KiB into the small data
      {66, "__global_pointer$", 0x80000830, 0, k_stt_notype, k_stb_global, 0, in_sec, 3, ""},
      // 67: 0000000020000cb8 8 OBJECT GLOBAL DEFAULT 2 stdout (nm: R)
      {67, "stdout", 0x20000cb8, 8, k_stt_object, k_stb_global, 0, in_sec, 2, ""},
      // 68: 00000000200002fa 48 FUNC GLOBAL HIDDEN 1 __riscv_save_8 (nm: T)
      {68, "__riscv_save_8", 0x200002fa, 48, k_stt_func, k_stb_global, k_stv_hidden, in_sec, 1, ""},
      // 79: 000000002000044a 1222 FUNC GLOBAL DEFAULT 1 __i_vfprintf (nm: T)
      {79, "__i_vfprintf", 0x2000044a, 1222, k_stt_func, k_stb_global, 0, in_sec, 1, ""},
      // 94: 0000000020000000 20 FUNC GLOBAL DEFAULT 1 _start (nm: T)
      {94, "_start", 0x20000000, 20, k_stt_func, k_stb_global, 0, in_sec, 1, ""},
      // 96: 0000000020000220 6 FUNC WEAK DEFAULT 1 board_idle (nm: W)
      {96, "board_idle", 0x20000220, 6, k_stt_func, k_stb_weak, 0, in_sec, 1, ""},
      // 106: 0000000020000058 408 FUNC GLOBAL DEFAULT 1 main (nm: T)
      {106, "main", 0x20000058, 408, k_stt_func, k_stb_global, 0, in_sec, 1, ""},
      // 109: 0000000080001090 0 NOTYPE GLOBAL DEFAULT 5 __stack (nm: B), the end of .stack
      {109, "__stack", 0x80001090, 0, k_stt_notype, k_stb_global, 0, in_sec, 5, ""},
      // 111: 0000000000000000 0 FUNC GLOBAL DEFAULT ABS vfscanf (nm: A)
      {111, "vfscanf", 0, 0, k_stt_func, k_stb_global, 0, absolute, k_shn_abs, ""},
  };
  for (const expected_symbol& want : symbols) {
    SCOPED_TRACE(std::to_string(want.index) + " " + want.name);
    const elf_symbol& got = image.symbols[want.index];
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.value, want.value);
    EXPECT_EQ(got.size, want.size);
    EXPECT_EQ(got.type, want.type);
    EXPECT_EQ(got.binding, want.binding);
    EXPECT_EQ(got.visibility, want.visibility);
    EXPECT_EQ(got.place, want.place);
    EXPECT_EQ(got.section_index, want.section);
    EXPECT_EQ(got.file, want.file);
  }
  EXPECT_EQ(image.symbols[0].place, elf_symbol_place::undefined);
  EXPECT_EQ(image.symbols[0].name, "");
}

// ---------------------------------------------------------------------------------------------
// Made images: the same layout in both classes and byte orders.

struct variant {
  const char* what;
  elf_class file_class;
  elf_data data;
};

class ElfImageVariants : public ::testing::TestWithParam<variant> {};

TEST_P(ElfImageVariants, SectionsSegmentsAndSymbolsReadInEveryClassAndByteOrder) {
  test_image image;
  image.file_class = GetParam().file_class;
  image.data = GetParam().data;
  const bool w = image.file_class == elf_class::elf64;
  // ELF64 puts the image above 4 GiB, with the load image at yet another address.
  const std::uint64_t base = w ? 0x123456780ull : 0x08000000;
  const std::uint64_t ram = w ? 0x200000000ull : 0x20000000;
  const std::uint64_t phys = w ? 0xfedcba9876543000ull : 0x00100000;
  image.sections.push_back(progbits(".text", base, 0x1000, 0x40, k_shf_alloc | k_shf_execinstr));
  image.sections.push_back(progbits(".data", ram, 0x1040, 0x10, k_shf_alloc | k_shf_write));
  image.sections.push_back(nobits(".bss", ram + 0x10, 0x30));
  add_symbols(
      image,
      {
          {"crt.c", 0, 0, k_stt_file, k_stb_local, 0, static_cast<std::uint16_t>(k_shn_abs)},
          {"s_counter", ram + 0x10, 4, k_stt_object, k_stb_local, 0, 3},
          {"main", base + 1, 0x20, k_stt_func, k_stb_global, 0, 1},
          {"weak_hook", 0, 0, k_stt_func, k_stb_weak, 2, 0},  // STV_HIDDEN
          {"shared", 8, 64, k_stt_object, k_stb_global, 0,
           static_cast<std::uint16_t>(k_shn_common)},
      },
      4);
  image.segments.push_back(load(0x1000, base, phys, 0x40, 0x40));
  image.segments.push_back(load(0x1040, ram, phys + 0x40, 0x10, 0x40));
  const written_image written = write_image(image);

  const elf_read_result result = read_bytes(written.bytes);
  ASSERT_TRUE(result.ok) << result.error;
  const elf_image& got = result.image;
  EXPECT_EQ(got.header.file_class, image.file_class);
  EXPECT_EQ(got.header.data, image.data);
  EXPECT_EQ(got.header.machine, k_em_arm);
  EXPECT_EQ(got.header.flags, 0x5000200u);
  EXPECT_EQ(got.header.entry, 0x8000u);
  ASSERT_EQ(got.sections.size(), 7u);  // null, .text, .data, .bss, .symtab, .strtab, .shstrtab
  EXPECT_EQ(got.sections[1].name, ".text");
  EXPECT_EQ(got.sections[1].address, base);
  EXPECT_EQ(got.sections[1].offset, 0x1000u);
  EXPECT_EQ(got.sections[1].size, 0x40u);
  EXPECT_EQ(got.sections[1].flags, k_shf_alloc | k_shf_execinstr);
  EXPECT_EQ(got.sections[1].load_address, phys);
  EXPECT_EQ(got.sections[2].name, ".data");
  EXPECT_EQ(got.sections[2].load_address, phys + 0x40);
  EXPECT_EQ(got.sections[3].name, ".bss");
  EXPECT_EQ(got.sections[3].type, k_sht_nobits);
  EXPECT_EQ(got.sections[3].size, 0x30u);
  EXPECT_EQ(got.sections[3].load_address, phys + 0x50);
  EXPECT_EQ(got.sections[4].name, ".symtab");
  EXPECT_EQ(got.sections[4].link, 5u);
  EXPECT_EQ(got.sections[6].name, ".shstrtab");
  ASSERT_EQ(got.segments.size(), 2u);
  EXPECT_EQ(got.segments[1].offset, 0x1040u);
  EXPECT_EQ(got.segments[1].virtual_address, ram);
  EXPECT_EQ(got.segments[1].physical_address, phys + 0x40);
  EXPECT_EQ(got.segments[1].file_size, 0x10u);
  EXPECT_EQ(got.segments[1].memory_size, 0x40u);
  EXPECT_EQ(got.segments[1].flags, 6u);

  ASSERT_EQ(got.symbols.size(), 6u);
  EXPECT_EQ(got.symbol_section, 4);
  const elf_symbol& counter = got.symbols[2];
  EXPECT_EQ(counter.name, "s_counter");
  EXPECT_EQ(counter.value, ram + 0x10);
  EXPECT_EQ(counter.size, 4u);
  EXPECT_EQ(counter.type, k_stt_object);
  EXPECT_EQ(counter.binding, k_stb_local);
  EXPECT_EQ(counter.place, elf_symbol_place::in_section);
  EXPECT_EQ(counter.section_index, 3u);
  EXPECT_EQ(counter.file, "crt.c");
  const elf_symbol& main_symbol = got.symbols[3];
  EXPECT_EQ(main_symbol.value, base + 1);
  EXPECT_EQ(main_symbol.size, 0x20u);
  EXPECT_EQ(main_symbol.type, k_stt_func);
  EXPECT_EQ(main_symbol.binding, k_stb_global);
  EXPECT_EQ(main_symbol.file, "");
  EXPECT_EQ(got.symbols[4].binding, k_stb_weak);
  EXPECT_EQ(got.symbols[4].visibility, 2);
  EXPECT_EQ(got.symbols[4].place, elf_symbol_place::undefined);
  EXPECT_EQ(got.symbols[5].place, elf_symbol_place::common);
  EXPECT_EQ(got.symbols[5].section_index, k_shn_common);
  EXPECT_EQ(got.symbols[1].place, elf_symbol_place::absolute);
}

INSTANTIATE_TEST_SUITE_P(
    AllClasses, ElfImageVariants,
    ::testing::Values(variant{"Elf32Little", elf_class::elf32, elf_data::little_endian},
                      variant{"Elf32Big", elf_class::elf32, elf_data::big_endian},
                      variant{"Elf64Little", elf_class::elf64, elf_data::little_endian},
                      variant{"Elf64Big", elf_class::elf64, elf_data::big_endian}),
    [](const ::testing::TestParamInfo<variant>& param) { return std::string(param.param.what); });

TEST(ElfImage, ImageWithoutSectionsOrSegmentsIsAccepted) {
  for (const elf_class file_class : {elf_class::elf32, elf_class::elf64}) {
    test_image image;
    image.file_class = file_class;
    image.section_headers = false;
    const elf_read_result result = read_bytes(write_image(image).bytes);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.image.sections.empty());
    EXPECT_TRUE(result.image.segments.empty());
    EXPECT_TRUE(result.image.symbols.empty());
    EXPECT_EQ(result.image.symbol_section, -1);
    EXPECT_EQ(result.image.header.names_section, 0u);
  }
}

TEST(ElfImage, Elf64AddressesBeyondFourGibKeepEveryBit) {
  test_image image;
  image.file_class = elf_class::elf64;
  image.machine = k_em_x86_64;
  image.sections.push_back(progbits(".text", 0xffffffff80001000ull, 0x1000, 0x20));
  image.segments.push_back(load(0x1000, 0xffffffff80001000ull, 0x100001000ull, 0x20, 0x20));
  const elf_read_result result = read_bytes(write_image(image).bytes);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.image.header.machine, k_em_x86_64);
  EXPECT_EQ(result.image.sections[1].address, 0xffffffff80001000ull);
  EXPECT_EQ(result.image.sections[1].load_address, 0x100001000ull);
  EXPECT_EQ(result.image.segments[0].virtual_address, 0xffffffff80001000ull);
}

// ---------------------------------------------------------------------------------------------
// Load addresses.

struct load_case {
  const char* what;
  std::vector<test_section> sections;
  std::vector<elf_segment> segments;
  std::vector<std::uint64_t> load_addresses;  ///< of sections 1 to n
  std::vector<std::int64_t> load_segments;
};

std::vector<load_case> load_cases() {
  return {
      {"data copied to flash, bss after it in the same segment's memory",
       {progbits(".data", 0x20000000, 0x1000, 0x20), nobits(".bss", 0x20000020, 0x40)},
       {load(0x1000, 0x20000000, 0x08004000, 0x20, 0x60)},
       {0x08004000, 0x08004020},
       {0, 0}},
      {"NOBITS in a segment of its own with no file bytes",
       {progbits(".text", 0x08000000, 0x1000, 0x10), nobits(".stack", 0x20001000, 0x800)},
       {load(0x1000, 0x08000000, 0x08000000, 0x10, 0x10),
        load(0x1010, 0x20001000, 0x08000010, 0, 0x800)},
       {0x08000000, 0x08000010},
       {0, 1}},
      {"several PT_LOADs all with p_paddr 0: the run addresses",
       {progbits(".text", 0x1000, 0x1000, 0x10), progbits(".data", 0x2000, 0x2000, 0x10),
        nobits(".bss", 0x2010, 0x10)},
       {load(0x1000, 0x1000, 0, 0x10, 0x10), load(0x2000, 0x2000, 0, 0x10, 0x20)},
       {0x1000, 0x2000, 0x2010},
       {-1, -1, -1}},
      {"p_paddr 0 in every PT_LOAD but not in a note: binutils takes the segments",
       {progbits(".text", 0x1000, 0x1000, 0x10), progbits(".data", 0x2000, 0x2000, 0x10)},
       {load(0x1000, 0x1000, 0, 0x10, 0x10), load(0x2000, 0x2000, 0, 0x10, 0x10), note_at(0x5000)},
       {0, 0},
       {0, 1}},
      {"a single PT_LOAD with p_paddr 0 still gives the load address",
       {progbits(".text", 0x1000, 0x1000, 0x10), nobits(".bss", 0x1010, 0x10)},
       {load(0x1000, 0x1000, 0, 0x10, 0x20)},
       {0, 0x10},
       {0, 0}},
      {"a section in no segment keeps its run address",
       {progbits(".text", 0x08000000, 0x1000, 0x10), progbits(".extra", 0x30000000, 0x1010, 0x8),
        progbits(".comment", 0, 0x1018, 0x8, 0)},
       {load(0x1000, 0x08000000, 0x00400000, 0x10, 0x10)},
       {0x00400000, 0x30000000, 0},
       {0, -1, -1}},
      {"contents must lie in the segment's file bytes, not only in its memory",
       {progbits(".data", 0x20000000, 0x1100, 0x10)},
       {load(0x1000, 0x20000000, 0x08000000, 0x10, 0x100)},
       {0x20000000},
       {-1}},
      {"an empty section between two segments goes with the one whose memory holds it",
       {progbits(".a", 0x1000, 0x1000, 0x10), progbits(".empty", 0x5000, 0x1010, 0),
        progbits(".b", 0x5000, 0x1010, 0x10)},
       {load(0x1000, 0x1000, 0x9000, 0x10, 0x10), load(0x1010, 0x5000, 0xa000, 0x10, 0x10)},
       {0x9000, 0xa000, 0xa000},
       {0, 1, 1}},
      {"the first segment that holds the section wins",
       {progbits(".text", 0x1000, 0x1000, 0x10)},
       {load(0x1000, 0x1000, 0x7000, 0x10, 0x10), load(0x1000, 0x1000, 0x8000, 0x10, 0x10)},
       {0x7000},
       {0}},
  };
}

TEST(ElfImageLoadAddresses, AreThoseBinutilsComputes) {
  for (const load_case& c : load_cases()) {
    for (const elf_class file_class : {elf_class::elf32, elf_class::elf64}) {
      SCOPED_TRACE(std::string(c.what) + (file_class == elf_class::elf32 ? " ELF32" : " ELF64"));
      test_image image;
      image.file_class = file_class;
      image.sections = c.sections;
      image.segments = c.segments;
      const elf_read_result result = read_bytes(write_image(image).bytes);
      ASSERT_TRUE(result.ok) << result.error;
      ASSERT_EQ(result.image.sections.size(), c.sections.size() + 2);
      for (std::size_t i = 0; i < c.load_addresses.size(); ++i) {
        EXPECT_EQ(result.image.sections[i + 1].load_address, c.load_addresses[i]) << i + 1;
        EXPECT_EQ(result.image.sections[i + 1].load_segment, c.load_segments[i]) << i + 1;
      }
    }
  }
}

TEST(ElfImageLoadAddresses, TlsSectionTakesItsLoadAddressFromPtTls) {
  test_image image;
  test_section tdata = progbits(".tdata", 0x20000000, 0x1000, 0x10, k_shf_alloc | k_shf_tls);
  image.sections.push_back(tdata);
  image.segments.push_back(load(0x1000, 0x20000000, 0x08000000, 0x10, 0x10));
  elf_segment tls = load(0x1000, 0x20000000, 0x08100000, 0x10, 0x10);
  tls.type = k_pt_tls;
  image.segments.push_back(tls);
  const elf_read_result result = read_bytes(write_image(image).bytes);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.image.sections[1].load_address, 0x08100000u);
  EXPECT_EQ(result.image.sections[1].load_segment, 1);
}

// ---------------------------------------------------------------------------------------------
// Refused images, each with its reason.

struct refusal_case {
  const char* what;
  std::function<std::string()> make;
  std::string error;
};

/// A small sound ELF32 image with symbols: null, .text, .symtab, .strtab, .shstrtab.
test_image small_image(elf_class file_class = elf_class::elf32,
                       elf_data data = elf_data::little_endian) {
  test_image image;
  image.file_class = file_class;
  image.data = data;
  image.sections.push_back(progbits(".text", 0x1000, 0x1000, 0x10));
  add_symbols(image, {{"main", 0x1000, 0x10, k_stt_func, k_stb_global, 0, 1}}, 2);
  image.segments.push_back(load(0x1000, 0x1000, 0x1000, 0x10, 0x10));
  return image;
}

std::vector<refusal_case> refusal_cases() {
  using c = elf_class;
  return {
      {"empty file", [] { return std::string(); },
       "the file is not an ELF image: it does not begin with 0x7f 'E' 'L' 'F'"},
      {"other magic", [] { return std::string("MZ\x90\0\3\0\0\0", 8) + std::string(100, '\0'); },
       "the file is not an ELF image: it does not begin with 0x7f 'E' 'L' 'F'"},
      {"identification cut",
       [] {
         return std::string(
             "\x7f"
             "ELF\1\1\1",
             7);
       },
       "the file ends inside the ELF identification (7 of 16 bytes)"},
      {"unknown class",
       [] {
         std::string bytes = write_image(small_image()).bytes;
         bytes[4] = 3;
         return bytes;
       },
       "EI_CLASS 3 is neither ELF32 (1) nor ELF64 (2)"},
      {"unknown byte order",
       [] {
         std::string bytes = write_image(small_image()).bytes;
         bytes[5] = 0;
         return bytes;
       },
       "EI_DATA 0 is neither little endian (1) nor big endian (2)"},
      {"header cut", [] { return write_image(small_image(c::elf64)).bytes.substr(0, 40); },
       "the file ends inside its ELF64 header (40 of 64 bytes)"},
      {"last section headers cut off",
       [] {
         const written_image w = write_image(small_image());
         // Headers 0 to 2 whole, then 10 bytes of header 3.
         return w.bytes.substr(0, static_cast<std::size_t>(w.sh_offset + 3 * 40 + 10));
       },
       "section header 3 lies beyond the end of the file"},
      {"e_shnum far beyond the file",
       [] {
         written_image w = write_image(small_image());
         patch(w.bytes, 48, 60000, 2, false);
         return w.bytes;
       },
       // The file ends right behind its five headers.
       "section header 5 lies beyond the end of the file"},
      {"a billion section headers counted in section 0 of a small file",
       [] {
         written_image w = write_image(small_image(c::elf64, elf_data::big_endian));
         patch(w.bytes, 60, 0, 2, true);  // e_shnum 0: the count is in sh_size
         patch(w.bytes, w.sh_offset + 32, 1000000000, 8, true);  // of section 0
         return w.bytes;
       },
       "section header 5 lies beyond the end of the file"},
      {"section header table beyond the end",
       [] {
         written_image w = write_image(small_image());
         patch(w.bytes, 32, 0x7ffffff0, 4, false);
         return w.bytes;
       },
       "section header 0 lies beyond the end of the file"},
      {"e_shentsize too small",
       [] {
         written_image w = write_image(small_image());
         patch(w.bytes, 46, 12, 2, false);
         return w.bytes;
       },
       "e_shentsize 12 is smaller than an ELF32 section header"},
      {"e_shentsize too small for ELF64",
       [] {
         written_image w = write_image(small_image(c::elf64));
         patch(w.bytes, 58, 40, 2, false);
         return w.bytes;
       },
       "e_shentsize 40 is smaller than an ELF64 section header"},
      {"e_shstrndx beyond the sections",
       [] {
         written_image w = write_image(small_image());
         patch(w.bytes, 50, 9, 2, false);
         return w.bytes;
       },
       "e_shstrndx 9 names no section (there are 5)"},
      {"e_shstrndx names a section that is no string table",
       [] {
         written_image w = write_image(small_image());
         patch(w.bytes, 50, 1, 2, false);
         return w.bytes;
       },
       // Without a name table there are no names yet.
       "section 1 is of type 1, not a string table (SHT_STRTAB)"},
      {"section name table without its NUL",
       [] {
         written_image w = write_image(small_image());
         // The table ends with ".shstrtab\0"; its last byte becomes 'x'.
         const std::string names = std::string("\0.text\0.symtab\0.strtab\0.shstrtab\0", 33);
         w.bytes[static_cast<std::size_t>(w.offsets[4] + names.size() - 1)] = 'x';
         return w.bytes;
       },
       "string table without its NUL"},
      {"symbol string table without its NUL",
       [] {
         written_image w = write_image(small_image());
         w.bytes[static_cast<std::size_t>(w.offsets[3] + std::string("\0main", 5).size())] = 'n';
         return w.bytes;
       },
       "string table without its NUL"},
      {"section name offset beyond its string table",
       [] {
         test_image image = small_image();
         image.sections[0].name_offset = 0x40;  // the table holds 33 bytes
         return write_image(image).bytes;
       },
       "section 1 name offset 0x40 lies beyond its string table"},
      {"section name offset just past the table's end",
       [] {
         test_image image = small_image();
         image.sections[0].name_offset = 33;
         return write_image(image).bytes;
       },
       "section 1 name offset 0x21 lies beyond its string table"},
      {"section bytes beyond the end of the file",
       [] {
         written_image w = write_image(small_image());
         patch(w.bytes, w.sh_offset + 40 + 20, 0x100000, 4, false);  // sh_size of .text
         return w.bytes;
       },
       "section 1 (.text) lies beyond the end of the file (offset 0x1000, size 0x100000)"},
      {"section whose offset and size wrap around",
       [] {
         written_image w = write_image(small_image(c::elf64));
         patch(w.bytes, w.sh_offset + 64 + 24, 0xfffffffffffffff0ull, 8, false);
         patch(w.bytes, w.sh_offset + 64 + 32, 0x20, 8, false);
         return w.bytes;
       },
       "section 1 (.text) lies beyond the end of the file (offset 0xfffffffffffffff0, size 0x20)"},
      {"symbol table entry size wrong",
       [] {
         test_image image = small_image();
         image.sections[1].entry_size = 20;
         return write_image(image).bytes;
       },
       "symbol table entry size 20 is not the 16 bytes of an ELF32 symbol"},
      {"ELF64 symbol table with the ELF32 entry size",
       [] {
         test_image image = small_image(c::elf64);
         image.sections[1].entry_size = 16;
         return write_image(image).bytes;
       },
       "symbol table entry size 16 is not the 24 bytes of an ELF64 symbol"},
      {"symbol table not a whole number of symbols",
       [] {
         test_image image = small_image();
         image.sections[1].contents += "abc";
         return write_image(image).bytes;
       },
       "symbol table size 0x23 is not a whole number of 16-byte symbols"},
      {"symbol table linking no string table",
       [] {
         test_image image = small_image();
         image.sections[1].link = 1;
         return write_image(image).bytes;
       },
       "symbol table links section 1, which is not a string table"},
      {"symbol table linking a section that does not exist",
       [] {
         test_image image = small_image();
         image.sections[1].link = 99;
         return write_image(image).bytes;
       },
       "symbol table links section 99, which is not a string table"},
      {"symbol in a section that does not exist",
       [] {
         test_image image = small_image();
         image.sections.resize(1);
         add_symbols(image, {{"main", 0x1000, 0x10, k_stt_func, k_stb_global, 0, 40}}, 2);
         return write_image(image).bytes;
       },
       "symbol 1 (main) points at section 40, which does not exist (there are 5 sections)"},
      {"symbol in the section just past the last",
       [] {
         test_image image = small_image(c::elf64, elf_data::big_endian);
         image.sections.resize(1);
         add_symbols(image, {{"x", 0, 0, k_stt_object, k_stb_local, 0, 5}}, 2);
         return write_image(image).bytes;
       },
       "symbol 1 (x) points at section 5, which does not exist (there are 5 sections)"},
      {"symbol name offset beyond its string table",
       [] {
         test_image image = small_image();
         image.sections.resize(1);
         test_symbol symbol{"main", 0x1000, 0x10, k_stt_func, k_stb_global, 0, 1};
         symbol.name_offset = 6;  // the table holds "\0main\0"
         add_symbols(image, {symbol}, 2);
         return write_image(image).bytes;
       },
       "symbol 1 name offset 0x6 lies beyond its string table"},
      {"SHN_XINDEX without an index table",
       [] {
         test_image image = small_image();
         image.sections.resize(1);
         add_symbols(image, {{"big", 0, 0, k_stt_object, k_stb_global, 0, 0xffff}}, 2);
         return write_image(image).bytes;
       },
       "symbol 1 (big) has SHN_XINDEX but the image has no SHT_SYMTAB_SHNDX table"},
      {"program headers beyond the end",
       [] {
         written_image w = write_image(small_image());
         patch(w.bytes, 44, 0xfff0, 2, false);
         return w.bytes;
       },
       // (file size - 52) / 32 headers fit.
       "program header " + std::to_string((write_image(small_image()).bytes.size() - 52) / 32) +
           " lies beyond the end of the file"},
      {"e_phentsize too small",
       [] {
         written_image w = write_image(small_image());
         patch(w.bytes, 42, 10, 2, false);
         return w.bytes;
       },
       "e_phentsize 10 is smaller than an ELF32 program header"},
      {"segment bytes beyond the end of the file",
       [] {
         written_image w = write_image(small_image());
         patch(w.bytes, 52 + 16, 0x10000000, 4, false);  // p_filesz
         return w.bytes;
       },
       "program header 0 (type 0x1) reaches beyond the end of the file (offset 0x1000, size "
       "0x10000000)"},
      {"e_phnum without a program header table",
       [] {
         written_image w = write_image(small_image());
         patch(w.bytes, 28, 0, 4, false);  // e_phoff
         return w.bytes;
       },
       "e_phnum is 1 but e_phoff is 0"},
      {"load address beyond the 32-bit address space",
       [] {
         test_image image;
         image.sections.push_back(progbits(".data", 0x20000000, 0x1000, 0x200));
         image.segments.push_back(load(0x1000, 0x20000000, 0xffffff00, 0x200, 0x200));
         return write_image(image).bytes;
       },
       "section 1 (.data) has a load address beyond the 32-bit address space"},
      {"NOBITS load address beyond the 64-bit address space",
       [] {
         test_image image;
         image.file_class = c::elf64;
         image.sections.push_back(nobits(".bss", 0x100, 0x10));
         image.segments.push_back(load(0, 0, 0xfffffffffffffff8ull, 0, 0x200));
         return write_image(image).bytes;
       },
       "section 1 (.bss) has a load address beyond the 64-bit address space"},
  };
}

TEST(ElfImageRefusals, EachGivesItsReason) {
  for (const refusal_case& c : refusal_cases()) {
    SCOPED_TRACE(c.what);
    const elf_read_result result = read_bytes(c.make());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, c.error);
    EXPECT_TRUE(result.image.sections.empty());
    EXPECT_TRUE(result.image.symbols.empty());
  }
}

TEST(ElfImageRefusals, SmallImageItselfIsAccepted) {
  // The images the refusals break are sound before they are broken.
  for (const elf_class file_class : {elf_class::elf32, elf_class::elf64}) {
    const elf_read_result result = read_bytes(write_image(small_image(file_class)).bytes);
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.image.sections.size(), 5u);
    EXPECT_EQ(result.image.symbols.size(), 2u);
  }
}

TEST(ElfImage, CountsBeyondTheHeaderFieldsComeFromSectionZero) {
  // e_shnum 0, e_shstrndx SHN_XINDEX and e_phnum PN_XNUM: section 0's sh_size, sh_link and
  // sh_info hold the section count, the name table and the program header count.
  written_image w = write_image(small_image());
  patch(w.bytes, 44, 0xffff, 2, false);
  patch(w.bytes, 48, 0, 2, false);
  patch(w.bytes, 50, 0xffff, 2, false);
  patch(w.bytes, w.sh_offset + 20, 5, 4, false);
  patch(w.bytes, w.sh_offset + 24, 4, 4, false);
  patch(w.bytes, w.sh_offset + 28, 1, 4, false);
  const elf_read_result result = read_bytes(w.bytes);
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(result.image.sections.size(), 5u);
  EXPECT_EQ(result.image.header.names_section, 4u);
  EXPECT_EQ(result.image.sections[1].name, ".text");
  ASSERT_EQ(result.image.segments.size(), 1u);
  EXPECT_EQ(result.image.segments[0].type, k_pt_load);
  EXPECT_EQ(result.image.symbols.size(), 2u);
}

TEST(ElfImageRefusals, EveryCutOfTheImageIsRefusedOrReadInsideTheCut) {
  // Cut at every length: each prefix is refused with a reason, or read with every section's
  // bytes inside the prefix.
  for (const elf_class file_class : {elf_class::elf32, elf_class::elf64}) {
    const std::string whole = write_image(small_image(file_class, elf_data::big_endian)).bytes;
    for (std::size_t length = 0; length < whole.size(); ++length) {
      const elf_read_result result = read_bytes(whole.substr(0, length));
      if (!result.ok) {
        EXPECT_FALSE(result.error.empty()) << length;
        continue;
      }
      for (const elf_section& section : result.image.sections) {
        if (section.has_contents()) {
          EXPECT_LE(section.offset + section.size, length);
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Symbols.

TEST(ElfImageSymbols, DynsymIsReadWhenThereIsNoSymtab) {
  test_image image;
  image.sections.push_back(progbits(".text", 0x1000, 0x1000, 0x10));
  add_symbols(image, {{"exported", 0x1000, 8, k_stt_func, k_stb_global, 0, 1}}, 2, k_sht_dynsym);
  const elf_read_result result = read_bytes(write_image(image).bytes);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.image.symbol_section, 2);
  ASSERT_EQ(result.image.symbols.size(), 2u);
  EXPECT_EQ(result.image.symbols[1].name, "exported");
}

TEST(ElfImageSymbols, SymtabIsPreferredToDynsym) {
  test_image image;
  image.sections.push_back(progbits(".text", 0x1000, 0x1000, 0x10));
  add_symbols(image, {{"dynamic", 0x1000, 8, k_stt_func, k_stb_global, 0, 1}}, 2, k_sht_dynsym);
  add_symbols(image,
              {{"static_one", 0x1000, 8, k_stt_func, k_stb_local, 0, 1},
               {"static_two", 0x1008, 8, k_stt_func, k_stb_global, 0, 1}},
              4);
  const elf_read_result result = read_bytes(write_image(image).bytes);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.image.symbol_section, 4);
  ASSERT_EQ(result.image.symbols.size(), 3u);
  EXPECT_EQ(result.image.symbols[2].name, "static_two");
}

TEST(ElfImageSymbols, LocalsTakeTheFileOfTheLastFileSymbolBeforeThem) {
  test_image image;
  image.sections.push_back(progbits(".text", 0x1000, 0x1000, 0x10));
  const std::uint16_t abs = static_cast<std::uint16_t>(k_shn_abs);
  add_symbols(image,
              {
                  {"before_any_file", 0x1000, 0, k_stt_notype, k_stb_local, 0, 1},
                  {"a.c", 0, 0, k_stt_file, k_stb_local, 0, abs},
                  {"in_a", 0x1000, 4, k_stt_object, k_stb_local, 0, 1},
                  {"global_in_a", 0x1004, 4, k_stt_object, k_stb_global, 0, 1},
                  {"b.c", 0, 0, k_stt_file, k_stb_local, 0, abs},
                  {"in_b", 0x1008, 4, k_stt_object, k_stb_local, 0, 1},
                  {"", 0, 0, k_stt_file, k_stb_local, 0, abs},
                  {"after_nameless_file", 0x100c, 4, k_stt_object, k_stb_local, 0, 1},
              },
              2);
  const elf_read_result result = read_bytes(write_image(image).bytes);
  ASSERT_TRUE(result.ok) << result.error;
  const std::vector<std::string> files = {"", "", "a.c", "a.c", "", "b.c", "b.c", "", ""};
  ASSERT_EQ(result.image.symbols.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(result.image.symbols[i].file, files[i]) << i;
  }
}

TEST(ElfImageSymbols, ExtendedSectionIndexComesFromSymtabShndx) {
  test_image image;
  image.sections.push_back(progbits(".text", 0x1000, 0x1000, 0x10));
  add_symbols(image,
              {{"far", 0x1000, 4, k_stt_object, k_stb_global, 0, 0xffff},
               {"near", 0x1000, 4, k_stt_object, k_stb_global, 0, 1}},
              2);
  test_section shndx;
  shndx.name = ".symtab_shndx";
  shndx.type = k_sht_symtab_shndx;
  shndx.link = 2;
  shndx.entry_size = 4;
  put(shndx.contents, 0, 4, false);
  put(shndx.contents, 1, 4, false);  // "far" is in section 1
  put(shndx.contents, 0, 4, false);
  image.sections.push_back(shndx);
  const elf_read_result result = read_bytes(write_image(image).bytes);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.image.symbols[1].place, elf_symbol_place::in_section);
  EXPECT_EQ(result.image.symbols[1].section_index, 1u);
  EXPECT_EQ(result.image.symbols[2].section_index, 1u);
}

TEST(ElfImageSymbols, ReservedIndexIsKeptAsSuch) {
  test_image image;
  image.sections.push_back(progbits(".text", 0x1000, 0x1000, 0x10));
  add_symbols(image, {{"small_common", 0, 4, k_stt_object, k_stb_global, 0, 0xff03}}, 2);
  const elf_read_result result = read_bytes(write_image(image).bytes);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.image.symbols[1].place, elf_symbol_place::reserved);
  EXPECT_EQ(result.image.symbols[1].section_index, 0xff03u);
}

// ---------------------------------------------------------------------------------------------
// Files.

TEST(ElfImageFiles, FileReadsAsTheSameBytesInMemory) {
  scoped_temp_dir dir;
  const std::string bytes = write_image(small_image(elf_class::elf64)).bytes;
  const elf_read_result from_file = read_elf_image(dir.write("image.elf", bytes));
  ASSERT_TRUE(from_file.ok) << from_file.error;
  EXPECT_EQ(*from_file.image.bytes, bytes);
  EXPECT_EQ(from_file.image.sections[1].name, ".text");
}

TEST(ElfImageFiles, MissingFileAndFolderAreRefused) {
  scoped_temp_dir dir;
  EXPECT_EQ(read_elf_image(dir.file("none.elf")).error, "cannot open the file");
  EXPECT_EQ(read_elf_image(dir.path()).error, "cannot open the file: it is a directory");
  EXPECT_EQ(read_elf_image(input_source()).error, "no file name given");
}

TEST(ElfImageFiles, NamesStayValidInACopyOfTheImage) {
  elf_image copy;
  {
    const elf_read_result result = read_bytes(write_image(small_image()).bytes);
    ASSERT_TRUE(result.ok) << result.error;
    copy = result.image;
  }
  EXPECT_EQ(copy.sections[1].name, ".text");
  EXPECT_EQ(copy.symbols[1].name, "main");
}

}  // namespace
