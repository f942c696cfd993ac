// The reader base: fetching the next non-empty line (line ends, NUL, over-long
// lines, the end of the file), opening what is no readable file, the base
// reading contract, and placing records into the program or memory list.
#include "mapfile/c_map_file.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using test_support::scoped_temp_dir;
using namespace std::string_literals;
using lines = std::vector<std::string>;

// Every line read_line returns for the file, up to its first false.
lines read_lines(const std::string& bytes) {
  scoped_temp_dir dir;
  c_map_file file(dir.write("listing.map", bytes));
  EXPECT_TRUE(file.is_open);
  lines result;
  std::string_view line;
  while (file.read_line(line)) {
    result.emplace_back(line);
  }
  return result;
}

// ---------------------------------------------------------------- read_line

TEST(MapFileReadLine, EmptyLinesAreSkippedBlankLinesAreNot) {
  EXPECT_EQ(read_lines("\n\nfirst\n\n\n  \n\t\nlast\n\n"), (lines{"first", "  ", "\t", "last"}));
  EXPECT_EQ(read_lines("\r\n\r\nx\r\n\r\n"), (lines{"x"}));
}

TEST(MapFileReadLine, CarriageReturnBeforeLineFeedIsDropped) {
  EXPECT_EQ(read_lines("a b\r\nc\r\n"), (lines{"a b", "c"}));
  // A line holding just one carriage return is empty.
  EXPECT_EQ(read_lines("a\n\r\nb\n"), (lines{"a", "b"}));
}

TEST(MapFileReadLine, NulEndsTheLine) {
  EXPECT_EQ(read_lines("abc\0def\nnext\n"s), (lines{"abc", "next"}));
  // Nothing before the NUL: the line is empty and skipped.
  EXPECT_EQ(read_lines("\0hidden\nnext\n"s), (lines{"next"}));
}

TEST(MapFileReadLine, TheLastLineNeedsNoLineFeed) {
  EXPECT_EQ(read_lines("one\ntwo"), (lines{"one", "two"}));
  EXPECT_EQ(read_lines("only"), (lines{"only"}));
}

TEST(MapFileReadLine, AnEmptyFileHasNoLine) {
  EXPECT_EQ(read_lines(""), (lines{}));
  EXPECT_EQ(read_lines("\n\n\r\n"), (lines{}));
}

TEST(MapFileReadLine, TwoThousandFortySevenCharactersAreReturnedWhole) {
  std::string exact(2047, 'x');
  exact[0] = 'a';
  exact[2046] = 'z';
  EXPECT_EQ(read_lines(exact + "\nnext\n"), (lines{exact, "next"}));
  EXPECT_EQ(read_lines(exact + "\r\nnext\r\n"), (lines{exact, "next"}));
}

TEST(MapFileReadLine, LongerLinesAreCutAndTheNextLineIsStillRead) {
  const std::string head = std::string(2046, 'x') + "z";
  EXPECT_EQ(read_lines(head + "Y\nnext\n"), (lines{head, "next"}));
  EXPECT_EQ(read_lines(head + "  5 .text 100 200 rest\r\nnext"), (lines{head, "next"}));
  EXPECT_EQ(read_lines("first\n" + head + std::string(5000, 'w')), (lines{"first", head}));
}

TEST(MapFileReadLine, AMultiMegabyteLineIsCutAndTheNextLineIsStillRead) {
  std::string huge(6 * 1024 * 1024, 'm');
  huge[0] = 'h';
  EXPECT_EQ(read_lines("first\n" + huge + "\nsecond\n"),
            (lines{"first", huge.substr(0, 2047), "second"}));
}

TEST(MapFileReadLine, AfterTheEndItStaysFalseUntilTheFileIsOpenedAgain) {
  scoped_temp_dir dir;
  const std::string path = dir.write("listing.map", "one\ntwo\n");
  c_map_file file(path);
  std::string_view line;
  ASSERT_TRUE(file.read_line(line));
  ASSERT_TRUE(file.read_line(line));
  EXPECT_FALSE(file.read_line(line));
  EXPECT_FALSE(file.read_line(line));
  ASSERT_TRUE(file.open(file.file_name));
  ASSERT_TRUE(file.read_line(line));
  EXPECT_EQ(line, "one");
  EXPECT_TRUE(file.is_open);
}

// ------------------------------------------------------------------ opening

TEST(MapFileOpen, AMissingFileIsNotOpen) {
  scoped_temp_dir dir;
  c_map_file file(dir.file("missing.map"));
  EXPECT_FALSE(file.is_open);
  EXPECT_EQ(file.file_name, dir.file("missing.map"));
  std::string_view line;
  EXPECT_FALSE(file.read_line(line));
}

TEST(MapFileOpen, ADirectoryIsAFileThatCannotBeOpened) {
  scoped_temp_dir dir;
  c_map_file file(dir.path());
  EXPECT_FALSE(file.is_open);
  std::string_view line;
  EXPECT_FALSE(file.read_line(line));
}

TEST(MapFileOpen, TheOpenFlagKeepsItsFirstValue) {
  scoped_temp_dir dir;
  const std::string path = dir.write("listing.map", "one\n");
  c_map_file file(path);
  EXPECT_FALSE(file.open(dir.file("missing.map")));
  EXPECT_TRUE(file.is_open);
}

// ------------------------------------------------------ the base contract

TEST(MapFileBase, ReadsNothingAndPostProcessingChangesNothing) {
  scoped_temp_dir dir;
  c_map_file file(dir.write("listing.map", "  1 .text 100 0 x\nattributes\n"));
  c_memory_def definition;
  definition.program_ranges.push_back({0, 0x10000});
  section_list program;
  section_list memory;
  EXPECT_FALSE(file.read(definition, program, memory));
  EXPECT_TRUE(program.empty());
  EXPECT_TRUE(memory.empty());

  section_name_pool names;
  std::vector<section_record> records(2);
  records[0].name = section_name("a", names);
  records[1].start = 5;
  EXPECT_TRUE(file.post_process(records));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].name, "a");
  EXPECT_EQ(records[1].start, 5u);
}

// ---------------------------------------------------------------- placement

section_record make(std::uint32_t start, std::uint32_t size, const std::string& name,
                    section_name_pool& names) {
  section_record record;
  record.start = start;
  record.size = size;
  record.name = section_name(name, names);
  return record;
}

struct placed {
  std::string name;
  std::int32_t range_index;
  bool operator==(const placed& other) const {
    return name == other.name && range_index == other.range_index;
  }
};

void PrintTo(const placed& p, std::ostream* out) { *out << p.name << "@" << p.range_index; }

std::vector<placed> contents(const section_list& list) {
  std::vector<placed> result;
  for (const section_record& record : list) {
    result.push_back({record.name, record.range_index});
  }
  return result;
}

TEST(MapFilePlace, ProgramRangesComeBeforeMemoryRanges) {
  section_name_pool names;
  c_memory_def definition;
  definition.program_ranges = {{0x0, 0x1000}, {0x8000, 0x1000}};
  // The one memory range covers both program ranges and more.
  definition.memory_ranges = {{0x2000, 0x100}, {0x0, 0x10000}};
  section_list program;
  section_list memory;
  for (section_record record : {
           make(0x8100, 0x10, "flash1", names),    // program range 1 (and memory range 1)
           make(0x0100, 0x10, "flash0", names),    // program range 0 (and memory range 1)
           make(0x2000, 0x10, "ram0", names),      // memory range 0 only
           make(0x0FF0, 0x20, "across", names),    // leaves program range 0: memory range 1
           make(0x20000, 0x10, "nowhere", names),  // in no range
           make(0x0200, 0, "empty", names),        // size 0 lies in no range
       }) {
    c_map_file::place(definition, record, program, memory);
  }
  EXPECT_EQ(contents(program), (std::vector<placed>{{"flash0", 0}, {"flash1", 1}}));
  EXPECT_EQ(contents(memory), (std::vector<placed>{{"across", 1}, {"ram0", 0}}));
}

TEST(MapFilePlace, EachListStaysInAddressOrder) {
  section_name_pool names;
  c_memory_def definition;
  definition.program_ranges = {{0x0, 0x10000}};
  section_list program;
  section_list memory;
  for (section_record record :
       {make(0x300, 1, "c", names), make(0x100, 1, "a", names), make(0x300, 1, "c2", names)}) {
    c_map_file::place(definition, record, program, memory);
  }
  EXPECT_EQ(contents(program), (std::vector<placed>{{"a", 0}, {"c2", 0}, {"c", 0}}));
  EXPECT_TRUE(memory.empty());
}

TEST(MapFilePlace, PlacingAllAtOnceEqualsPlacingOneByOne) {
  section_name_pool names;
  c_memory_def definition;
  definition.program_ranges = {{0x0, 0x1000}, {0x8000, 0x1000}};
  definition.memory_ranges = {{0x2000, 0x100}, {0x0, 0x10000}};
  std::mt19937 random(99);
  for (int round = 0; round < 10; ++round) {
    std::vector<section_record> records;
    for (int i = 0; i < 300; ++i) {
      // Starts from a few values, so that equal starts are common.
      const auto start = static_cast<std::uint32_t>(random() % 24) * 0x700;
      const auto size = static_cast<std::uint32_t>(random() % 3) * 0x200;
      records.push_back(make(start, size, std::to_string(round) + "/" + std::to_string(i), names));
    }
    section_list program_one;
    section_list memory_one;
    section_list program_all;
    section_list memory_all;
    if (round % 2 == 1) {
      // Lists that hold records already take the new ones after them.
      for (section_record early :
           {make(0x100, 4, "early", names), make(0x2000, 4, "early ram", names)}) {
        c_map_file::place(definition, early, program_one, memory_one);
        c_map_file::place(definition, early, program_all, memory_all);
      }
    }
    for (section_record record : records) {
      c_map_file::place(definition, record, program_one, memory_one);
    }
    c_map_file::place_all(definition, records, program_all, memory_all);
    EXPECT_EQ(contents(program_all), contents(program_one)) << "round " << round;
    EXPECT_EQ(contents(memory_all), contents(memory_one)) << "round " << round;
    EXPECT_FALSE(program_all.empty());
    EXPECT_FALSE(memory_all.empty());
  }
}

TEST(MapFilePlace, InsertSortedAlwaysInserts) {
  section_name_pool names;
  section_list list;
  EXPECT_TRUE(c_map_file::insert_sorted(list, make(0x20, 0, "zero size", names)));
  EXPECT_TRUE(c_map_file::insert_sorted(list, make(0x10, 4, "x", names)));
  EXPECT_EQ(contents(list), (std::vector<placed>{{"x", -1}, {"zero size", -1}}));
}

}  // namespace
