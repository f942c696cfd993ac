// The GNU ld map reader against the committed Cortex-M map (its output sections written from
// arm-none-eabi-readelf -SW firmware.elf, its regions from firmware.ld, the rest read off the map
// by hand) and against small maps made here for each layout ld writes: names that push their
// numbers onto the next line, fill with and without a pattern, COMMON, data statements, sizes
// before relaxing, LTO partitions, sections without an address, and the texts it refuses.
#include "linkmap/gnu_ld_map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

const char* kind_name(gnu_ld_input_kind kind) {
  switch (kind) {
    case gnu_ld_input_kind::section:
      return "section";
    case gnu_ld_input_kind::fill:
      return "fill";
    case gnu_ld_input_kind::common:
      return "common";
    case gnu_ld_input_kind::data:
      return "data";
  }
  return "?";
}

/// The output sections as text, one line per section, entry and symbol.
std::string layout_of(const gnu_ld_map& map) {
  std::ostringstream out;
  out << std::hex;
  for (const gnu_ld_output_section& section : map.output_sections) {
    out << section.name << " 0x" << section.address << " 0x" << section.size << " load 0x"
        << section.load_address << "\n";
    for (const gnu_ld_input_section& input : section.inputs) {
      out << "  " << kind_name(input.kind) << " " << input.name << " 0x" << input.address << " 0x"
          << input.size << " [" << input.origin.file << "|" << input.origin.member << "] "
          << input.value << "\n";
      for (const gnu_ld_symbol& symbol : input.symbols) {
        out << "    0x" << symbol.address << " 0x" << symbol.size << " " << symbol.name << "\n";
      }
    }
  }
  return out.str();
}

TEST(gnu_ld_map, reads_every_layout_of_the_memory_map) {
  const std::string text =
      "Memory Configuration\n"
      "\n"
      "Name             Origin             Length             Attributes\n"
      "ROM              0x00000000         0x00001000         xr\n"
      "RAM              0x20000000         0x00000400         rw !x\n"
      "*default*        0x00000000         0xffffffff\n"
      "\n"
      "Linker script and memory map\n"
      "\n"
      "LOAD a.o\n"
      "LOAD /tmp/ccABCD.ltrans0.ltrans.o\n"
      "START GROUP\n"
      "LOAD libx.a\n"
      "END GROUP\n"
      "                0x00000100                        SIZE_X = 0x100\n"
      "\n"
      ".text           0x00000000       0x40\n"
      " *(.text*)\n"
      " .text.a_very_long_name\n"
      "                0x00000000       0x10 a.o\n"
      "                                 0x14 (size before relaxing)\n"
      "                0x00000000                first\n"
      "                0x00000008                second\n"
      " *fill*         0x00000010        0x4 \n"
      " FILL mask 0xff\n"
      " *fill*         0x00000014        0x4 deadbeef\n"
      " .text          0x00000018       0x10 /tmp/ccABCD.ltrans0.ltrans.o\n"
      "                0x00000018                lto_function\n"
      "                0x00000028        0x4 LONG 0x12345678\n"
      "                0x0000002c        0x2 SHORT (SIZE_X + 0x1)\n"
      " *fill*         0x0000002e        0x2 \n"
      " .text          0x00000030       0x10 libx.a(m.o)\n"
      "                0x00000030                m_entry\n"
      "                0x00000030                m_alias\n"
      "                0x00000038                        . = ALIGN (0x8)\n"
      "\n"
      ".a_long_output_section\n"
      "                0x20000000        0x8 load address 0x00000040\n"
      "                0x20000000                        . = ALIGN (0x4)\n"
      "                [!provide]                        PROVIDE (__start = .)\n"
      " COMMON         0x20000000        0x8 a.o\n"
      "                0x20000000                counter\n"
      "                0x20000004                other\n"
      "\n"
      "/DISCARD/\n"
      " *(.comment)\n"
      "\n"
      ".empty          0x20000008        0x0\n"
      "OUTPUT(out.elf elf32-littlearm)\n";
  const gnu_ld_map_result result = read_gnu_ld_map(text);
  ASSERT_TRUE(result.ok) << result.line << ": " << result.error;
  EXPECT_EQ(layout_of(result.map),
            ".text 0x0 0x40 load 0x0\n"
            "  section .text.a_very_long_name 0x0 0x10 [a.o|] \n"
            "    0x0 0x8 first\n"
            "    0x8 0x8 second\n"
            "  fill *fill* 0x10 0x4 [|] \n"
            "  data FILL 0x14 0x0 [|] ff\n"
            "  fill *fill* 0x14 0x4 [|] deadbeef\n"
            "  section .text 0x18 0x10 [(lto)|] \n"
            "    0x18 0x10 lto_function\n"
            "  data LONG 0x28 0x4 [|] 0x12345678\n"
            "  data SHORT 0x2c 0x2 [|] (SIZE_X + 0x1)\n"
            "  fill *fill* 0x2e 0x2 [|] \n"
            "  section .text 0x30 0x10 [libx.a|m.o] \n"
            "    0x30 0x10 m_entry\n"
            "    0x30 0x10 m_alias\n"
            ".a_long_output_section 0x20000000 0x8 load 0x40\n"
            "  common COMMON 0x20000000 0x8 [a.o|] \n"
            "    0x20000000 0x4 counter\n"
            "    0x20000004 0x4 other\n"
            ".empty 0x20000008 0x0 load 0x20000008\n");
  EXPECT_TRUE(result.map.size_mismatches.empty());
  ASSERT_EQ(result.map.memory_regions.size(), 2u);
  EXPECT_EQ(result.map.memory_regions[1].name, "RAM");
  EXPECT_EQ(result.map.memory_regions[1].origin, 0x20000000u);
  EXPECT_EQ(result.map.memory_regions[1].length, 0x400u);
  EXPECT_EQ(result.map.memory_regions[1].attributes, "rw !x");
}

TEST(gnu_ld_map, reads_archive_members_and_sums_discarded_sections_per_file) {
  const std::string text =
      "Archive member included to satisfy reference by file (symbol)\n"
      "\n"
      "libm.a(s.o)                   main.o (sin)\n"
      "/long/path/to/the/library/libc.a(printf.o)\n"
      "                              (printf)\n"
      "/long/path/to/the/library/libc.a(puts.o)\n"
      "                              /long/path/to/the/library/libc.a(printf.o) (puts)\n"
      "\n"
      "Discarded input sections\n"
      "\n"
      " .text          0x00000000        0x8 a.o\n"
      " .debug_info_long_name\n"
      "                0x00000000       0x20 libm.a(s.o)\n"
      " .data          0x00000000        0x4 a.o\n"
      "\n"
      "Linker script and memory map\n"
      "\n"
      ".text           0x00000000        0x0\n";
  const gnu_ld_map_result result = read_gnu_ld_map(text);
  ASSERT_TRUE(result.ok) << result.line << ": " << result.error;
  const std::vector<gnu_ld_archive_member>& members = result.map.archive_members;
  ASSERT_EQ(members.size(), 3u);
  EXPECT_EQ(members[0].member, (gnu_ld_origin{"libm.a", "s.o"}));
  EXPECT_EQ(members[0].referenced_by, (gnu_ld_origin{"main.o", ""}));
  EXPECT_EQ(members[0].symbol, "sin");
  EXPECT_EQ(members[1].member, (gnu_ld_origin{"/long/path/to/the/library/libc.a", "printf.o"}));
  EXPECT_EQ(members[1].referenced_by, (gnu_ld_origin{}));
  EXPECT_EQ(members[1].symbol, "printf");
  EXPECT_EQ(members[2].referenced_by,
            (gnu_ld_origin{"/long/path/to/the/library/libc.a", "printf.o"}));
  EXPECT_EQ(members[2].symbol, "puts");
  const std::vector<gnu_ld_discarded>& discarded = result.map.discarded;
  ASSERT_EQ(discarded.size(), 2u);
  EXPECT_EQ(discarded[0].origin, (gnu_ld_origin{"a.o", ""}));
  EXPECT_EQ(discarded[0].sections, 2u);
  EXPECT_EQ(discarded[0].bytes, 0xcu);
  EXPECT_EQ(discarded[1].origin, (gnu_ld_origin{"libm.a", "s.o"}));
  EXPECT_EQ(discarded[1].sections, 1u);
  EXPECT_EQ(discarded[1].bytes, 0x20u);
}

TEST(gnu_ld_map, records_an_output_section_whose_entries_do_not_sum_to_its_size) {
  const gnu_ld_map_result result = read_gnu_ld_map(
      "Linker script and memory map\n"
      "\n"
      ".rodata         0x00001000       0x10\n"
      " .rodata        0x00001000        0xc a.o\n"
      " .rodata        0x0000100c        0x8 b.o\n");
  ASSERT_TRUE(result.ok) << result.error;
  ASSERT_EQ(result.map.size_mismatches.size(), 1u);
  EXPECT_EQ(result.map.size_mismatches[0].section, ".rodata");
  EXPECT_EQ(result.map.size_mismatches[0].size, 0x10u);
  EXPECT_EQ(result.map.size_mismatches[0].counted, 0x14u);
}

struct refusal_case {
  const char* what;
  std::string text;
  std::size_t line;
  const char* error;
};

TEST(gnu_ld_map, refuses_a_text_that_is_no_map_or_does_not_fit_its_layout) {
  const std::string script = "Linker script and memory map\n\n";
  const std::vector<refusal_case> cases = {
      {"no heading", "hello\n", 1, "not a GNU ld map"},
      {"no script part", "Memory Configuration\n\n", 3, "no \"Linker script and memory map\""},
      {"empty text", "", 1, "no \"Linker script and memory map\""},
      {"size is no number", script + ".text           0x00000000       zz\n", 3,
       "needs a name, an address and a size"},
      {"address beyond 64 bits", script + ".text           0x10000000000000000       0x4\n", 3,
       "needs a name, an address and a size"},
      {"section beyond the address space",
       script + ".text           0xfffffffffffffff0       0x20\n", 3, "64-bit address space"},
      {"input outside any output section", script + " .text          0x00000000        0x4 a.o\n",
       3, "outside any output section"},
      {"symbol outside its input section",
       script + ".text           0x00000000        0x8\n"
                " .text          0x00000000        0x8 a.o\n"
                "                0x00000009                beyond\n",
       5, "outside its input section"},
      {"symbol after fill",
       script + ".text           0x00000000        0x8\n"
                " *fill*         0x00000000        0x8 \n"
                "                0x00000000                nowhere\n",
       5, "follows no input section"},
      {"unknown data keyword",
       script +
           ".text           0x00000000        0x8\n                0x00000000        0x4 WORD 1\n",
       4, "BYTE, SHORT, LONG, QUAD or SQUAD"},
      {"member without archive",
       "Archive member included to satisfy reference by file (symbol)\n\nplain.o\n", 3,
       "archive(member)"},
      {"member without reference",
       "Archive member included to satisfy reference by file (symbol)\n\nlib.a(m.o)\n\n" + script,
       5, "no line naming its reference"},
  };
  for (const refusal_case& c : cases) {
    const gnu_ld_map_result result = read_gnu_ld_map(c.text);
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_EQ(result.line, c.line) << c.what;
    EXPECT_NE(result.error.find(c.error), std::string::npos) << c.what << ": " << result.error;
    EXPECT_TRUE(result.map.output_sections.empty()) << c.what;
  }
}

// --- The committed Cortex-M map ---------------------------------------------------------------

struct section_row {
  const char* name;
  std::uint64_t address;
  std::uint64_t size;
};

const char* const k_libc =
    "/usr/lib/gcc/arm-none-eabi/12.2.1/../../../arm-none-eabi/lib/thumb/v7-m/nofp/libc_nano.a";

TEST(gnu_ld_map, reads_the_cortex_m_map_as_readelf_shows_the_image) {
  const std::string text =
      test_support::read_file(test_support::source_dir() + "/examples/cortex-m/firmware.map");
  ASSERT_FALSE(text.empty());
  const gnu_ld_map_result result = read_gnu_ld_map(text);
  ASSERT_TRUE(result.ok) << result.line << ": " << result.error;
  const gnu_ld_map& map = result.map;

  // arm-none-eabi-readelf -SW firmware.elf, sections 1 to 18 (the image drops empty ones).
  const std::vector<section_row> readelf = {
      {".isr_vector", 0x08000000, 0xf0},
      {".text", 0x080000f0, 0x5728},
      {".rodata", 0x08005818, 0xae8},
      {".init_array", 0x08006300, 0x4},
      {".data", 0x20000000, 0x1e8},
      {".bss", 0x200001e8, 0x78},
      {".heap", 0x20000260, 0x2000},
      {".stack", 0x20002260, 0x800},
      {".debug_info", 0, 0x1da4},
      {".debug_abbrev", 0, 0xb03},
      {".debug_aranges", 0, 0xc0},
      {".debug_rnglists", 0, 0xf8},
      {".debug_line", 0, 0xabb},
      {".debug_str", 0, 0xb33},
      {".comment", 0, 0x26},
      {".ARM.attributes", 0, 0x2b},
      {".debug_frame", 0, 0x270},
      {".debug_loclists", 0, 0x538},
  };
  std::vector<std::string> empty;
  std::size_t row = 0;
  for (const gnu_ld_output_section& section : map.output_sections) {
    if (section.size == 0) {
      empty.push_back(section.name);
      continue;
    }
    ASSERT_LT(row, readelf.size()) << section.name;
    EXPECT_EQ(section.name, readelf[row].name);
    EXPECT_EQ(section.address, readelf[row].address) << section.name;
    EXPECT_EQ(section.size, readelf[row].size) << section.name;
    ++row;
  }
  EXPECT_EQ(row, readelf.size());
  EXPECT_EQ(empty, (std::vector<std::string>{".iplt", ".rel.dyn", ".preinit_array", ".fini_array",
                                             ".igot.plt"}));
  EXPECT_EQ(map.output_sections[8].name, ".data");
  EXPECT_EQ(map.output_sections[8].load_address, 0x08006304u);

  // firmware.ld: FLASH (rx) 0x08000000 64K, RAM (rwx) 0x20000000 20K.
  ASSERT_EQ(map.memory_regions.size(), 2u);
  EXPECT_EQ(map.memory_regions[0].name, "FLASH");
  EXPECT_EQ(map.memory_regions[0].origin, 0x08000000u);
  EXPECT_EQ(map.memory_regions[0].length, 64u * 1024);
  EXPECT_EQ(map.memory_regions[0].attributes, "xr");
  EXPECT_EQ(map.memory_regions[1].name, "RAM");
  EXPECT_EQ(map.memory_regions[1].origin, 0x20000000u);
  EXPECT_EQ(map.memory_regions[1].length, 20u * 1024);
  EXPECT_EQ(map.memory_regions[1].attributes, "xrw");

  // 57 members; _printf_float came in from the command line (-u), _printf_common for it.
  ASSERT_EQ(map.archive_members.size(), 57u);
  EXPECT_EQ(map.archive_members[12].member, (gnu_ld_origin{k_libc, "lib_a-nano-vfprintf_float.o"}));
  EXPECT_EQ(map.archive_members[12].referenced_by, (gnu_ld_origin{}));
  EXPECT_EQ(map.archive_members[12].symbol, "_printf_float");
  EXPECT_EQ(map.archive_members[13].member, (gnu_ld_origin{k_libc, "lib_a-nano-vfprintf_i.o"}));
  EXPECT_EQ(map.archive_members[13].referenced_by,
            (gnu_ld_origin{k_libc, "lib_a-nano-vfprintf_float.o"}));
  EXPECT_EQ(map.archive_members[13].symbol, "_printf_common");
  ASSERT_FALSE(map.discarded.empty());
  EXPECT_EQ(map.discarded[0].origin, (gnu_ld_origin{"obj/filter.o", ""}));
  EXPECT_EQ(map.discarded[0].sections, 2u);
  EXPECT_EQ(map.discarded[0].bytes, 0x10u);

  // .text of lib_a-nano-vfprintf_float.o; nm -S gives _printf_float 0x5d8 bytes at 0x08001330.
  const gnu_ld_output_section& code = map.output_sections[1];
  const gnu_ld_input_section* printf_float = nullptr;
  for (const gnu_ld_input_section& input : code.inputs) {
    if (input.origin.member == "lib_a-nano-vfprintf_float.o") {
      printf_float = &input;
    }
  }
  ASSERT_NE(printf_float, nullptr);
  EXPECT_EQ(printf_float->origin.file, k_libc);
  EXPECT_EQ(printf_float->address, 0x080011a8u);
  EXPECT_EQ(printf_float->size, 0x760u);
  ASSERT_EQ(printf_float->symbols.size(), 3u);
  EXPECT_EQ(printf_float->symbols[2].name, "_printf_float");
  EXPECT_EQ(printf_float->symbols[2].address, 0x08001330u);
  EXPECT_EQ(printf_float->symbols[2].size, 0x5d8u);

  // Every output section's entries add up to its size but three: .rodata lists a merged string
  // section of lib_a-nano-vfprintf.o (0x13 at 0x080061ab) that the fill after it overlaps, and
  // ld merges .comment and .ARM.attributes after listing every input at its unmerged size.
  ASSERT_EQ(map.size_mismatches.size(), 3u);
  EXPECT_EQ(map.size_mismatches[0].section, ".rodata");
  EXPECT_EQ(map.size_mismatches[0].counted, 0xae8u + 0x13u);
  EXPECT_EQ(map.size_mismatches[1].section, ".comment");
  EXPECT_EQ(map.size_mismatches[1].counted, 0x26u + 54u * 0x27u);
  EXPECT_EQ(map.size_mismatches[2].section, ".ARM.attributes");
  EXPECT_EQ(map.size_mismatches[2].counted, 0xa72u);
}

TEST(gnu_ld_map, reads_the_next_cortex_m_map_as_readelf_shows_its_image) {
  const std::string text =
      test_support::read_file(test_support::source_dir() + "/examples/cortex-m/next/firmware.map");
  ASSERT_FALSE(text.empty());
  const gnu_ld_map_result result = read_gnu_ld_map(text);
  ASSERT_TRUE(result.ok) << result.line << ": " << result.error;

  // arm-none-eabi-readelf -SW next/firmware.elf, sections 1 to 18.
  const std::vector<section_row> readelf = {
      {".isr_vector", 0x08000000, 0xf0},
      {".text", 0x080000f0, 0x59f8},
      {".rodata", 0x08005ae8, 0xbe8},
      {".init_array", 0x080066d0, 0x4},
      {".data", 0x20000000, 0x1e8},
      {".bss", 0x200001e8, 0x70},
      {".heap", 0x20000258, 0x2000},
      {".stack", 0x20002258, 0x800},
      {".debug_info", 0, 0x204b},
      {".debug_abbrev", 0, 0xb69},
      {".debug_aranges", 0, 0xc0},
      {".debug_rnglists", 0, 0x15a},
      {".debug_line", 0, 0xbf2},
      {".debug_str", 0, 0xc0a},
      {".comment", 0, 0x26},
      {".ARM.attributes", 0, 0x2b},
      {".debug_frame", 0, 0x2c0},
      {".debug_loclists", 0, 0x785},
  };
  std::vector<section_row> read;
  for (const gnu_ld_output_section& section : result.map.output_sections) {
    if (section.size != 0) {
      read.push_back(section_row{section.name.c_str(), section.address, section.size});
    }
  }
  ASSERT_EQ(read.size(), readelf.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(std::string(read[i].name), readelf[i].name);
    EXPECT_EQ(read[i].address, readelf[i].address) << readelf[i].name;
    EXPECT_EQ(read[i].size, readelf[i].size) << readelf[i].name;
  }
  // The same three sections as in the first build, summed from the map by a separate script.
  ASSERT_EQ(result.map.size_mismatches.size(), 3u);
  EXPECT_EQ(result.map.size_mismatches[0].section, ".rodata");
  EXPECT_EQ(result.map.size_mismatches[0].counted, 0xbfbu);
  EXPECT_EQ(result.map.size_mismatches[1].section, ".comment");
  EXPECT_EQ(result.map.size_mismatches[1].counted, 0x8aeu);
  EXPECT_EQ(result.map.size_mismatches[2].section, ".ARM.attributes");
  EXPECT_EQ(result.map.size_mismatches[2].counted, 0xaccu);
}

}  // namespace
