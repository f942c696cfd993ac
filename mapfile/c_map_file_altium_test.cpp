// Tests of the Altium memory map reader: the header lines, the end of the
// table, the name rules, the fixed address and length columns, bit segments,
// reserved pseudo-sections, placement order and malformed lines.
#include "mapfile/c_map_file_altium.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

// A table row: the name, a blank and full stops up to column 30, the start
// field at offset 32, an end column in between, the length field at offset 54,
// then the tail (further columns).
std::string row(const std::string& name, const std::string& start_field,
                const std::string& size_field, const std::string& tail = "  DATA") {
  std::string line = name + " ";
  while (line.size() < 30) {
    line += '.';
  }
  line.resize(32, ' ');
  line += start_field;
  line.resize(40, ' ');
  line += "FFFFFF";
  line.resize(54, ' ');
  line += size_field;
  line += tail;
  return line;
}

const std::string k_header =
    "Memory map of application firmware\n"
    "\n"
    "Name                          Start     End       Length    Type\n"
    "------------------------------------------------------------------\n";

struct read_result {
  std::shared_ptr<section_name_pool> names;  ///< the records' names, kept beyond the reader
  bool ok = false;
  std::vector<section_record> program;
  std::vector<section_record> memory;
};

// Program 0x0000..0x7FFF, data memory 0x8000..0x8FFF.
c_memory_def small_definition() {
  c_memory_def definition;
  definition.program_ranges.push_back({0x0000, 0x8000});
  definition.memory_ranges.push_back({0x8000, 0x1000});
  return definition;
}

read_result read_map(const std::string& text, const c_memory_def& definition) {
  test_support::scoped_temp_dir dir;
  const std::string path = dir.write("app.map", text);
  c_map_file_altium reader(path);
  EXPECT_TRUE(reader.is_open);
  section_list program;
  section_list memory;
  read_result result;
  result.names = reader.name_pool();
  result.ok = reader.read(definition, program, memory);
  result.program.assign(program.begin(), program.end());
  result.memory.assign(memory.begin(), memory.end());
  return result;
}

std::vector<std::string> names_of(const std::vector<section_record>& records) {
  std::vector<std::string> names;
  for (const section_record& record : records) {
    names.push_back(record.name);
  }
  return names;
}

using names = std::vector<std::string>;

}  // namespace

// ---- header lines ----------------------------------------------------------

TEST(AltiumReader, TitleMustBeOnTheFirstLine) {
  c_memory_def definition = small_definition();
  definition.reserved_ranges.push_back({0x100, 0x10});
  const std::string body = row("CODE_A", "000200", "000010") + "\n";

  const read_result late = read_map("\n" + k_header + body, definition);
  EXPECT_FALSE(late.ok);
  EXPECT_TRUE(late.program.empty()) << "no reserved pseudo-section after a rejected title";
  EXPECT_TRUE(late.memory.empty());

  EXPECT_FALSE(read_map("memory map\n\n\n\n" + body, definition).ok) << "case-sensitive";
  EXPECT_FALSE(read_map("", definition).ok);

  const read_result accepted = read_map("** Memory map **\n\n\n\n" + body, definition);
  EXPECT_TRUE(accepted.ok);
  EXPECT_EQ(accepted.program.size(), 2u);
}

TEST(AltiumReader, ThreeLinesAfterTheTitleAreSkippedWhateverTheyHold) {
  const std::string text = "Memory map\n" + row("SKIP_2", "000100", "000010") + "\n" +
                           "Number of symbols: 3 ...\n" + row("SKIP_4", "000300", "000010") + "\n" +
                           row("ROW_5", "000400", "000010") + "\n";
  const read_result result = read_map(text, small_definition());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(names_of(result.program), names({"ROW_5 "}));
}

TEST(AltiumReader, NotOpenFileReadsNothing) {
  test_support::scoped_temp_dir dir;
  c_map_file_altium reader(dir.file("missing.map"));
  EXPECT_FALSE(reader.is_open);
  section_list program;
  section_list memory;
  c_memory_def definition = small_definition();
  definition.reserved_ranges.push_back({0x100, 0x10});
  EXPECT_FALSE(reader.read(definition, program, memory));
  EXPECT_TRUE(program.empty());
}

// ---- end of the table ------------------------------------------------------

TEST(AltiumReader, NumberOfSymbolsEndsTheTable) {
  const std::string text = k_header + row("CODE_A", "000100", "000010") + "\n" +
                           "Number of symbols ............... 000012\n" +
                           row("CODE_AFTER", "000200", "000010") + "\n" +
                           row("DATA_AFTER", "008000", "000010") + "\n";
  const read_result result = read_map(text, small_definition());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(names_of(result.program), names({"CODE_A "}));
  EXPECT_TRUE(result.memory.empty());
}

TEST(AltiumReader, NumberOfSymbolsOnARowShapedLineYieldsNoRecord) {
  // Start and length columns hold valid numbers, but the line ends the table.
  const std::string text = k_header + row("Number of symbols", "000100", "000010") + "\n" +
                           row("CODE_B", "000200", "000010") + "\n";
  const read_result result = read_map(text, small_definition());
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.program.empty());
}

TEST(AltiumReader, LastLineWithoutLineFeedIsNeverARow) {
  const std::string first = row("CODE_A", "000100", "000010");
  const std::string last = row("CODE_LAST", "000200", "000010");

  const read_result unterminated = read_map(k_header + first + "\n" + last, small_definition());
  EXPECT_EQ(names_of(unterminated.program), names({"CODE_A "}));

  const read_result terminated =
      read_map(k_header + first + "\n" + last + "\n", small_definition());
  EXPECT_EQ(names_of(terminated.program), names({"CODE_A ", "CODE_LAST "}));

  const read_result only_row = read_map(k_header + last, small_definition());
  EXPECT_FALSE(only_row.ok);
}

TEST(AltiumReader, ReservedRangesAreAddedAfterTheTableEnds) {
  c_memory_def definition = small_definition();
  definition.reserved_ranges.push_back({0x100, 0x10});
  const std::string text =
      k_header + "Number of symbols: 0\n" + row("CODE_A", "000200", "10") + "\n";
  const read_result result = read_map(text, definition);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(names_of(result.program), names({"RESERVED0"}));
}

// ---- which lines are rows --------------------------------------------------

TEST(AltiumReader, LinesWithoutThreeFullStopsOrWithoutNameAreSkipped) {
  std::string two_dots = row("CODE_X", "000300", "000010");
  two_dots.replace(7, 23, std::string(23, ' '));
  two_dots.replace(8, 2, "..");
  const std::string text = k_header + two_dots + "\n" +
                           "..........................................................\n" +
                           std::string(".") + row("", "000400", "000010").substr(1) + "\n" + "\n" +
                           row("CODE_A", "000100", "000010") + "\n";
  const read_result result = read_map(text, small_definition());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(names_of(result.program), names({"CODE_A "}));
}

// ---- names -----------------------------------------------------------------

TEST(AltiumRow, NameEndsAtTheFirstFullStopAndKeepsItsBlanks) {
  section_name_pool pool;
  section_record record;
  ASSERT_TRUE(c_map_file_altium::parse_row(row("IDATA_SEG", "000100", "000010"), record, pool));
  EXPECT_EQ(record.name, "IDATA_SEG ");

  ASSERT_TRUE(c_map_file_altium::parse_row(row("MY.SEG", "000100", "000010"), record, pool));
  EXPECT_EQ(record.name, "MY");

  ASSERT_TRUE(c_map_file_altium::parse_row(row("  INDENTED", "000100", "000010"), record, pool));
  EXPECT_EQ(record.name, "  INDENTED ");
}

TEST(AltiumRow, RegisterBankNameKeepsTheFullStopOfReg) {
  section_name_pool pool;
  section_record record;
  ASSERT_TRUE(c_map_file_altium::parse_row(row("Reg. bank 0", "000000", "000008"), record, pool));
  EXPECT_EQ(record.name, "Reg. bank 0 ");
  EXPECT_EQ(record.start, 0u);
  EXPECT_EQ(record.size, 8u);

  // "Reg." anywhere in the line moves the search for the full stop to offset 4.
  ASSERT_TRUE(
      c_map_file_altium::parse_row(row("AB.CD", "000100", "000010", "  Reg. use"), record, pool));
  EXPECT_EQ(record.name, "AB.CD ");
  ASSERT_TRUE(c_map_file_altium::parse_row(row("AB.CD", "000100", "000010"), record, pool));
  EXPECT_EQ(record.name, "AB");
}

TEST(AltiumReader, RegisterBankRowIsReadThroughTheFile) {
  c_memory_def definition;
  definition.memory_ranges.push_back({0x0000, 0x100});
  const read_result result =
      read_map(k_header + row("Reg. bank 0", "000000", "000008") + "\n", definition);
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(result.memory.size(), 1u);
  EXPECT_EQ(result.memory[0].name, "Reg. bank 0 ");
  EXPECT_EQ(result.memory[0].range_index, 0);
}

// ---- address and length columns --------------------------------------------

TEST(AltiumRow, FieldsAreSixHexadecimalCharactersAtFixedColumns) {
  section_name_pool pool;
  section_record record;
  ASSERT_TRUE(c_map_file_altium::parse_row(row("A", "00A0H ", "0010H "), record, pool));
  EXPECT_EQ(record.start, 0xA0u);
  EXPECT_EQ(record.size, 0x10u);

  ASSERT_TRUE(c_map_file_altium::parse_row(row("A", "  00A0", "  0010"), record, pool));
  EXPECT_EQ(record.start, 0xA0u);
  EXPECT_EQ(record.size, 0x10u);

  // Only six characters belong to a field: digits right after it are not read.
  ASSERT_TRUE(c_map_file_altium::parse_row(row("A", "0000A012", "00001F", "77"), record, pool));
  EXPECT_EQ(record.start, 0xA0u);
  EXPECT_EQ(record.size, 0x1Fu);

  ASSERT_TRUE(c_map_file_altium::parse_row(row("A", "FFFFFF", "abcdef"), record, pool));
  EXPECT_EQ(record.start, 0xFFFFFFu);
  EXPECT_EQ(record.size, 0xABCDEFu);

  ASSERT_TRUE(c_map_file_altium::parse_row(row("A", "0x1234", "------"), record, pool));
  EXPECT_EQ(record.start, 0x1234u);
  EXPECT_EQ(record.size, 0u) << "a field without digits reads as 0";

  ASSERT_TRUE(c_map_file_altium::parse_row(row("A", "-00001", "+00010"), record, pool));
  EXPECT_EQ(record.start, 0xFFFFFFFFu) << "a minus sign negates modulo 2^32";
  EXPECT_EQ(record.size, 0x10u);
  EXPECT_EQ(record.range_index, -1);
}

TEST(AltiumRow, BitBitMarksSizesCountedInBits) {
  section_name_pool pool;
  section_record record;
  ASSERT_TRUE(
      c_map_file_altium::parse_row(row("BIT_SEG", "000020", "00000C", "  BIT  BIT"), record, pool));
  EXPECT_EQ(record.size_unit, 1u);
  ASSERT_TRUE(
      c_map_file_altium::parse_row(row("BIT_SEG", "000020", "00000C", "  BIT BIT"), record, pool));
  EXPECT_EQ(record.size_unit, 0u);
  ASSERT_TRUE(
      c_map_file_altium::parse_row(row("BIT  BIT", "000020", "00000C", "  DATA"), record, pool));
  EXPECT_EQ(record.size_unit, 1u) << "anywhere in the line";
}

TEST(AltiumReader, BitRowInAMemoryRangeKeepsItsBitSize) {
  const std::string text = k_header + row("BITS", "008020", "00000C", "  BIT  BIT") + "\n" +
                           row("IDATA", "008100", "000064") + "\n";
  const read_result result = read_map(text, small_definition());
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(result.memory.size(), 2u);
  EXPECT_EQ(result.memory[0].name, "BITS ");
  EXPECT_EQ(result.memory[0].size, 12u);
  EXPECT_EQ(result.memory[0].size_unit, 1u);
  EXPECT_EQ(result.memory[1].size_unit, 0u);
}

// ---- placement -------------------------------------------------------------

TEST(AltiumReader, RowsArePlacedByRangeAndSortedByStart) {
  c_memory_def definition;
  definition.program_ranges.push_back({0x0000, 0x1000});
  definition.program_ranges.push_back({0x4000, 0x1000});
  definition.memory_ranges.push_back({0x8000, 0x1000});
  const std::string text =
      k_header + row("C", "004200", "000010") + "\n" + row("B", "000300", "000010") + "\n" +
      row("D_MEM", "008010", "000004") + "\n" + row("A", "000100", "000010") + "\n" +
      row("OUTSIDE", "002000", "000010") + "\n" + row("ACROSS", "000FF0", "000020") + "\n" +
      row("EMPTY", "000400", "000000") + "\n";
  const read_result result = read_map(text, definition);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(names_of(result.program), names({"A ", "B ", "C "}));
  EXPECT_EQ(result.program[0].range_index, 0);
  EXPECT_EQ(result.program[1].range_index, 0);
  EXPECT_EQ(result.program[2].range_index, 1);
  EXPECT_EQ(names_of(result.memory), names({"D_MEM "}));
}

TEST(AltiumReader, ReservedPseudoSectionsGoToProgramRangesOnly) {
  c_memory_def definition = small_definition();
  definition.reserved_ranges.push_back({0x100, 0x20});     // in program
  definition.reserved_ranges.push_back({0x8010, 0x10});    // in memory only: dropped
  definition.reserved_ranges.push_back({0x100000, 0x10});  // nowhere: dropped
  definition.reserved_ranges.push_back({0x050, 0x40});     // in program
  definition.reserved_ranges.push_back({0x600, 0x0});      // empty: dropped
  const std::string text = k_header + row("CODE_A", "000080", "000010") + "\n";
  const read_result result = read_map(text, definition);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(names_of(result.program), names({"RESERVED3", "CODE_A ", "RESERVED0"}));
  EXPECT_EQ(result.program[0].start, 0x50u);
  EXPECT_EQ(result.program[0].size, 0x40u);
  EXPECT_EQ(result.program[0].size_unit, 0u);
  EXPECT_EQ(result.program[0].range_index, 0);
  EXPECT_EQ(result.program[2].start, 0x100u);
  EXPECT_EQ(result.program[2].size, 0x20u);
  EXPECT_TRUE(result.memory.empty());
}

TEST(AltiumReader, ReservedRangeWithAnEmptyTableStillGivesTrue) {
  c_memory_def definition = small_definition();
  definition.reserved_ranges.push_back({0x200, 0x100});
  const read_result result = read_map(k_header + "Number of symbols: 0\n", definition);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(names_of(result.program), names({"RESERVED0"}));

  c_memory_def memory_only = small_definition();
  memory_only.reserved_ranges.push_back({0x8000, 0x100});
  EXPECT_FALSE(read_map(k_header, memory_only).ok);
  EXPECT_FALSE(read_map(k_header, small_definition()).ok);
}

// ---- malformed lines -------------------------------------------------------

TEST(AltiumRow, ShortRowsReadAbsentFieldsAsZero) {
  section_name_pool pool;
  section_record record;
  ASSERT_TRUE(c_map_file_altium::parse_row("SHORT ......", record, pool));
  EXPECT_EQ(record.name, "SHORT ");
  EXPECT_EQ(record.start, 0u);
  EXPECT_EQ(record.size, 0u);

  const std::string full = row("PART", "123456", "456789", "");
  ASSERT_TRUE(c_map_file_altium::parse_row(full.substr(0, 35), record, pool));
  EXPECT_EQ(record.start, 0x123u) << "the digits that are there";
  EXPECT_EQ(record.size, 0u);

  ASSERT_TRUE(c_map_file_altium::parse_row(full.substr(0, 54), record, pool));
  EXPECT_EQ(record.start, 0x123456u);
  EXPECT_EQ(record.size, 0u);

  ASSERT_TRUE(c_map_file_altium::parse_row(full.substr(0, 57), record, pool));
  EXPECT_EQ(record.start, 0x123456u);
  EXPECT_EQ(record.size, 0x456u);
}

TEST(AltiumReader, ShortRowsDoNotStopTheReading) {
  const std::string full = row("PART", "  0123", "450000", "");
  const std::string text = k_header + "SHORT ......\n" + full.substr(0, 35) + "\n" +
                           full.substr(0, 57) + "\n" + row("CODE_A", "000800", "000010") + "\n";
  const read_result result = read_map(text, small_definition());
  ASSERT_TRUE(result.ok);
  // The rows without a length have size 0 and lie in no range.
  EXPECT_EQ(names_of(result.program), names({"PART ", "CODE_A "}));
  EXPECT_EQ(result.program[0].start, 0x123u);
  EXPECT_EQ(result.program[0].size, 0x450u);
}

TEST(AltiumReader, OverlongLinesAreCutAndReadingGoesOn) {
  // Text beyond 511 characters is not part of the line: neither the bit
  // marker nor the end-of-table text count there.
  std::string long_bit_row = row("LONG_BITS", "008000", "000010", "");
  long_bit_row.resize(520, ' ');
  long_bit_row += "BIT  BIT";
  long_bit_row.resize(3000, 'x');

  std::string long_end_row = row("LONG_END", "000100", "000010", "");
  long_end_row.resize(511, ' ');
  long_end_row += "Number of symbols";

  std::string long_tail_row = row("LONG_TAIL", "000300", "000010", "  BIT  BIT");
  long_tail_row.resize(2 * 1024 * 1024, '.');  // longer than any read block

  const std::string text = k_header + long_bit_row + "\n" + long_end_row + "\n" + long_tail_row +
                           "\n" + row("CODE_A", "000200", "000010") + "\n";
  const read_result result = read_map(text, small_definition());
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(names_of(result.program), names({"LONG_END ", "CODE_A ", "LONG_TAIL "}));
  EXPECT_EQ(result.program[2].size_unit, 1u);
  ASSERT_EQ(result.memory.size(), 1u);
  EXPECT_EQ(result.memory[0].name, "LONG_BITS ");
  EXPECT_EQ(result.memory[0].size_unit, 0u);
}

TEST(AltiumReader, CarriageReturnsAndNulBytesEndTheLineText) {
  std::string with_nul = row("NUL_ROW", "000400", "000010");
  with_nul[3] = '\0';  // "NUL" then nothing: no full stops left
  const std::string text = "Memory map\r\n\r\n\r\n\r\n" + with_nul + "\r\n" +
                           row("CODE_A", "000100", "000010", "  BIT  BIT") + "\r\n" +
                           row("CODE_B", "000200", "000010") + "\r\n" + "Number of symbols\r\n";
  const read_result result = read_map(text, small_definition());
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(names_of(result.program), names({"CODE_A ", "CODE_B "}));
  EXPECT_EQ(result.program[0].size_unit, 1u);
}
