// Every section a reader recognises gets exactly one fate, with the map line
// its section line begins on: counted in a program or memory range, or
// dropped with the first reason that applies. The bytes of all of them are
// the counted bytes plus the dropped ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "mapfile/c_map_file_elxr.h"
#include "tests/test_support.h"

namespace {

struct expected_fate {
  const char* name;
  std::uint64_t map_line;
  const char* fate;  ///< fate_keyword()
  std::int32_t range_index;
};

struct fate_case {
  const char* what;
  const char* keyword;
  const char* definition;
  std::string map;
  std::vector<expected_fate> fates;
};

const char k_elxr_definition[] =
    "PROGRAM 0x1000 0x1000\n"
    "PROGRAM 0x8000 0x100\n"
    "MEMORY  0x4000 0x400\n";

// Line numbers are those of the section lines; every attribute line follows
// its section line directly, blank lines count.
const char k_tev2_map[] =
    "Sections:\n"                                              // 1
    "Idx Name          Size      VMA       LMA\n"              // 2
    "  0 .text         00000100  00001000  00001000  2**2\n"   // 3
    "                  CONTENTS, ALLOC, LOAD, CODE\n"          // 4
    "  1 .data         00000010  00004000  00004000  2**2\n"   // 5
    "                  CONTENTS, ALLOC, DATA\n"                // 6
    "\n"                                                       // 7
    "  2 .debug_info   00000020  00001200  00001200  2**0\n"   // 8
    "                  CONTENTS\n"                             // 9
    "  3 .rodata       00000030  00001300  00001300  2**0\n"   // 10
    "                  CONTENTS, READONLY, DEBUGGING\n"        // 11
    "  4 .heap         00000040  00001400  00001400  2**0\n"   // 12
    "                  ALLOC, DEBUGGING\n"                     // 13
    "  5 .heap         00000050  00001500  00001500  2**0\n"   // 14
    "                  ALLOC\n"                                // 15
    "  6 .bss          00000000  00001600  00001600  2**0\n"   // 16
    "                  ALLOC\n"                                // 17
    "  7 .zbss         00000100  00001F80  00001F80  2**0\n"   // 18
    "                  ALLOC\n"                                // 19
    "  8 .sdata        00000010  00009000  00009000  2**0\n"   // 20
    "                  ALLOC\n"                                // 21
    "  9 .text.startup 00000008  00008000  00008000  2**0\n"   // 22
    "                  CONTENTS, CODE\n"                       // 23
    " 10 .tdata        00000004  40008010  40008010  2**0\n"   // 24
    "                  CONTENTS\n"                             // 25
    " 11 .sbss         00000004  00008020  00008020  2**0\n";  // 26: no attribute line

/// An Altium table row: name and full stops, start at offset 32, length at 54.
std::string altium_row(const std::string& name, const std::string& start, const std::string& size,
                       const std::string& kind) {
  std::string line = name + " ";
  line.resize(30, '.');
  line.resize(32, ' ');
  line += start;
  line.resize(54, ' ');
  return line + size + "  " + kind + "\n";
}

std::string orm6_map() {
  return "Memory map\n"                                        // 1
         "\n"                                                  // 2
         "Name  Start  End  Length\n"                          // 3
         "--------------------\n" +                            // 4
         altium_row("CODE_A", "000200", "000010", "CODE") +    // 5
         altium_row("BITS", "008000", "000010", "BIT  BIT") +  // 6
         altium_row("FAR", "00A000", "000010", "DATA") +       // 7
         "Number of symbols: 3\n";                             // 8
}

const std::vector<fate_case> k_cases = {
    {"elxr: counted, each reason, a name the reader does not take",
     "Tev2",
     k_elxr_definition,
     k_tev2_map,
     {
         {".text", 3, "program", 0},
         {".data", 5, "memory", 0},
         // Names off the reader's list are no section lines of it.
         {".debug_info", 8, "name_not_accepted", -1},
         {".rodata", 10, "debugging_attribute", -1},
         {".heap", 12, "name_not_accepted", -1},
         {".heap", 14, "name_not_accepted", -1},
         {".bss", 16, "zero_size", -1},
         {".zbss", 18, "straddles_range", -1},
         {".sdata", 20, "outside_ranges", -1},
         {".text.startup", 22, "name_not_accepted", -1},
         // 0x40008010 folded to its low 26 bits lies in the second range.
         {".tdata", 24, "program", 1},
         {".sbss", 26, "no_attribute_line", -1},
     }},
    {"mem32: any name is taken, so names drop it, in their order",
     "Tev2_mem32_unlimited",
     "PROGRAM 0x40001000 0x1000\n",
     "  0 .debug_info   00000020  40001000  40001000  2**0\n"  // 1
     "                  CONTENTS, DEBUGGING\n"                 // 2
     "  1 .heap         00000040  40001100  40001100  2**0\n"  // 3
     "                  ALLOC, DEBUGGING\n"                    // 4
     "  2 .heap         00000050  40001200  40001200  2**0\n"  // 5
     "                  ALLOC\n"                               // 6
     "  3 .linfix       00000010  40001300  40001300  2**0\n"  // 7
     "                  ALLOC\n"                               // 8
     "  4 .text.startup 00000008  40001400  40001400  2**0\n"  // 9
     "                  CONTENTS, CODE\n",                     // 10
     {
         {"debug_info", 1, "debug_name", -1},
         {"heap", 3, "debugging_attribute", -1},
         {"heap", 5, "excluded_name", -1},
         {"linfix", 7, "excluded_name", -1},
         // Full 32-bit addresses: nothing folded.
         {"text.startup", 9, "program", 0},
     }},
    {"Pux4: the data image and the stack are made up and have no line",
     "Pux4",
     "PROGRAM 0x1000 0x1000\nMEMORY 0x4000 0x1000\n",
     "  0 .data_begin   00000000  00004000  00004000  2**2\n"  // 1
     "                  CONTENTS\n"                            // 2
     "  1 .data         00000020  00001800  00001800  2**2\n"  // 3
     "                  CONTENTS\n"                            // 4
     "00004100 D __stack_begin\n"                              // 5
     "00004180 D __stack_end\n",                               // 6
     {
         {".data_begin", 1, "zero_size", -1},
         // .data now starts where .data_begin does; its image keeps the old start.
         {".data", 3, "memory", 0},
         {"rodata", 0, "program", 0},
         {"stack", 0, "memory", 0},
     }},
    {"Orm6: table rows by line, reserved ranges made up last",
     "Orm6",
     "PROGRAM 0x0000 0x8000\nMEMORY 0x8000 0x100\nRESERVED 0x100 0x10\nRESERVED 0x9000 0x10\n",
     orm6_map(),
     {
         {"CODE_A ", 5, "program", 0},
         {"BITS ", 6, "memory", 0},
         {"FAR ", 7, "outside_ranges", -1},
         {"RESERVED0", 0, "program", 0},
         // A reserved range is only ever taken by a program range.
         {"RESERVED1", 0, "outside_ranges", -1},
     }},
};

memory_analysis analyse_with_fates(const fate_case& c) {
  test_support::scoped_temp_dir dir;
  analysis_request request;
  request.type_keyword = c.keyword;
  request.definition_path = dir.write("memory.def", c.definition);
  request.map_path = dir.write("app.map", c.map);
  request.collect_fates = true;
  return analyse_memory(request);
}

}  // namespace

TEST(SectionFates, EverySectionHasOneFateAndItsLine) {
  for (const fate_case& c : k_cases) {
    SCOPED_TRACE(c.what);
    const memory_analysis analysis = analyse_with_fates(c);
    ASSERT_FALSE(analysis.failure.failed());

    ASSERT_EQ(analysis.fates.size(), c.fates.size());
    for (std::size_t i = 0; i < c.fates.size(); ++i) {
      SCOPED_TRACE(c.fates[i].name);
      EXPECT_EQ(analysis.fates[i].name, c.fates[i].name);
      EXPECT_EQ(analysis.fates[i].map_line, c.fates[i].map_line);
      EXPECT_EQ(fate_keyword(analysis.fates[i].fate), c.fates[i].fate);
      EXPECT_EQ(analysis.fates[i].range_index, c.fates[i].range_index);
    }
  }
}

TEST(SectionFates, CountedFatesAreExactlyTheListedSections) {
  for (const fate_case& c : k_cases) {
    SCOPED_TRACE(c.what);
    const memory_analysis analysis = analyse_with_fates(c);

    std::uint64_t program = 0;
    std::uint64_t memory = 0;
    std::uint64_t dropped = 0;
    std::uint64_t all = 0;
    for (const section_fate_record& fate : analysis.fates) {
      all += fate.size;
      if (fate.fate == section_fate::counted_program) {
        program += fate.size;
      } else if (fate.fate == section_fate::counted_memory) {
        memory += fate.size;
      } else {
        dropped += fate.size;
      }
    }
    EXPECT_EQ(program, analysis.program_used);
    EXPECT_EQ(analysis.by_fate[0].bytes, program);
    EXPECT_EQ(analysis.dropped().bytes, dropped);
    EXPECT_EQ(analysis.counted().bytes, program + memory);
    EXPECT_EQ(analysis.recognised().bytes, all);
    EXPECT_EQ(analysis.recognised().sections, analysis.fates.size());

    // A section counted in a program range names its place in the report's
    // list and the entry that counted it.
    const std::vector<section_record> listed(analysis.program_sections.begin(),
                                             analysis.program_sections.end());
    for (const section_fate_record& fate : analysis.fates) {
      if (fate.fate != section_fate::counted_program) {
        EXPECT_EQ(fate.program_index, -1);
        continue;
      }
      ASSERT_GE(fate.program_index, 0);
      ASSERT_LT(static_cast<std::size_t>(fate.program_index), listed.size());
      const section_record& record = listed[static_cast<std::size_t>(fate.program_index)];
      EXPECT_EQ(record.name.str(), fate.name);
      EXPECT_EQ(record.start, fate.start);
      EXPECT_EQ(record.size, fate.size);
    }
    EXPECT_EQ(memory, analysis.memory_used_bytes + analysis.memory_used_bits);
    EXPECT_EQ(all, program + memory + dropped);
  }
}

TEST(SectionFates, NoObserverNoFates) {
  test_support::scoped_temp_dir dir;
  analysis_request request;
  request.type_keyword = "Tev2";
  request.definition_path = dir.write("memory.def", k_elxr_definition);
  request.map_path = dir.write("app.map", k_tev2_map);
  const memory_analysis analysis = analyse_memory(request);
  EXPECT_TRUE(analysis.fates.empty());
  EXPECT_EQ(analysis.program_used, 0x104u);
}

TEST(SectionFates, AListingReadInStretchesKeepsEveryLine) {
  // Section lines of every fate the elxr path decides, each at a line number
  // known while the listing is written; blank lines now and then.
  struct kind {
    const char* name;
    const char* start;
    const char* attributes;
    const char* fate;
  };
  const kind kinds[] = {
      {".text", "00001000", "CONTENTS, CODE", "program"},
      {".data", "00004000", "CONTENTS, DATA", "memory"},
      {".rodata", "00001100", "CONTENTS, DEBUGGING", "debugging_attribute"},
      {".text.hot", "00001200", "CONTENTS, CODE", "name_not_accepted"},
      {".sdata", "00009000", "CONTENTS, DATA", "outside_ranges"},
  };
  std::string map = "Sections:\nIdx Name          Size      VMA       LMA\n";
  std::uint64_t line = 2;
  std::vector<expected_fate> expected;
  std::vector<std::string> names;
  names.reserve(3000);
  for (int i = 0; i < 3000; ++i) {
    const kind& k = kinds[(i * 7) % 5];
    if (i % 11 == 0) {
      map += "\n";
      ++line;
    }
    map += "  " + std::to_string(i) + " " + k.name + "  00000010  " + k.start + "  " + k.start +
           "  2**2\n                  " + k.attributes + "\n";
    names.emplace_back(k.name);
    expected.push_back({names.back().c_str(), line + 1, k.fate, 0});
    line += 2;
  }
  test_support::scoped_temp_dir dir;
  analysis_request request;
  request.type_keyword = "Tev2";
  request.definition_path = dir.write("memory.def", k_elxr_definition);
  request.map_path = dir.write("app.map", map);
  request.collect_fates = true;
  request.stretching = {4096, 4};

  c_map_file_elxr probe(request.map_path);
  probe.set_stretching(request.stretching);
  ASSERT_GT(probe.stretch_bounds().size(), 8u);

  const memory_analysis stretched = analyse_memory(request);
  ASSERT_EQ(stretched.fates.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(stretched.fates[i].name, expected[i].name);
    EXPECT_EQ(stretched.fates[i].map_line, expected[i].map_line);
    EXPECT_EQ(fate_keyword(stretched.fates[i].fate), expected[i].fate);
    if (HasFailure()) {
      break;  // one wrong line shifts all after it
    }
  }
}
