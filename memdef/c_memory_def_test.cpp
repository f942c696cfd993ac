// The memory definition file: how one line is classified and where its
// numbers or terms are taken from, how a whole file is read and judged, and
// which range holds a section record.
#include "memdef/c_memory_def.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

/// What find_range places: a start, a size and the index it finds.
struct placed_block {
  std::uint32_t start = 0;
  std::uint32_t size = 0;
  std::int32_t range_index = -1;
};

using test_support::scoped_temp_dir;
using namespace std::string_literals;

struct parsed {
  line_kind kind = line_none;
  memory_range range;
  search_list searches;
};

parsed parse(const std::string& line) {
  parsed result;
  result.kind = c_memory_def::parse_line(line, result.range, result.searches);
  return result;
}

void expect_range(const std::string& line, line_kind kind, std::uint32_t start,
                  std::uint32_t size) {
  const parsed p = parse(line);
  EXPECT_EQ(p.kind, kind) << line;
  EXPECT_EQ(p.range.start, start) << line;
  EXPECT_EQ(p.range.size, size) << line;
  EXPECT_TRUE(p.searches.empty()) << line;
}

using terms = std::vector<std::string>;

// ---------------------------------------------------------------- keywords

TEST(MemoryDefLineKind, EachKeywordGivesItsKind) {
  expect_range("PROGRAM 10 20", line_program, 0x10, 0x20);
  expect_range("MEMORY 10 20", line_memory, 0x10, 0x20);
  expect_range("EEPROM 10 20", line_eeprom, 0x10, 0x20);
  expect_range("RESERVED 10 20", line_reserved, 0x10, 0x20);
  const parsed search = parse("SEARCH Com");
  EXPECT_EQ(search.kind, line_search);
  ASSERT_EQ(search.searches.size(), 1u);
  EXPECT_EQ(search.searches[0].all_terms, terms{"Com"});
}

TEST(MemoryDefLineKind, TheFirstKeywordInTheFixedOrderWins) {
  // MEMORY stands first in the line, but PROGRAM is looked for first.
  expect_range("MEMORY PROGRAM 10 20", line_program, 0, 0);
  // EEPROM decides; its six characters leave "ED EEPROM" as arguments.
  expect_range("RESERVED EEPROM", line_eeprom, 0xED, 0xEE);
  expect_range("EEPROM 100 200 MEMORY", line_memory, 0x100, 0x200);
  // SEARCH goes before every range keyword: its terms may name them.
  const parsed search = parse("SEARCH PROGRAM_code MEMORY");
  EXPECT_EQ(search.kind, line_search);
  ASSERT_EQ(search.searches.size(), 1u);
  EXPECT_EQ(search.searches[0].all_terms, (terms{"PROGRAM_code", "MEMORY"}));
}

TEST(MemoryDefLineKind, KeywordsAreCaseSensitiveAndOtherLinesAreIgnored) {
  expect_range("program 10 20", line_none, 0, 0);
  expect_range("Memory 10 20", line_none, 0, 0);
  expect_range("search Com", line_none, 0, 0);
  expect_range("", line_none, 0, 0);
  expect_range("   \t", line_none, 0, 0);
  expect_range("PROGRA 10 20", line_none, 0, 0);
  expect_range("free text 10 20", line_none, 0, 0);
}

TEST(MemoryDefLineKind, TheKeywordMayStandAnywhereInTheLine) {
  expect_range("flash: PROGRAM", line_program, 0, 0);
  expect_range("xMEMORYx", line_memory, 0, 0);
}

// ----------------------------------------------------------- argument text

TEST(MemoryDefArguments, TakenAfterAsManyCharactersAsTheKeywordHas) {
  // Two blanks before PROGRAM: the arguments start at "AM 100 200", so the
  // start is the hexadecimal A and the size cannot be read.
  expect_range("  PROGRAM 100 200", line_program, 0xA, 0);
  // Eight characters for RESERVED: the arguments are "D 1 2".
  expect_range("xRESERVED 1 2", line_reserved, 0xD, 1);
  // Six for MEMORY: "ram MEMORY 3 4" loses "ram ME".
  expect_range("ram MEMORY 3 4", line_memory, 0, 0);
  // The argument text after the keyword length may just hold numbers.
  expect_range("MEMORY12 34", line_memory, 0x12, 0x34);
  expect_range("12PROGRAM 34 56", line_program, 0xA, 0);
}

TEST(MemoryDefArguments, SearchTermsFromALaterKeywordStartAtTheSameOffset) {
  const parsed p = parse("  SEARCH foo |bar");
  EXPECT_EQ(p.kind, line_search);
  ASSERT_EQ(p.searches.size(), 1u);
  EXPECT_EQ(p.searches[0].all_terms, (terms{"CH", "foo"}));
  EXPECT_EQ(p.searches[0].any_terms, terms{"bar"});
}

// ---------------------------------------------------------------- comments

TEST(MemoryDefComments, ALineStartingWithTwoSlashesIsIgnored) {
  expect_range("// PROGRAM 10 20", line_none, 0, 0);
  expect_range("//SEARCH Com", line_none, 0, 0);
}

TEST(MemoryDefComments, TheCommentIsNotSearchedForKeywords) {
  expect_range("PROGRAM 10 20 // MEMORY", line_program, 0x10, 0x20);
  expect_range("MEMORY 10 20 // PROGRAM", line_memory, 0x10, 0x20);
  expect_range("EEPROM 10 20// see SEARCH", line_eeprom, 0x10, 0x20);
  const parsed p = parse("SEARCH Com Stack // |Can PROGRAM");
  ASSERT_EQ(p.searches.size(), 1u);
  EXPECT_EQ(p.searches[0].all_terms, (terms{"Com", "Stack"}));
  EXPECT_TRUE(p.searches[0].any_terms.empty());
}

TEST(MemoryDefComments, OnlyTheFirstSlashIsLookedAt) {
  const parsed p = parse("SEARCH a/b // c");
  EXPECT_EQ(p.kind, line_search);
  ASSERT_EQ(p.searches.size(), 1u);
  EXPECT_EQ(p.searches[0].all_terms, (terms{"a/b", "//", "c"}));
  // The uncut "// PROGRAM" still counts, so this is a PROGRAM line.
  expect_range("MEMORY 10 20 a/b // PROGRAM", line_program, 0x10, 0x20);
  // A single slash at the end of the line cuts nothing.
  expect_range("PROGRAM 10 20 /", line_program, 0x10, 0x20);
}

// ----------------------------------------------------------------- numbers

TEST(MemoryDefNumbers, HexadecimalWithOrWithoutPrefix) {
  expect_range("PROGRAM 0x8000 0x100", line_program, 0x8000, 0x100);
  expect_range("PROGRAM 8000 100", line_program, 0x8000, 0x100);
  expect_range("PROGRAM 0X8000 0Xff", line_program, 0x8000, 0xFF);
  expect_range("PROGRAM fedf0000 A0", line_program, 0xFEDF0000, 0xA0);
  expect_range("PROGRAM \t 00000000000010\t\t20 trailing words", line_program, 0x10, 0x20);
  expect_range("PROGRAM FFFFFFFF FFFFFFFF", line_program, 0xFFFFFFFF, 0xFFFFFFFF);
}

TEST(MemoryDefNumbers, SignsNegateModuloTwoToTheThirtySecond) {
  expect_range("PROGRAM -1 +10", line_program, 0xFFFFFFFF, 0x10);
  expect_range("PROGRAM -0x10 -0", line_program, 0xFFFFFFF0, 0);
  expect_range("PROGRAM -FFFFFFFF 1", line_program, 1, 1);
  expect_range("MEMORY - 5 6", line_memory, 0, 0);
}

TEST(MemoryDefNumbers, TheSecondNumberIsReadRightAfterTheFirst) {
  // A comma ends the first number and makes the second unreadable.
  expect_range("PROGRAM 1,2", line_program, 1, 0);
  // A sign is read as the start of the second number.
  expect_range("PROGRAM 10+20", line_program, 0x10, 0x20);
  expect_range("PROGRAM 10-1", line_program, 0x10, 0xFFFFFFFF);
}

TEST(MemoryDefNumbers, OneOrNoNumber) {
  expect_range("PROGRAM 8000", line_program, 0x8000, 0);
  expect_range("PROGRAM", line_program, 0, 0);
  expect_range("MEMORY   ", line_memory, 0, 0);
}

TEST(MemoryDefNumbers, AnUnreadableNumberZeroesItAndEveryLaterOne) {
  // Beyond 32 bits.
  expect_range("PROGRAM 100000000 20", line_program, 0, 0);
  expect_range("PROGRAM 10 100000000", line_program, 0x10, 0);
  expect_range("PROGRAM -100000000 20", line_program, 0, 0);
  // Not a number.
  expect_range("PROGRAM start 20", line_program, 0, 0);
  expect_range("PROGRAM 10 size", line_program, 0x10, 0);
}

// ------------------------------------------------- what parse_line tells

TEST(MemoryDefReading, WhereTheKeywordAndEachNumberWereRead) {
  using st = number_state;
  constexpr std::size_t none = std::string_view::npos;
  const struct {
    std::string line;
    std::size_t keyword_at;
    st first;
    std::size_t first_at;
    std::size_t first_end;
    st second;
    std::size_t second_at;
  } cases[] = {
      // Positions count in the argument text, which begins after the keyword's length.
      {"PROGRAM 10 20", 0, st::read, 1, 3, st::read, 4},
      {"PROGRAM 0x100", 0, st::read, 1, 6, st::missing, 6},
      {"MEMORY 1,2", 0, st::read, 1, 2, st::malformed, 2},
      {"EEPROM 123456789 4", 0, st::too_large, 1, 1, st::skipped, 0},
      {"RESERVED -", 0, st::malformed, 1, 1, st::skipped, 0},
      {"PROGRAM   \t", 0, st::missing, 4, 4, st::skipped, 0},
      {"PROGRAM", 0, st::missing, 0, 0, st::skipped, 0},
      // Indented: "AM 0x100 0x200" gives A, then M stops the size.
      {"  PROGRAM 0x100 0x200", 2, st::read, 0, 1, st::malformed, 1},
      {"SEARCH Com", 0, st::skipped, 0, 0, st::skipped, 0},
      {"nothing here", none, st::skipped, 0, 0, st::skipped, 0},
  };
  for (const auto& c : cases) {
    memory_range range;
    search_list searches;
    line_reading reading;
    c_memory_def::parse_line(c.line, range, searches, &reading);
    EXPECT_EQ(reading.keyword_at, c.keyword_at) << c.line;
    EXPECT_EQ(reading.numbers[0].state, c.first) << c.line;
    EXPECT_EQ(reading.numbers[1].state, c.second) << c.line;
    if (c.first != st::skipped) {
      EXPECT_EQ(reading.numbers[0].at, c.first_at) << c.line;
      EXPECT_EQ(reading.numbers[0].end, c.first_end) << c.line;
    }
    if (c.second != st::skipped) {
      EXPECT_EQ(reading.numbers[1].at, c.second_at) << c.line;
    }
  }
}

TEST(MemoryDefReading, TheCommentCutAndTheFirstSlash) {
  memory_range range;
  search_list searches;
  line_reading reading;
  EXPECT_EQ(c_memory_def::parse_line("PROGRAM 0 10 // c", range, searches, &reading), line_program);
  EXPECT_TRUE(reading.comment);
  EXPECT_EQ(reading.first_slash, 13u);
  EXPECT_EQ(reading.text, "PROGRAM 0 10 ");
  EXPECT_EQ(reading.keyword, "PROGRAM");
  EXPECT_EQ(reading.arguments, " 0 10 ");

  EXPECT_EQ(c_memory_def::parse_line("SEARCH a/b // c", range, searches, &reading), line_search);
  EXPECT_FALSE(reading.comment);
  EXPECT_EQ(reading.first_slash, 8u);
  EXPECT_EQ(reading.text, "SEARCH a/b // c");
  // A reading is filled afresh for every line.
  EXPECT_EQ(reading.numbers[0].state, number_state::skipped);
}

// ---------------------------------------------------------------- SEARCH

TEST(MemoryDefSearch, OnlyLinesWithTermsAddAnEntry) {
  search_list searches;
  memory_range range;
  EXPECT_EQ(c_memory_def::parse_line("SEARCH", range, searches), line_search);
  EXPECT_EQ(c_memory_def::parse_line("SEARCH \t ", range, searches), line_search);
  EXPECT_TRUE(searches.empty());
  EXPECT_EQ(c_memory_def::parse_line("SEARCH Com |Can !Test", range, searches), line_search);
  EXPECT_EQ(c_memory_def::parse_line("SEARCH !", range, searches), line_search);
  ASSERT_EQ(searches.size(), 2u);
  EXPECT_EQ(searches[0].display_text(), "Com |Can !Test ");
  EXPECT_EQ(searches[1].display_text(), "! ");
  EXPECT_EQ(range.start, 0u);
  EXPECT_EQ(range.size, 0u);
}

// ------------------------------------------------------------ whole files

struct read_result {
  bool valid = false;
  c_memory_def definition;
  search_list searches;
};

void read_text(const std::string& bytes, read_result& result) {
  scoped_temp_dir dir;
  result.valid = result.definition.read(dir.write("memory.def", bytes), result.searches);
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs(
    const std::vector<memory_range>& ranges) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> result;
  for (const memory_range& range : ranges) {
    result.emplace_back(range.start, range.size);
  }
  return result;
}

using range_pairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

std::string hex(std::uint32_t value) {
  std::ostringstream text;
  text << std::hex << value;
  return text.str();
}

TEST(MemoryDefRead, RangesGoToTheirArraysInFileOrder) {
  read_result r;
  read_text(
      "// target memory layout\n"
      "PROGRAM 0x0 0x8000\n"
      "MEMORY  FEDE0000 1000\n"
      "PROGRAM 10000 4000  // second flash bank\n"
      "\n"
      "EEPROM  F0000 400\n"
      "RESERVED 7F00 100\n"
      "SEARCH Com |Can !Test\n"
      "MEMORY  FEDF0000 2000\n"
      "SEARCH Os\n",
      r);
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(pairs(r.definition.program_ranges), (range_pairs{{0, 0x8000}, {0x10000, 0x4000}}));
  EXPECT_EQ(pairs(r.definition.memory_ranges),
            (range_pairs{{0xFEDE0000, 0x1000}, {0xFEDF0000, 0x2000}}));
  EXPECT_EQ(pairs(r.definition.eeprom_ranges), (range_pairs{{0xF0000, 0x400}}));
  EXPECT_EQ(pairs(r.definition.reserved_ranges), (range_pairs{{0x7F00, 0x100}}));
  ASSERT_EQ(r.searches.size(), 2u);
  EXPECT_EQ(r.searches[0].display_text(), "Com |Can !Test ");
  EXPECT_EQ(r.searches[1].display_text(), "Os ");
}

TEST(MemoryDefRead, ValidOnlyWithAtLeastOneRangeLine) {
  {
    read_result r;
    read_text("SEARCH Com\nSEARCH Os\n", r);
    EXPECT_FALSE(r.valid);
  }
  {
    read_result r;
    read_text("// PROGRAM 0 100\n// nothing else\n", r);
    EXPECT_FALSE(r.valid);
  }
  {
    read_result r;
    read_text("", r);
    EXPECT_FALSE(r.valid);
  }
  {
    read_result r;
    read_text("EEPROM 0 400", r);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(pairs(r.definition.eeprom_ranges), (range_pairs{{0, 0x400}}));
  }
  {
    read_result r;
    read_text("RESERVED\n", r);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(pairs(r.definition.reserved_ranges), (range_pairs{{0, 0}}));
  }
}

TEST(MemoryDefRead, NoReadableFileIsInvalid) {
  scoped_temp_dir dir;
  c_memory_def missing;
  search_list searches;
  EXPECT_FALSE(missing.read(dir.file("missing.def"), searches));
  c_memory_def directory;
  EXPECT_FALSE(directory.read(dir.path(), searches));
  EXPECT_TRUE(directory.program_ranges.empty());
}

TEST(MemoryDefRead, CarriageReturnsBeforeLineFeedsAreNotPartOfTheLine) {
  read_result r;
  read_text("PROGRAM 0 8000\r\nSEARCH Com !Test\r\nMEMORY 100 20\r\n", r);
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(pairs(r.definition.program_ranges), (range_pairs{{0, 0x8000}}));
  EXPECT_EQ(pairs(r.definition.memory_ranges), (range_pairs{{0x100, 0x20}}));
  ASSERT_EQ(r.searches.size(), 1u);
  EXPECT_EQ(r.searches[0].none_terms, terms{"Test"});
  EXPECT_EQ(r.searches[0].display_text(), "Com !Test ");
}

TEST(MemoryDefRead, ALastLineWithoutLineFeedIsRead) {
  read_result r;
  read_text("PROGRAM 0 8000\nMEMORY 100 20", r);
  EXPECT_EQ(pairs(r.definition.memory_ranges), (range_pairs{{0x100, 0x20}}));
}

TEST(MemoryDefRead, NulEndsTheTextOfALine) {
  read_result r;
  read_text("PROGRAM 10\0 20\nSEARCH abc\0def\n\0MEMORY 1 2\nMEMORY 3 4\n"s, r);
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(pairs(r.definition.program_ranges), (range_pairs{{0x10, 0}}));
  EXPECT_EQ(pairs(r.definition.memory_ranges), (range_pairs{{3, 4}}));
  ASSERT_EQ(r.searches.size(), 1u);
  EXPECT_EQ(r.searches[0].all_terms, terms{"abc"});
}

TEST(MemoryDefRead, OverlongLinesAreCutAtFiveHundredElevenAndReadingGoesOn) {
  // A term that runs over the limit is cut there.
  const std::string search_line = "SEARCH " + std::string(504, 'a') + "bcdef";
  // A keyword beyond the limit is lost with the rest of its line; that rest
  // does not come back as a line of its own.
  const std::string lost_line = std::string(600, 'x') + " PROGRAM 1 2";
  const std::string cut_number = "MEMORY " + std::string(500, ' ') + "12345678";
  read_result r;
  read_text(search_line + "\n" + lost_line + "\r\n" + cut_number + "\nEEPROM 5 6\n", r);
  EXPECT_TRUE(r.valid);
  EXPECT_TRUE(r.definition.program_ranges.empty());
  // The keyword and 501 blanks leave room for 4 of the 8 digits.
  EXPECT_EQ(pairs(r.definition.memory_ranges), (range_pairs{{0x1234, 0}}));
  EXPECT_EQ(pairs(r.definition.eeprom_ranges), (range_pairs{{5, 6}}));
  ASSERT_EQ(r.searches.size(), 1u);
  EXPECT_EQ(r.searches[0].all_terms, terms{std::string(504, 'a')});
}

TEST(MemoryDefRead, AMultiMegabyteLineIsCutAndReadingGoesOn) {
  const std::string huge = "PROGRAM 10 20 " + std::string(3 * 1024 * 1024, 'z') + " MEMORY 1 2";
  read_result r;
  read_text(huge + "\nRESERVED 30 40\n", r);
  EXPECT_EQ(pairs(r.definition.program_ranges), (range_pairs{{0x10, 0x20}}));
  EXPECT_TRUE(r.definition.memory_ranges.empty());
  EXPECT_EQ(pairs(r.definition.reserved_ranges), (range_pairs{{0x30, 0x40}}));
}

TEST(MemoryDefRead, ManyRangesAreAllKeptAndSearchedFirstFitInFileOrder) {
  // 3000 disjoint program ranges in shuffled order, and memory ranges that
  // overlap each other, so that the first fit in file order matters.
  std::mt19937 random(29);
  std::vector<std::uint32_t> slots(3000);
  for (std::uint32_t i = 0; i < slots.size(); ++i) {
    slots[i] = i;
  }
  std::shuffle(slots.begin(), slots.end(), random);
  std::string text;
  for (const std::uint32_t slot : slots) {
    text += "PROGRAM " + hex(slot * 0x1000u) + " " + hex(0x800 + slot % 0x800) + "\n";
  }
  for (std::uint32_t i = 0; i < 40; ++i) {
    text += "MEMORY " + hex(0xFE000000u + (39 - i) * 0x100u) + " " + hex(0x200 + i * 0x40) + "\n";
  }
  read_result r;
  read_text(text, r);
  ASSERT_EQ(r.definition.program_ranges.size(), 3000u);
  ASSERT_EQ(r.definition.memory_ranges.size(), 40u);
  EXPECT_EQ(r.definition.program_ranges[0].start, slots[0] * 0x1000u);

  for (int n = 0; n < 20000; ++n) {
    const bool ram = n % 2 == 1;
    const std::vector<memory_range>& ranges =
        ram ? r.definition.memory_ranges : r.definition.program_ranges;
    placed_block record;
    record.start = ram ? 0xFE000000u + static_cast<std::uint32_t>(random() % 0x3000)
                       : static_cast<std::uint32_t>(random() % (3001 * 0x1000));
    record.size = static_cast<std::uint32_t>(random() % 0x300);
    int expected = -1;
    for (std::size_t i = 0; i < ranges.size() && record.size != 0; ++i) {
      if (ranges[i].start <= record.start && std::uint64_t{record.start} + record.size <=
                                                 std::uint64_t{ranges[i].start} + ranges[i].size) {
        expected = static_cast<int>(i);
        break;
      }
    }
    record.range_index = -1;
    const bool found = r.definition.find_range(record, ranges);
    ASSERT_EQ(found, expected >= 0) << std::hex << record.start << " " << record.size;
    ASSERT_EQ(record.range_index, expected) << std::hex << record.start << " " << record.size;
  }
}

TEST(MemoryDefRead, RangesSharingOneByteKeepFirstFitInFileOrder) {
  // Range i covers 0x100 * i up to and including 0x100 * (i + 1), so each
  // shares its last byte with the first byte of the next one.
  std::string text;
  for (std::uint32_t i = 0; i < 40; ++i) {
    text += "PROGRAM " + hex(0x100 * i) + " 101\n";
  }
  read_result r;
  read_text(text, r);
  ASSERT_EQ(r.definition.program_ranges.size(), 40u);
  for (std::uint32_t i = 1; i < 40; ++i) {
    placed_block shared;
    shared.start = 0x100 * i;
    shared.size = 1;
    ASSERT_TRUE(r.definition.find_range(shared, r.definition.program_ranges));
    EXPECT_EQ(shared.range_index, static_cast<std::int32_t>(i - 1));
  }
}

// ------------------------------------------------------------- find_range

placed_block record_at(std::uint32_t start, std::uint32_t size) {
  placed_block record;
  record.start = start;
  record.size = size;
  record.range_index = 7;  // any earlier value; only a fit changes it
  return record;
}

// The range index that find_range reports, or -1 when nothing fits (then the
// record's own index must be untouched).
int fit(const std::vector<memory_range>& ranges, std::uint32_t start, std::uint32_t size) {
  c_memory_def definition;
  placed_block record = record_at(start, size);
  if (!definition.find_range(record, ranges)) {
    EXPECT_EQ(record.range_index, 7) << "a failed search changed range_index";
    return -1;
  }
  return record.range_index;
}

TEST(MemoryDefFindRange, BothEndsOfARangeAreInsideIt) {
  const std::vector<memory_range> ranges = {{0x1000, 0x100}};
  EXPECT_EQ(fit(ranges, 0x1000, 0x100), 0);   // exactly the range
  EXPECT_EQ(fit(ranges, 0x1000, 1), 0);       // first byte
  EXPECT_EQ(fit(ranges, 0x10FF, 1), 0);       // last byte
  EXPECT_EQ(fit(ranges, 0x1080, 0x80), 0);    // ends at the range's end
  EXPECT_EQ(fit(ranges, 0x1080, 0x81), -1);   // one byte beyond
  EXPECT_EQ(fit(ranges, 0x0FFF, 2), -1);      // starts one byte before
  EXPECT_EQ(fit(ranges, 0x0FFF, 0x102), -1);  // covers the range and more
  EXPECT_EQ(fit(ranges, 0x1100, 1), -1);      // right behind it
}

TEST(MemoryDefFindRange, TheFirstRangeThatHoldsTheWholeRecordWins) {
  const std::vector<memory_range> ranges = {{0, 0x1000}, {0x800, 0x1000}};
  EXPECT_EQ(fit(ranges, 0x900, 0x100), 0);
  EXPECT_EQ(fit(ranges, 0xF80, 0x100), 1);
  EXPECT_EQ(fit(ranges, 0x1700, 0x200), -1);
  const std::vector<memory_range> nested = {{0x100, 0x10}, {0, 0x1000}, {0x100, 0x10}};
  EXPECT_EQ(fit(nested, 0x100, 0x10), 0);
  EXPECT_EQ(fit(nested, 0x100, 0x11), 1);
}

TEST(MemoryDefFindRange, ARecordOfSizeZeroLiesInNoRange) {
  EXPECT_EQ(fit({{0, 0x1000}}, 0x10, 0), -1);
  EXPECT_EQ(fit({{0, 0x1000}}, 0, 0), -1);
}

TEST(MemoryDefFindRange, RangesOfSizeZeroAndNoRangesHoldNothing) {
  EXPECT_EQ(fit({{0x10, 0}}, 0x10, 1), -1);
  EXPECT_EQ(fit({}, 0x10, 1), -1);
  EXPECT_EQ(fit({{0x10, 0}, {0x10, 1}}, 0x10, 1), 1);
}

TEST(MemoryDefFindRange, NothingWrapsAroundTheTopOfTheAddressSpace) {
  // A record running past 2^32 does not reach a range at the bottom.
  EXPECT_EQ(fit({{0, 0x1000}}, 0xFFFFFF00, 0x200), -1);
  EXPECT_EQ(fit({{0, 0x1000}}, 0xFFFFFFFF, 2), -1);
  // A range ending exactly at 2^32 holds what lies inside it.
  const std::vector<memory_range> top = {{0xFFFF0000, 0x10000}};
  EXPECT_EQ(fit(top, 0xFFFF0000, 0x100), 0);
  EXPECT_EQ(fit(top, 0xFFFF8000, 0x10), 0);
  EXPECT_EQ(fit(top, 0xFFFFFF00, 0x100), 0);
  EXPECT_EQ(fit(top, 0xFFFFFFFF, 1), 0);
  EXPECT_EQ(fit(top, 0xFFFF0000, 0x10000), 0);
  EXPECT_EQ(fit(top, 0xFFFFFF00, 0x200), -1);
  EXPECT_EQ(fit(top, 0xFFFFFFFF, 0xFFFFFFFF), -1);
  // The whole address space but its last byte.
  const std::vector<memory_range> almost_all = {{0, 0xFFFFFFFF}};
  EXPECT_EQ(fit(almost_all, 0, 0xFFFFFFFF), 0);
  EXPECT_EQ(fit(almost_all, 0xFFFFFFFE, 1), 0);
  EXPECT_EQ(fit(almost_all, 0xFFFFFFFF, 1), -1);
}

// ------------------------------------------------ totals and reserved ranges

TEST(MemoryDefTotals, SizesAddUpModuloTwoToTheThirtySecond) {
  EXPECT_EQ(c_memory_def::total_size({}), 0u);
  EXPECT_EQ(c_memory_def::total_size({{0, 0x100}, {0x1000, 0x200}}), 0x300u);
  EXPECT_EQ(c_memory_def::total_size({{0, 0xFFFFFFFF}, {0, 2}}), 1u);
}

TEST(MemoryDefTotals, ReservedRangeByIndex) {
  c_memory_def definition;
  definition.reserved_ranges = {{0x10, 0x20}, {0x30, 0x40}};
  EXPECT_EQ(definition.reserved_range(1).start, 0x30u);
  EXPECT_EQ(definition.reserved_range(1).size, 0x40u);
  EXPECT_EQ(definition.reserved_range(2).start, 0u);
  EXPECT_EQ(definition.reserved_range(2).size, 0u);
}

}  // namespace
