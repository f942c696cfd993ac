// The elxr readers on small listings: which lines become sections, the
// attribute line after each section line and the drops it decides, the
// address mask, the name lists of the target variants, the Pux4 rewrite of
// ".data" with its stack pseudo-section, and the bare names of the 32-bit
// reader. Every case goes through read() or post_process() on a real file.
#include "mapfile/c_map_file_elxr.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "mapfile/c_map_file_elxr_mem32_unlimited.h"
#include "mapfile/c_map_file_elxr_orm8.h"
#include "mapfile/c_map_file_elxr_pux_ecu_4x.h"
#include "tests/test_support.h"

namespace {

using test_support::scoped_temp_dir;

// ------------------------------------------------------------------ helpers

const char k_code[] = "CONTENTS, ALLOC, LOAD, READONLY, CODE";
const char k_data[] = "CONTENTS, ALLOC, LOAD, DATA";

/// One row of the section table: index, name, size, VMA, LMA, file offset,
/// alignment.
std::string section_line(int index, const std::string& name, const std::string& size,
                         const std::string& start) {
  std::string line = (index < 10 ? "  " : " ") + std::to_string(index) + " " + name;
  line += std::string(name.size() < 20 ? 20 - name.size() : 1, ' ');
  return line + size + "  " + start + "  " + start + "  00010000  2**2";
}

std::string attribute_line(const std::string& words) { return "                  " + words; }

/// A section listing written line by line.
class listing {
 public:
  listing() {
    m_text =
        "firmware.elf:     file format elf32\n"
        "\n"
        "Sections:\n"
        "Idx Name                Size      VMA       LMA       File off  Algn\n";
  }
  /// A section line and its attribute line.
  listing& section(const std::string& name, const std::string& size, const std::string& start,
                   const std::string& attributes = k_data) {
    line(section_line(m_index++, name, size, start));
    return line(attribute_line(attributes));
  }
  listing& line(const std::string& text) {
    m_text += text + "\n";
    return *this;
  }
  const std::string& text() const { return m_text; }

 private:
  int m_index = 0;
  std::string m_text;
};

/// A placed record as the tests compare it.
struct rec {
  std::string name;
  std::uint32_t start;
  std::uint32_t size;
  std::int32_t range_index;
  bool operator==(const rec& other) const {
    return name == other.name && start == other.start && size == other.size &&
           range_index == other.range_index;
  }
};

void PrintTo(const rec& r, std::ostream* out) {
  *out << "{\"" << r.name << "\", 0x" << std::hex << r.start << ", 0x" << r.size << std::dec << ", "
       << r.range_index << "}";
}

using recs = std::vector<rec>;

std::string to_hex(std::uint32_t value) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", value);
  return digits;
}

recs contents(const section_list& list) {
  recs result;
  for (const section_record& record : list) {
    EXPECT_EQ(record.size_unit, 0u) << record.name;
    result.push_back({record.name, record.start, record.size, record.range_index});
  }
  return result;
}

recs contents(const std::vector<section_record>& list) {
  recs result;
  for (const section_record& record : list) {
    EXPECT_EQ(record.size_unit, 0u) << record.name;
    result.push_back({record.name, record.start, record.size, record.range_index});
  }
  return result;
}

struct outcome {
  bool result = false;
  recs program;
  recs memory;
};

/// Reads the listing with a reader of that type, cut into stretches as the
/// settings say.
template <typename Reader>
outcome read_with(const std::string& text, const c_memory_def& definition,
                  const c_map_file_elxr::stretch_settings& settings = {}) {
  scoped_temp_dir dir;
  Reader reader(dir.write("firmware.map", text));
  reader.set_stretching(settings);
  EXPECT_TRUE(reader.is_open);
  section_list program;
  section_list memory;
  outcome out;
  out.result = reader.read(definition, program, memory);
  out.program = contents(program);
  out.memory = contents(memory);
  return out;
}

/// Flash at 0 (two banks) and RAM at 0x00FE0000, as 26-bit addresses.
c_memory_def small_target() {
  c_memory_def definition;
  definition.program_ranges = {{0x00000000, 0x00100000}, {0x00200000, 0x00010000}};
  definition.memory_ranges = {{0x00FE0000, 0x00020000}};
  return definition;
}

/// Every record read, placed in one program range over the whole 32 bits
/// but the last byte.
c_memory_def everything() {
  c_memory_def definition;
  definition.program_ranges = {{0, 0xFFFFFFFF}};
  return definition;
}

// ---------------------------------------------------------------- Tev2 base

TEST(ElxrRead, SectionsGoToTheListsTheirAddressesBelongTo) {
  listing map;
  map.section(".text", "00004000", "00000100", k_code)
      .section(".rodata", "00000800", "00004100")
      .section(".text", "00000200", "00200000", k_code)
      .section(".data", "00000100", "00FE0000")
      .section(".bss", "00001000", "00FE0100")
      .section(".sdata", "00000010", "00FE0000")
      .section(".zdata", "00000010", "00800000")  // in no range
      .line("")
      .line("SYMBOL TABLE:")
      .line("00000100 g     F .text  00000020 main");
  const outcome out = read_with<c_map_file_elxr>(map.text(), small_target());
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.program, (recs{{".text", 0x100, 0x4000, 0},
                               {".rodata", 0x4100, 0x800, 0},
                               {".text", 0x200000, 0x200, 1}}));
  EXPECT_EQ(out.memory, (recs{{".sdata", 0xFE0000, 0x10, 0},
                              {".data", 0xFE0000, 0x100, 0},
                              {".bss", 0xFE0100, 0x1000, 0}}));
}

TEST(ElxrRead, ADebuggingAttributeLineDropsItsSection) {
  listing map;
  map.section(".text", "100", "100", "CONTENTS, READONLY, DEBUGGING")
      .section(".rodata", "100", "200", "CONTENTS, READONLY, debugging")
      .section(".data", "100", "300", "NODEBUGGINGS")
      .section(".bss", "100", "400", "ALLOC");
  const outcome out = read_with<c_map_file_elxr>(map.text(), everything());
  EXPECT_EQ(out.program, (recs{{".rodata", 0x200, 0x100, 0}, {".bss", 0x400, 0x100, 0}}));
}

TEST(ElxrRead, TheDebuggingWordCountsWhereverItStands) {
  // At every place of an attribute line (the line starts with blanks here),
  // right at its end, and cut short or broken, which does not count.
  listing map;
  recs kept;
  std::uint32_t start = 0x100;
  for (std::size_t blanks = 0; blanks < 30; ++blanks) {
    const std::string before = std::string(blanks % 3 == 0 ? blanks : 0, 'D') + "x";
    map.section(".text", "10", to_hex(start), before + std::string(blanks, ' ') + "DEBUGGING");
    start += 0x10;
    for (const std::string miss : {"DEBUGGIN", "DEBUGGINX", "DDEBUGGIN G", "EBUGGING"}) {
      map.section(".text", "10", to_hex(start), std::string(blanks, ' ') + miss);
      kept.push_back({".text", start, 0x10, 0});
      start += 0x10;
    }
  }
  const outcome out = read_with<c_map_file_elxr>(map.text(), everything());
  EXPECT_EQ(out.program, kept);
}

TEST(ElxrRead, TheLineAfterASectionLineIsItsAttributeLineWhateverItHolds) {
  listing map;
  map.line(section_line(0, ".text", "100", "100"))
      .line(section_line(1, ".data", "100", "200"))  // the attribute line of .text
      .line(attribute_line(k_data))
      .section(".bss", "100", "300")
      // A section line as attribute line can also carry the drop.
      .line(section_line(3, ".sdata", "10", "400"))
      .line(section_line(4, ".DEBUGGING", "10", "500"))
      .section(".zbss", "10", "600");
  const outcome out = read_with<c_map_file_elxr>(map.text(), everything());
  EXPECT_EQ(
      out.program,
      (recs{{".text", 0x100, 0x100, 0}, {".bss", 0x300, 0x100, 0}, {".zbss", 0x600, 0x10, 0}}));
}

TEST(ElxrRead, ASectionWithoutAttributeLineAtTheEndIsDropped) {
  listing map;
  map.section(".text", "100", "100").line(section_line(1, ".data", "100", "200")).line("");
  const outcome out = read_with<c_map_file_elxr>(map.text(), everything());
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.program, (recs{{".text", 0x100, 0x100, 0}}));

  const outcome alone =
      read_with<c_map_file_elxr>(section_line(0, ".text", "100", "100"), everything());
  EXPECT_FALSE(alone.result);
  EXPECT_TRUE(alone.program.empty());
}

TEST(ElxrRead, OnlyKnownNamesAfterOneAnyCharacterMakeSectionLines) {
  listing map;
  map.line(section_line(0, ".text.init", "100", "100"))
      .section(".bss2", "100", "200")  // no section line: its attribute line is no section either
      .section(".bss", "10", "300")
      .section("_bss", "10", "310")
      .section("$text", "10", "320")
      .section(".TEXT", "10", "330")
      .section(".text_ram", "10", "340")
      .section("text", "10", "350")
      .section("..text", "10", "360")
      .section(".DFALib_TextRam", "10", "370")
      .section(".DFALib_Text", "10", "380")
      .section(".heap", "10", "390");
  const outcome out = read_with<c_map_file_elxr>(map.text(), everything());
  EXPECT_EQ(out.program, (recs{{".bss", 0x300, 0x10, 0},
                               {"_bss", 0x310, 0x10, 0},
                               {"$text", 0x320, 0x10, 0},
                               {".DFALib_TextRam", 0x370, 0x10, 0},
                               {".DFALib_Text", 0x380, 0x10, 0}}));
}

TEST(ElxrRead, TheLineShapeIsChecked) {
  listing map;
  map.line("  0 .text 100 100")    // nothing after the address column
      .line("  1 .data 100 200 ")  // a blank and an empty rest is enough
      .line(attribute_line(k_data))
      .line("x 2 .bss 100 300 rest")  // no index first
      .line(attribute_line(k_data))
      .line("  3 .sbss 10g 400 rest")  // size column not hexadecimal
      .line(attribute_line(k_data))
      .line("\t4\t.zbss\t10\t500\trest")  // tabs are white space
      .line(attribute_line(k_data));
  const outcome out = read_with<c_map_file_elxr>(map.text(), everything());
  EXPECT_EQ(out.program, (recs{{".data", 0x200, 0x100, 0}, {".zbss", 0x500, 0x10, 0}}));
}

TEST(ElxrRead, StartAddressesAreCutToTwentySixBitsSizesAreNot) {
  c_memory_def definition;
  definition.program_ranges = {{0, 0x2000}, {0x03000000, 0x0C000000}};
  definition.memory_ranges = {{0x02BF0000, 0x10000}};
  listing map;
  map.section(".bss", "00000100", "FEBF0000")
      .section(".text", "00000200", "40001000", k_code)
      .section(".rodata", "0C000000", "03000000");  // a masked size would be 0
  const outcome out = read_with<c_map_file_elxr>(map.text(), definition);
  EXPECT_EQ(out.program,
            (recs{{".text", 0x1000, 0x200, 0}, {".rodata", 0x03000000, 0x0C000000, 1}}));
  EXPECT_EQ(out.memory, (recs{{".bss", 0x02BF0000, 0x100, 0}}));
}

TEST(ElxrRead, HexColumnsBeyondThirtyTwoBitsReadAsZero) {
  listing map;
  map.section(".text", "100000000", "00000100", k_code)          // size 0: in no range
      .section(".data", "00000040", "1FEDF0000")                 // start 0
      .section(".bss", "0000000000000040", "0000000000000080");  // leading zeros are fine
  const outcome out = read_with<c_map_file_elxr>(map.text(), small_target());
  EXPECT_EQ(out.program, (recs{{".data", 0, 0x40, 0}, {".bss", 0x80, 0x40, 0}}));
  EXPECT_TRUE(out.memory.empty());
}

TEST(ElxrRead, EmptyLinesAreNeverAttributeLinesBlankLinesAre) {
  listing map;
  map.line(section_line(0, ".text", "100", "100"))
      .line("")
      .line("")
      .line(attribute_line("CONTENTS, DEBUGGING"))  // the attribute line of .text
      .line(section_line(1, ".data", "100", "200"))
      .line("   \t ")  // the attribute line of .data
      .line(section_line(2, ".bss", "100", "300"))
      .line("\r")                                     // empty once the carriage return is gone
      .line(section_line(3, ".sbss", "100", "400"));  // so this is the attribute line of .bss
  const outcome out = read_with<c_map_file_elxr>(map.text(), everything());
  EXPECT_EQ(out.program, (recs{{".data", 0x200, 0x100, 0}, {".bss", 0x300, 0x100, 0}}));
}

TEST(ElxrRead, FalseWhenNoRecordLandsInARange) {
  EXPECT_FALSE(read_with<c_map_file_elxr>("", small_target()).result);
  EXPECT_FALSE(read_with<c_map_file_elxr>("no section table here\n", small_target()).result);
  listing outside;
  outside.section(".text", "100", "00800000").section(".data", "0", "00FE0000");
  const outcome out = read_with<c_map_file_elxr>(outside.text(), small_target());
  EXPECT_FALSE(out.result);
  EXPECT_TRUE(out.program.empty());
  EXPECT_TRUE(out.memory.empty());
  // One record in a memory range alone is enough.
  listing ram;
  ram.section(".data", "10", "00FE0000");
  EXPECT_TRUE(read_with<c_map_file_elxr>(ram.text(), small_target()).result);
}

TEST(ElxrRead, AFileThatIsNotOpenReadsNothing) {
  scoped_temp_dir dir;
  c_map_file_elxr reader(dir.file("missing.map"));
  EXPECT_FALSE(reader.is_open);
  section_list program;
  section_list memory;
  EXPECT_FALSE(reader.read(small_target(), program, memory));
  EXPECT_TRUE(program.empty());
  EXPECT_TRUE(memory.empty());

  c_map_file_elxr directory(dir.path());
  EXPECT_FALSE(directory.is_open);
  EXPECT_FALSE(directory.read(small_target(), program, memory));
}

TEST(ElxrRead, CarriageReturnLineEndsAndOverlongLines) {
  std::string text =
      section_line(0, ".text", "100", "100") + "\r\n" + attribute_line(k_code) + "\r\n";
  // A section line whose rest runs far beyond the line limit still counts;
  // what was cut off does not come back as a line.
  text += section_line(1, ".data", "100", "200") + std::string(3000, ' ') + "DEBUGGING\n";
  text += attribute_line(k_data) + "\n";
  const outcome out = read_with<c_map_file_elxr>(text, everything());
  EXPECT_EQ(out.program, (recs{{".text", 0x100, 0x100, 0}, {".data", 0x200, 0x100, 0}}));
}

// ------------------------------------------------- one pattern per reader

TEST(ElxrReaders, EachReaderClassKeepsItsOwnNames) {
  listing map;
  map.section(".rodata", "10", "100")       // elxr only
      .section(".bsct", "10", "200")        // Orm8 and Pux4
      .section(".NvmBuffer", "10", "300")   // Orm8 only
      .section(".data_begin", "10", "400")  // Pux4 only
      .section(".my-section", "10", "500")  // none
      .section(".mysection", "10", "600");  // the 32-bit reader, which takes any name
  const std::string text = map.text();
  const c_memory_def definition = everything();

  EXPECT_EQ(read_with<c_map_file_elxr>(text, definition).program,
            (recs{{".rodata", 0x100, 0x10, 0}}));
  EXPECT_EQ(read_with<c_map_file_elxr_orm8>(text, definition).program,
            (recs{{".bsct", 0x200, 0x10, 0}, {".NvmBuffer", 0x300, 0x10, 0}}));
  EXPECT_EQ(read_with<c_map_file_elxr>(text, definition).program,
            (recs{{".rodata", 0x100, 0x10, 0}}));
  EXPECT_EQ(read_with<c_map_file_elxr_pux_ecu_4x>(text, definition).program,
            (recs{{".bsct", 0x200, 0x10, 0}, {".data_begin", 0x400, 0x10, 0}}));
  EXPECT_EQ(read_with<c_map_file_elxr_mem32_unlimited>(text, definition).program,
            (recs{{"rodata", 0x100, 0x10, 0},
                  {"bsct", 0x200, 0x10, 0},
                  {"NvmBuffer", 0x300, 0x10, 0},
                  {"data_begin", 0x400, 0x10, 0},
                  {"mysection", 0x600, 0x10, 0}}));
  EXPECT_EQ(read_with<c_map_file_elxr_orm8>(text, definition).program,
            (recs{{".bsct", 0x200, 0x10, 0}, {".NvmBuffer", 0x300, 0x10, 0}}));
  EXPECT_EQ(read_with<c_map_file_elxr>(text, definition).program,
            (recs{{".rodata", 0x100, 0x10, 0}}));
}

// --------------------------------------------------------------------- Orm8

TEST(ElxrOrm8, TheNameWithACommaAndABlankIsOneName) {
  listing map;
  map.section(".data, initialized", "00000100", "00FE0000")
      .section(".data", "00000080", "00FE0100")
      .section(".data,initialized", "00000010", "00FE0200")  // no blank: not a name
      .section(".data, initialize", "00000010", "00FE0300");
  const outcome out = read_with<c_map_file_elxr_orm8>(map.text(), small_target());
  EXPECT_EQ(out.memory,
            (recs{{".data, initialized", 0xFE0000, 0x100, 0}, {".data", 0xFE0100, 0x80, 0}}));
}

TEST(ElxrOrm8, NamesOfTheOtherListsAreNoSectionLines) {
  listing map;
  map.section(".rodata", "10", "100")
      .section(".sdata", "10", "200")
      .section(".zbss", "10", "300")
      .section(".stack", "10", "400")
      .section("_bss", "10", "500")
      .section(".text", "10", "600", k_code)
      .section(".RuxParamRam", "10", "700")
      .section(".init", "10", "800", "CONTENTS, DEBUGGING");
  const recs expected = {
      {"_bss", 0x500, 0x10, 0}, {".text", 0x600, 0x10, 0}, {".RuxParamRam", 0x700, 0x10, 0}};
  EXPECT_EQ(read_with<c_map_file_elxr_orm8>(map.text(), everything()).program, expected);
  // Pux4 knows neither the Rux names nor the other lists' ones.
  EXPECT_EQ(read_with<c_map_file_elxr_pux_ecu_4x>(map.text(), everything()).program,
            (recs{{"_bss", 0x500, 0x10, 0}, {".text", 0x600, 0x10, 0}}));
}

TEST(ElxrOrm8, AddressesAreCutToTwentySixBits) {
  listing map;
  map.section(".bss", "100", "40FE0000");
  EXPECT_EQ(read_with<c_map_file_elxr_orm8>(map.text(), small_target()).memory,
            (recs{{".bss", 0xFE0000, 0x100, 0}}));
}

// --------------------------------------------------------------------- Pux4

/// Runs the Pux4 rewrite over records on a listing that holds lines.
/// The names of the new records go into names, the pool of the given ones.
std::vector<section_record> pux4_rewrite(const std::string& text,
                                         std::vector<section_record> records,
                                         const std::shared_ptr<section_name_pool>& names,
                                         bool* result = nullptr) {
  scoped_temp_dir dir;
  c_map_file_elxr_pux_ecu_4x reader(dir.write("pux4.map", text));
  reader.use_name_pool(names);
  const bool ok = reader.post_process(records);
  if (result != nullptr) {
    *result = ok;
  }
  return records;
}

/// Makes up collected records; their names live in a pool of their own.
class record_maker {
 public:
  section_record operator()(const std::string& name, std::uint32_t start,
                            std::uint32_t size) const {
    section_record r;
    r.name = section_name(name, *m_names);
    r.start = start;
    r.size = size;
    return r;
  }
  /// What the reading collects from a typical Pux4 listing.
  std::vector<section_record> collected() const {
    const record_maker& record = *this;
    return {record(".text", 0x00000100, 0x4000), record(".data", 0x00012000, 0x400),
            record(".data_begin", 0x00FE0000, 0x10), record(".bss", 0x00FE0400, 0x800)};
  }
  const std::shared_ptr<section_name_pool>& names() const { return m_names; }

 private:
  std::shared_ptr<section_name_pool> m_names = std::make_shared<section_name_pool>();
};

TEST(ElxrPux4, DataIsMovedToDataBeginAndCopiedAsRodata) {
  const record_maker record;
  bool result = false;
  const recs out =
      contents(pux4_rewrite("no symbols here\n", record.collected(), record.names(), &result));
  EXPECT_TRUE(result);
  EXPECT_EQ(out, (recs{{".text", 0x100, 0x4000, -1},
                       {".data", 0xFE0000, 0x400, -1},
                       {".data_begin", 0xFE0000, 0x10, -1},
                       {".bss", 0xFE0400, 0x800, -1},
                       {"rodata", 0x12000, 0x400, -1}}));
}

TEST(ElxrPux4, OnlyTheFirstDataRecordIsSplit) {
  const record_maker record;
  std::vector<section_record> collected = record.collected();
  collected.push_back(record(".data", 0x00013000, 0x40));
  collected.push_back(record(".data_begin", 0x00FF0000, 0x10));
  const recs out = contents(pux4_rewrite("", collected, record.names()));
  EXPECT_EQ(out, (recs{{".text", 0x100, 0x4000, -1},
                       {".data", 0xFE0000, 0x400, -1},
                       {".data_begin", 0xFE0000, 0x10, -1},
                       {".bss", 0xFE0400, 0x800, -1},
                       {".data", 0x13000, 0x40, -1},
                       {".data_begin", 0xFF0000, 0x10, -1},
                       {"rodata", 0x12000, 0x400, -1}}));
}

TEST(ElxrPux4, TheDataBeginRecordMayComeFirst) {
  const record_maker record;
  const recs out = contents(
      pux4_rewrite("", {record(".data_begin", 0xFE0000, 0x10), record(".data", 0x12000, 0x400)},
                   record.names()));
  EXPECT_EQ(out, (recs{{".data_begin", 0xFE0000, 0x10, -1},
                       {".data", 0xFE0000, 0x400, -1},
                       {"rodata", 0x12000, 0x400, -1}}));
}

TEST(ElxrPux4, WithoutDataOrDataBeginNothingChanges) {
  const record_maker record;
  const std::string symbols =
      "fedf0000 ABS __stack_begin\n"
      "fedf1000 ABS __stack_end\n";
  const std::vector<section_record> without_begin = {record(".text", 0x100, 0x4000),
                                                     record(".data", 0x12000, 0x400)};
  bool result = true;
  EXPECT_EQ(contents(pux4_rewrite(symbols, without_begin, record.names(), &result)),
            contents(without_begin));
  EXPECT_FALSE(result);
  const std::vector<section_record> without_data = {record(".data_begin", 0xFE0000, 0x10),
                                                    record("_data", 0x12000, 0x400),
                                                    record(".data ", 0x12000, 0x400)};
  result = true;
  EXPECT_EQ(contents(pux4_rewrite(symbols, without_data, record.names(), &result)),
            contents(without_data));
  EXPECT_FALSE(result);
}

/// The record the rewrite appends after "rodata", if any.
recs stack_of(const std::string& symbols) {
  const record_maker record;
  const std::size_t collected = record.collected().size();
  const std::vector<section_record> out = pux4_rewrite(symbols, record.collected(), record.names());
  EXPECT_GE(out.size(), collected + 1);
  EXPECT_EQ(out[collected].name, "rodata");
  recs rest;
  for (std::size_t i = collected + 1; i < out.size(); ++i) {
    rest.push_back({out[i].name, out[i].start, out[i].size, out[i].range_index});
    EXPECT_EQ(out[i].size_unit, 0u);
  }
  return rest;
}

TEST(ElxrPux4, TheStackSpansTheTwoSymbolsUnmasked) {
  EXPECT_EQ(stack_of("  0 .text 100 100 x\n"
                     "fedf0000 ABS __stack_begin\n"
                     "some other line\n"
                     "fedf1000 ABS __stack_end\n"),
            (recs{{"stack", 0xFEDF0000, 0x1000, -1}}));
  // Any word of capitals and any white space between the columns.
  EXPECT_EQ(stack_of("fedf1000\t\tG  \t__stack_end\r\n"
                     "fedf0000 SECT\t__stack_begin"),
            (recs{{"stack", 0xFEDF0000, 0x1000, -1}}));
}

TEST(ElxrPux4, OnlyAnEndSymbolStartsTheStackAtZero) {
  EXPECT_EQ(stack_of("00002000 ABS __stack_end\n"), (recs{{"stack", 0, 0x2000, -1}}));
}

TEST(ElxrPux4, AnEndBelowTheBeginWrapsTheSize) {
  EXPECT_EQ(stack_of("100 ABS __stack_begin\n80 ABS __stack_end\n"),
            (recs{{"stack", 0x100, 0xFFFFFF80, -1}}));
}

TEST(ElxrPux4, EqualOrMissingBoundsGiveNoStack) {
  EXPECT_EQ(stack_of("fedf0000 ABS __stack_begin\nfedf0000 ABS __stack_end\n"), recs{});
  EXPECT_EQ(stack_of(""), recs{});
  EXPECT_EQ(stack_of("0 ABS __stack_begin\n"), recs{});
}

TEST(ElxrPux4, ALaterSymbolLineOverwritesAnEarlierOne) {
  EXPECT_EQ(stack_of("100 ABS __stack_begin\n"
                     "1000 ABS __stack_end\n"
                     "200 ABS __stack_begin\n"),
            (recs{{"stack", 0x200, 0xE00, -1}}));
}

TEST(ElxrPux4, OnlyWholeLowerCaseSymbolLinesCount) {
  // Each of these begin lines is not counted, so the stack starts at 0.
  const recs expected = {{"stack", 0, 0x2000, -1}};
  const std::string end = "00002000 ABS __stack_end\n";
  EXPECT_EQ(stack_of(end + "FEDF0000 ABS __stack_begin\n"), expected);    // upper-case digits
  EXPECT_EQ(stack_of(end + " fedf0000 ABS __stack_begin\n"), expected);   // blank before
  EXPECT_EQ(stack_of(end + "fedf0000 ABS __stack_begin x\n"), expected);  // text after
  EXPECT_EQ(stack_of(end + "fedf0000 ABS __stack_begin \n"), expected);   // blank after
  EXPECT_EQ(stack_of(end + "fedf0000 abs __stack_begin\n"), expected);    // word not capitals
  EXPECT_EQ(stack_of(end + "fedf0000 __stack_begin\n"), expected);        // no word
  EXPECT_EQ(stack_of(end + "fedf0000 ABS ___stack_begin\n"), expected);   // other symbol
  EXPECT_EQ(stack_of(end + "0x100 ABS __stack_begin\n"), expected);       // prefix
}

TEST(ElxrPux4, AListingThatCannotBeReopenedKeepsTheSplitButGetsNoStack) {
  scoped_temp_dir dir;
  const std::string path = dir.write("pux4.map", "fedf0000 ABS __stack_begin\n");
  c_map_file_elxr_pux_ecu_4x reader(path);
  ASSERT_TRUE(reader.is_open);
  reader.stream.close();
  ASSERT_TRUE(std::filesystem::remove(path));
  const record_maker record;
  reader.use_name_pool(record.names());
  std::vector<section_record> records = record.collected();
  EXPECT_FALSE(reader.post_process(records));
  EXPECT_EQ(contents(records), (recs{{".text", 0x100, 0x4000, -1},
                                     {".data", 0xFE0000, 0x400, -1},
                                     {".data_begin", 0xFE0000, 0x10, -1},
                                     {".bss", 0xFE0400, 0x800, -1},
                                     {"rodata", 0x12000, 0x400, -1}}));
}

TEST(ElxrPux4, ReadSplitsDataAndPlacesTheStack) {
  c_memory_def definition = small_target();
  definition.memory_ranges.push_back({0xFEDF0000, 0x10000});
  listing map;
  map.section(".text", "00004000", "00000100", k_code)
      .section(".data_begin", "00000010", "40FE0000")
      .section(".data", "00000400", "00012000")
      .section(".bss", "00000800", "40FE0400", "ALLOC")
      .section(".rodata", "00000100", "00020000")
      .line("")
      .line("SYMBOL TABLE:")
      .line("fedf0000 ABS __stack_begin")
      .line("fedf1000 ABS __stack_end");
  const outcome out = read_with<c_map_file_elxr_pux_ecu_4x>(map.text(), definition);
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.program, (recs{{".text", 0x100, 0x4000, 0}, {"rodata", 0x12000, 0x400, 0}}));
  // ".data" was placed after ".data_begin", so it stands first at their start.
  EXPECT_EQ(out.memory, (recs{{".data", 0xFE0000, 0x400, 0},
                              {".data_begin", 0xFE0000, 0x10, 0},
                              {".bss", 0xFE0400, 0x800, 0},
                              {"stack", 0xFEDF0000, 0x1000, 1}}));
}

TEST(ElxrPux4, ReadWithoutDataBeginMakesNoStack) {
  listing map;
  map.section(".data", "00000400", "00012000")
      .line("fedf0000 ABS __stack_begin")
      .line("fedf1000 ABS __stack_end");
  c_memory_def definition = small_target();
  definition.memory_ranges.push_back({0xFEDF0000, 0x10000});
  const outcome out = read_with<c_map_file_elxr_pux_ecu_4x>(map.text(), definition);
  EXPECT_EQ(out.program, (recs{{".data", 0x12000, 0x400, 0}}));
  EXPECT_TRUE(out.memory.empty());
}

// -------------------------------------------------------------------- mem32

TEST(ElxrMem32, LeadingPunctuationIsStrippedFromTheName) {
  listing map;
  map.section(".text", "100", "100", k_code)
      .section("_bss", "10", "200")
      .section(".text.startup", "10", "300", k_code)
      .section("__stack_area", "10", "400")
      .section(".mysection", "10", "500")
      .section("MixedCase_1.x", "10", "600")
      .section("._", "10", "700")  // the last character stays for the name
      .section("$$.data", "10", "800");
  EXPECT_EQ(read_with<c_map_file_elxr_mem32_unlimited>(map.text(), everything()).program,
            (recs{{"text", 0x100, 0x100, 0},
                  {"bss", 0x200, 0x10, 0},
                  {"text.startup", 0x300, 0x10, 0},
                  {"stack_area", 0x400, 0x10, 0},
                  {"mysection", 0x500, 0x10, 0},
                  {"MixedCase_1.x", 0x600, 0x10, 0},
                  {"_", 0x700, 0x10, 0},
                  {"data", 0x800, 0x10, 0}}));
}

TEST(ElxrMem32, OtherCharactersInTheNameMakeNoSectionLine) {
  listing map;
  map.section(".my-section", "10", "100")
      .section(".a,b", "10", "200")
      .section(".a$b", "10", "300")
      .section(".ok", "10", "400");
  EXPECT_EQ(read_with<c_map_file_elxr_mem32_unlimited>(map.text(), everything()).program,
            (recs{{"ok", 0x400, 0x10, 0}}));
}

TEST(ElxrMem32, DebugAnywhereInANameDropsIt) {
  listing map;
  recs kept;
  std::uint32_t start = 0x100;
  for (std::size_t at = 0; at < 20; ++at) {
    const std::string head(at, 'd');
    map.section("." + head + "debug" + head, "10", to_hex(start));
    start += 0x10;
    map.section("." + head + "debu_g" + head, "10", to_hex(start));
    kept.push_back({head + "debu_g" + head, start, 0x10, 0});
    start += 0x10;
  }
  EXPECT_EQ(read_with<c_map_file_elxr_mem32_unlimited>(map.text(), everything()).program, kept);
}

TEST(ElxrMem32, ExactNamesAndDebugSectionsAreDropped) {
  listing map;
  map.section(".heap", "10", "100")
      .section(".linfix", "10", "200")
      .section(".gstackfix", "10", "300")
      .section(".note.renesas", "10", "400")
      .section(".debug_line", "10", "500")
      .section(".text_debug", "10", "600")
      .section(".heap2", "10", "700")  // only the exact names go
      .section(".note.renesas.x", "10", "800")
      .section(".DEBUG", "10", "900")  // "debug" is case-sensitive
      .section(".comment", "10", "A00", "CONTENTS, READONLY, DEBUGGING");
  EXPECT_EQ(read_with<c_map_file_elxr_mem32_unlimited>(map.text(), everything()).program,
            (recs{{"heap2", 0x700, 0x10, 0},
                  {"note.renesas.x", 0x800, 0x10, 0},
                  {"DEBUG", 0x900, 0x10, 0}}));
}

TEST(ElxrMem32, AddressesKeepAllThirtyTwoBits) {
  c_memory_def definition;
  definition.program_ranges = {{0, 0x100000}};
  definition.memory_ranges = {{0xFEBF0000, 0x10000}, {0x40000000, 0x10000}};
  listing map;
  map.section(".bss", "00000100", "FEBF0000")
      .section(".data", "00000200", "40001000")
      .section(".text", "00000300", "00001000", k_code);
  const outcome out = read_with<c_map_file_elxr_mem32_unlimited>(map.text(), definition);
  EXPECT_EQ(out.program, (recs{{"text", 0x1000, 0x300, 0}}));
  EXPECT_EQ(out.memory, (recs{{"data", 0x40001000, 0x200, 1}, {"bss", 0xFEBF0000, 0x100, 0}}));
}

// ------------------------------------------------------- reading in stretches

/// A listing that tries every rule the reader has: section lines of known,
/// unknown and debug names, runs of section lines that serve as each other's
/// attribute lines, "DEBUGGING" attributes, empty and blank lines, CR LF
/// ends, lines longer than the limit, NUL bytes and a last section line
/// without attribute line.
std::string rule_listing(std::mt19937& random) {
  static const std::vector<std::string> names = {
      ".text",       "_bss",  ".data",    ".rodata",           ".zdata", "xtext", ".unknown",
      ".debug_info", ".heap", "$$.sdata", ".data, initialized"};
  const auto hex = [&random] {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(random() % 0x4000000));
    return std::string(digits);
  };
  std::string text = "section listing\n";
  int index = 0;
  while (text.size() < 60000) {
    const unsigned kind = random() % 20;
    std::string line;
    if (kind < 9) {
      line = section_line(index++, names[random() % names.size()], hex(), hex());
    } else if (kind < 14) {
      line = attribute_line(random() % 8 == 0 ? "CONTENTS, DEBUGGING" : k_data);
    } else if (kind == 14) {
      line = "";
    } else if (kind == 15) {
      line = "   ";
    } else if (kind == 16) {
      line = section_line(index++, ".text", hex(), hex()) + std::string(2100, ' ') + "cut";
    } else if (kind == 17) {
      line = section_line(index++, ".data", hex(), hex());
      line[random() % line.size()] = '\0';
    } else {
      line = "  " + hex() + " T symbol_" + std::to_string(index);
    }
    text += line + (random() % 4 == 0 ? "\r\n" : "\n");
  }
  return text + section_line(index, ".text", "10", "20");
}

/// Reads the listing in one go and in stretches of several lengths; each
/// time it must be cut into at least min_bounds - 1 stretches.
template <typename Reader>
void expect_same_in_stretches(const std::string& text, const c_memory_def& definition,
                              std::size_t min_bounds = 4) {
  const outcome whole = read_with<Reader>(text, definition, {std::uint64_t{1} << 30, 1});
  for (const std::uint64_t bytes : {std::uint64_t{97}, std::uint64_t{1000}, std::uint64_t{20000}}) {
    const c_map_file_elxr::stretch_settings stretches{bytes, 3};
    scoped_temp_dir dir;
    Reader probe(dir.write("firmware.map", text));
    probe.set_stretching(stretches);
    // The test means nothing unless the listing really is cut.
    ASSERT_GE(probe.stretch_bounds().size(), min_bounds) << bytes;
    const outcome parts = read_with<Reader>(text, definition, stretches);
    EXPECT_EQ(parts.result, whole.result) << bytes;
    ASSERT_EQ(parts.program, whole.program) << bytes;
    ASSERT_EQ(parts.memory, whole.memory) << bytes;
  }
}

TEST(ElxrStretches, AListingReadInStretchesGivesTheSameRecords) {
  c_memory_def definition;
  definition.program_ranges = {{0x00000000, 0x01000000}, {0x02000000, 0x00800000}};
  definition.memory_ranges = {{0x01000000, 0x01000000}};
  for (const unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 random(seed);
    const std::string text = rule_listing(random);
    expect_same_in_stretches<c_map_file_elxr>(text, definition);
    expect_same_in_stretches<c_map_file_elxr_mem32_unlimited>(text, definition);
    expect_same_in_stretches<c_map_file_elxr_orm8>(text, definition);
  }
}

TEST(ElxrStretches, ManyRangesAreSearchedFromSeveralThreadsAlike) {
  // Enough ranges for the lookups that are built before the threads start:
  // disjoint program ranges, and memory ranges that overlap.
  c_memory_def definition;
  for (std::uint32_t i = 0; i < 24; ++i) {
    definition.program_ranges.push_back({i * 0x00100000, 0x000C0000});
    definition.memory_ranges.push_back({0x01000000 + i * 0x00080000, 0x00100000});
  }
  std::mt19937 random(11);
  const std::string text = rule_listing(random);
  expect_same_in_stretches<c_map_file_elxr>(text, definition);
}

TEST(ElxrStretches, PostProcessingSeesTheWholeListing) {
  // ".data_begin" near the end, ".data" near the start, in different
  // stretches; the stack symbols at both ends of the file.
  std::mt19937 random(7);
  listing map;
  map.line("00f00100 D __stack_begin");
  map.section(".data", "00000100", "00FE0100");
  std::string middle = rule_listing(random);
  middle.resize(middle.rfind('\n') + 1);  // without its last, unfinished section
  map.line(middle);
  map.section(".data_begin", "00000010", "00000300", k_code);
  map.line("00f00180 D __stack_end");
  c_memory_def definition = small_target();
  definition.memory_ranges.push_back({0x00F00000, 0x00010000});
  expect_same_in_stretches<c_map_file_elxr_pux_ecu_4x>(map.text(), definition);
}

TEST(ElxrStretches, EachReaderKeepsItsOwnSettings) {
  std::mt19937 random(5);
  scoped_temp_dir dir;
  const std::string path = dir.write("firmware.map", rule_listing(random));
  c_map_file_elxr cut(path);
  cut.set_stretching({1000, 3});
  const c_map_file_elxr untouched(path);
  // Four stretches per thread at most; the 60 kB listing is far below the
  // default stretch length, so the other reader reads it in one go.
  EXPECT_EQ(cut.stretch_bounds().size(), 13u);
  EXPECT_EQ(untouched.stretch_bounds().size(), 2u);
  EXPECT_EQ(untouched.stretching().stretch_bytes, std::uint64_t{4} << 20);
}

TEST(ElxrNames, ReadersGivenOnePoolGiveTheSameNames) {
  listing map;
  map.section(".text", "00000010", "00000100", k_code).section(".data", "00000010", "00FE0000");
  scoped_temp_dir dir;
  const std::string path = dir.write("firmware.map", map.text());
  const auto pool = std::make_shared<section_name_pool>();
  c_map_file_elxr first(path);
  c_map_file_elxr_orm8 second(path);
  first.use_name_pool(pool);
  second.use_name_pool(pool);
  section_list first_program;
  section_list second_program;
  section_list first_memory;
  section_list second_memory;
  ASSERT_TRUE(first.read(small_target(), first_program, first_memory));
  ASSERT_TRUE(second.read(small_target(), second_program, second_memory));
  ASSERT_EQ(first_program.size(), 1u);
  ASSERT_EQ(second_program.size(), 1u);
  EXPECT_EQ(first_program.front().name, second_program.front().name);
  EXPECT_EQ(first_memory.front().name, second_memory.front().name);
  EXPECT_EQ(first_program.front().name, section_name(".text", *pool));
  EXPECT_EQ(pool->distinct_count(), 3u);
  // A reader left to itself makes its names in a pool of its own.
  c_map_file_elxr alone(path);
  EXPECT_NE(alone.name_pool(), pool);
  section_list alone_program;
  section_list alone_memory;
  ASSERT_TRUE(alone.read(small_target(), alone_program, alone_memory));
  EXPECT_NE(alone_program.front().name, first_program.front().name);
  EXPECT_EQ(alone_program.front().name.str(), ".text");
}

TEST(ElxrStretches, AStretchBeginsOnlyBehindALineThatIsNoSectionLine) {
  // Section lines alone: each serves as the attribute line of the one before
  // it, which only a read from the first line can tell. No place to cut.
  std::string text;
  for (int i = 0; i < 2000; ++i) {
    text += section_line(i, i % 2 == 0 ? ".text" : ".data", "00000010",
                         i % 2 == 0 ? "00000100" : "00000200") +
            "\n";
  }
  const c_map_file_elxr::stretch_settings stretches{500, 4};
  scoped_temp_dir dir;
  c_map_file_elxr reader(dir.write("firmware.map", text));
  reader.set_stretching(stretches);
  EXPECT_EQ(reader.stretch_bounds(), (std::vector<std::uint64_t>{0, text.size()}));
  const outcome out = read_with<c_map_file_elxr>(text, everything(), stretches);
  ASSERT_EQ(out.program.size(), 1000u);
  EXPECT_EQ(out.program.front().name, ".text");
  EXPECT_EQ(out.program.back().name, ".text");

  // One attribute line in the middle: the stretch behind it begins there.
  const std::size_t middle = text.size() / 2;
  const std::size_t after = text.find('\n', middle) + 1;
  text.insert(after, attribute_line(k_data) + "\n");
  c_map_file_elxr cut(dir.write("cut.map", text));
  cut.set_stretching(stretches);
  const std::vector<std::uint64_t> bounds = cut.stretch_bounds();
  ASSERT_EQ(bounds.size(), 3u);
  EXPECT_EQ(bounds[1], after + attribute_line(k_data).size() + 1);
  expect_same_in_stretches<c_map_file_elxr>(text, everything(), 3);
}

}  // namespace
