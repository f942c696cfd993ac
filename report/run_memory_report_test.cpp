// Tests of the memory report driver: the totals taken from the two section
// lists, the choice of reader by type keyword, the order of the failure
// messages, and the console format the driver leaves behind.
#include "report/run_memory_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <typeinfo>

#include "mapfile/c_map_file_altium.h"
#include "mapfile/c_map_file_elxr.h"
#include "mapfile/c_map_file_elxr_mem32_unlimited.h"
#include "mapfile/c_map_file_elxr_orm8.h"
#include "mapfile/c_map_file_elxr_pux_ecu_4x.h"
#include "tests/test_support.h"

namespace {

/// A record without name: the totals never look at one.
section_record record_of(std::uint32_t start, std::uint32_t size, std::uint32_t size_unit,
                         std::int32_t range_index) {
  section_record record;
  record.start = start;
  record.size = size;
  record.size_unit = size_unit;
  record.range_index = range_index;
  return record;
}

// An Altium table row: name and full stops, start at offset 32, length at 54.
std::string altium_row(const std::string& name, const std::string& start, const std::string& size,
                       const std::string& tail = "  DATA") {
  std::string line = name + " ";
  line.resize(30, '.');
  line.resize(32, ' ');
  line += start;
  line.resize(54, ' ');
  return line + size + tail + "\n";
}

std::string altium_map(const std::string& rows) {
  return "Memory map\n\nName  Start  End  Length\n--------------------\n" + rows +
         "Number of symbols: 0\n";
}

struct run_result {
  bool ok = false;
  std::string output;
};

run_result run(const std::string& map_path, const std::string& definition_path,
               const std::string& keyword) {
  std::ostringstream out;
  run_result result;
  result.ok = run_memory_report(map_path, definition_path, keyword, out);
  result.output = out.str();
  return result;
}

const std::type_info& type_of(const std::unique_ptr<c_map_file>& reader) {
  const c_map_file& object = *reader;
  return typeid(object);
}

const std::string k_definition = "PROGRAM 0x0000 0x8000\nMEMORY 0x8000 0x1000\n";

}  // namespace

// ---- totals ----------------------------------------------------------------

TEST(MemoryTotals, BitsCountAsEighthsAndRoundToWholeBytes) {
  c_memory_def definition;
  definition.memory_ranges.push_back({0x8000, 1000});
  section_list memory;
  memory.insert(record_of(0x8000, 12, 1, 0));
  memory.insert(record_of(0x8100, 100, 0, 0));
  const memory_totals totals = compute_totals(definition, section_list(), memory);
  EXPECT_EQ(totals.memory_bytes, 100u);
  EXPECT_EQ(totals.bit_count, 12u);
  EXPECT_DOUBLE_EQ(totals.memory_floating_sum, 101.5);
  EXPECT_DOUBLE_EQ(totals.memory_used(), 101.5);
  EXPECT_EQ(totals.memory_used_rounded(), 102u);
  EXPECT_EQ(totals.memory_total, 1000u);
  EXPECT_EQ(totals.memory_records, 2u);
  EXPECT_EQ(totals.program_records, 0u);
  EXPECT_EQ(totals.program_bytes, 0u);
}

TEST(MemoryTotals, HalfAByteOfBitsRoundsUp) {
  const std::uint32_t bits[] = {3, 4, 11, 12, 16};
  const std::uint32_t rounded[] = {0, 1, 1, 2, 2};
  for (int i = 0; i < 5; ++i) {
    section_list memory;
    memory.insert(record_of(0x20, bits[i], 1, 0));
    const memory_totals totals = compute_totals(c_memory_def(), section_list(), memory);
    EXPECT_EQ(totals.memory_used_rounded(), rounded[i]) << bits[i] << " bits";
    EXPECT_DOUBLE_EQ(totals.memory_used(), bits[i] * 0.125);
    EXPECT_EQ(totals.memory_bytes, 0u);
  }
}

TEST(MemoryTotals, ProgramBytesAreSummedPerRange) {
  c_memory_def definition;
  definition.program_ranges.push_back({0x0000, 0x1000});
  definition.program_ranges.push_back({0x1000, 0x1000});
  definition.program_ranges.push_back({0x4000, 0x2000});
  section_list program;
  program.insert(record_of(0x0100, 0x10, 0, 0));
  program.insert(record_of(0x4000, 0x300, 0, 2));
  program.insert(record_of(0x0200, 0x20, 0, 0));
  program.insert(record_of(0x5000, 0x7, 0, 2));
  const memory_totals totals = compute_totals(definition, program, section_list());
  ASSERT_EQ(totals.seg_used.size(), 3u);
  EXPECT_EQ(totals.seg_used[0], 0x30u);
  EXPECT_EQ(totals.seg_used[1], 0u);
  EXPECT_EQ(totals.seg_used[2], 0x307u);
  EXPECT_EQ(totals.program_bytes, 0x337u);
  EXPECT_DOUBLE_EQ(totals.program_floating_sum, 0x337);
  EXPECT_EQ(totals.program_total, 0x4000u);
  EXPECT_EQ(totals.program_records, 4u);
  EXPECT_EQ(totals.memory_records, 0u);
}

TEST(MemoryTotals, IntegerSumsWrapWhileFloatingSumsDoNot) {
  c_memory_def definition;
  definition.program_ranges.push_back({0x0, 0xFFFFFFFF});
  definition.program_ranges.push_back({0x0, 0x2});
  definition.memory_ranges.push_back({0x0, 0x80000000});
  definition.memory_ranges.push_back({0x0, 0x80000000});
  section_list program;
  program.insert(record_of(0x10, 0xFFFFFFF0, 0, 0));
  program.insert(record_of(0x20, 0x20, 0, 0));
  section_list memory;
  memory.insert(record_of(0x10, 0xFFFFFFFF, 0, 0));
  memory.insert(record_of(0x20, 0x3, 0, 0));
  memory.insert(record_of(0x30, 0xFFFFFFF8, 1, 0));
  memory.insert(record_of(0x40, 0x10, 1, 0));
  const memory_totals totals = compute_totals(definition, program, memory);
  EXPECT_EQ(totals.program_bytes, 0x10u);
  EXPECT_EQ(totals.seg_used[0], 0x10u);
  EXPECT_DOUBLE_EQ(totals.program_floating_sum, 4294967312.0);
  EXPECT_EQ(totals.memory_bytes, 2u);
  EXPECT_EQ(totals.bit_count, 8u);
  EXPECT_DOUBLE_EQ(totals.memory_floating_sum, 4294967298.0 + 4294967304.0 / 8);
  EXPECT_EQ(totals.program_total, 1u);
  EXPECT_EQ(totals.memory_total, 0u);
}

TEST(MemoryReport, MemoryAreaPercentageUsesRoundedBytesAndFreeTheExactOnes) {
  test_support::scoped_temp_dir dir;
  const std::string definition =
      dir.write("mem.def", "PROGRAM 0x0000 0x8000\nMEMORY 0x8000 0x3E8\n");
  const std::string map =
      dir.write("app.map", altium_map(altium_row("BITS", "008000", "00000C", "  BIT  BIT") +
                                      altium_row("IDATA", "008100", "000064") +
                                      altium_row("CODE", "000100", "000010")));
  const run_result result = run(map, definition, "Orm6");
  ASSERT_TRUE(result.ok);
  const std::string used_lines = "Mem area used: " + std::string("    100") + "\n" +
                                 "Bit area used: " + std::string("     12") + "\n";
  const std::string area_lines = "Memory area:\n" + std::string("Total:    ") + "     1000\n" +
                                 "Pct Used: " + "       10.20" + "%\n" +  //
                                 "Free:     " + "      898.50" + "\n" +   //
                                 "Used:     " + "      101.50" + "\n";
  EXPECT_NE(result.output.find(used_lines), std::string::npos) << result.output;
  EXPECT_NE(result.output.find(area_lines), std::string::npos) << result.output;
}

// ---- type keywords ---------------------------------------------------------

TEST(MapReaderChoice, EachKeywordCreatesItsReader) {
  test_support::scoped_temp_dir dir;
  const std::string map = dir.write("app.map", "x\n");
  const auto orm6 = make_map_reader("Orm6", map);
  const auto tev2 = make_map_reader("Tev2", map);
  const auto mem32 = make_map_reader("Tev2_mem32_unlimited", map);
  const auto orm8 = make_map_reader("Orm8", map);
  const auto pux4 = make_map_reader("Pux4", map);
  ASSERT_TRUE(orm6 && tev2 && mem32 && orm8 && pux4);
  EXPECT_EQ(type_of(orm6), typeid(c_map_file_altium));
  EXPECT_EQ(type_of(tev2), typeid(c_map_file_elxr));
  EXPECT_EQ(type_of(mem32), typeid(c_map_file_elxr_mem32_unlimited));
  EXPECT_EQ(type_of(orm8), typeid(c_map_file_elxr_orm8));
  EXPECT_EQ(type_of(pux4), typeid(c_map_file_elxr_pux_ecu_4x));
  EXPECT_TRUE(orm6->is_open);
  EXPECT_EQ(pux4->file_name, map);

  const auto missing = make_map_reader("Tev2", dir.file("missing.map"));
  ASSERT_TRUE(missing);
  EXPECT_FALSE(missing->is_open);
}

TEST(MapReaderChoice, KeywordsAreWholeAndCaseSensitive) {
  for (const char* keyword : {"tev2", "TEV2", "Tev2 ", " Tev2", "Tev", "Tev2_mem32", "orm6",
                              "Orm6x", "Pux4\n", "Tev2_mem32_unlimited ", ""}) {
    EXPECT_EQ(make_map_reader(keyword, "app.map"), nullptr) << '"' << keyword << '"';
  }
}

// ---- failure messages ------------------------------------------------------

TEST(MemoryReportFailures, EmptyPathsAreReportedFirst) {
  const run_result both = run("", "", "Nope");
  EXPECT_FALSE(both.ok);
  EXPECT_EQ(both.output, "Vemora:\tNo map def. file name.\n");

  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition);
  const run_result map = run("", definition, "Nope");
  EXPECT_FALSE(map.ok);
  EXPECT_EQ(map.output, "Vemora:\tNo map file name.\n");
}

TEST(MemoryReportFailures, UnsupportedKeywordBeatsABadDefinition) {
  test_support::scoped_temp_dir dir;
  const std::string map = dir.write("app.map", altium_map(altium_row("CODE", "000100", "10")));
  const run_result result = run(map, dir.file("missing.def"), "tev2");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.output, "Vemora:\tMap definition file type is not supported.\n");

  const std::string definition = dir.write("mem.def", k_definition);
  const run_result good_definition = run(dir.file("missing.map"), definition, "Tev2 ");
  EXPECT_FALSE(good_definition.ok);
  EXPECT_EQ(good_definition.output, "Vemora:\tMap definition file type is not supported.\n");
}

TEST(MemoryReportFailures, BadDefinitionAndUnopenableMapPrintBoth) {
  test_support::scoped_temp_dir dir;
  const std::string expected =
      "Vemora:\tInvalid memory definition file.\nVemora:\tInvalid memory map file.\n";
  EXPECT_EQ(run(dir.file("missing.map"), dir.file("missing.def"), "Orm6").output, expected);
  // A folder exists but cannot be read as a map file.
  const run_result folder = run(dir.path(), dir.file("missing.def"), "Tev2");
  EXPECT_FALSE(folder.ok);
  EXPECT_EQ(folder.output, expected);
}

TEST(MemoryReportFailures, BadDefinitionWithAGoodMapPrintsOneLine) {
  test_support::scoped_temp_dir dir;
  const std::string map = dir.write("app.map", altium_map(altium_row("CODE", "000100", "10")));
  const std::string only_search = dir.write("search.def", "SEARCH CODE\n// PROGRAM 0 100\n");
  const run_result result = run(map, only_search, "Orm6");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.output, "Vemora:\tInvalid memory definition file.\n");
}

TEST(MemoryReportFailures, UnopenableMapWithAGoodDefinition) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition);
  const run_result result = run(dir.file("missing.map"), definition, "Pux4");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.output, "Vemora:\tInvalid memory map file.\n");
}

// ---- success -----------------------------------------------------------------

TEST(MemoryReport, NothingInAnyRangeIsASuccessWithoutOutput) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition + "SEARCH CODE\n");
  const std::string map =
      dir.write("app.map", altium_map(altium_row("FAR_CODE", "100000", "000010")));
  std::ostringstream out;
  const auto flags = out.flags();
  const auto precision = out.precision();
  EXPECT_TRUE(run_memory_report(map, definition, "Orm6", out));
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(out.flags(), flags);
  EXPECT_EQ(out.precision(), precision);
  EXPECT_FALSE(test_support::file_exists(dir.file("Vemora.amb")));
}

TEST(MemoryReport, PrintedReportLeavesTheStreamInFixedTwoDecimals) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition);
  const std::string map = dir.write("app.map", altium_map(altium_row("CODE", "000100", "10")));
  std::ostringstream out;
  EXPECT_TRUE(run_memory_report(map, definition, "Orm6", out));
  EXPECT_EQ(out.str().rfind("************************************\n", 0), 0u);
  EXPECT_EQ(out.flags() & std::ios::floatfield, std::ios::fixed);
  EXPECT_EQ(out.flags() & std::ios::adjustfield, std::ios::right);
  EXPECT_EQ(out.precision(), 2);
  out.str("");
  out << 27.878289;
  EXPECT_EQ(out.str(), "27.88");
}

TEST(MemoryReport, MemorySectionsAreNotOfferedToSearchEntries) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", k_definition + "SEARCH DATA\n");
  const std::string map = dir.write("app.map", altium_map(altium_row("DATA_X", "008000", "000020") +
                                                          altium_row("CODE", "000100", "000010")));
  const run_result result = run(map, definition, "Orm6");
  ASSERT_TRUE(result.ok);
  EXPECT_NE(result.output.find("Program breakdown:\n      0 :    0.00% , Search = DATA \n"
                               "---------------------------------------\n"
                               "0\tAccounted for in search: 0.00%\n\n"),
            std::string::npos)
      << result.output;
}
