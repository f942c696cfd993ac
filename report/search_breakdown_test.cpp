// Tests of the SEARCH breakdown as the console prints it: the breakdown
// lines, the warning and the result file "Vemora.amb" beside the map file,
// which replaces an earlier one whole or not at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "report/result_file.h"
#include "report/run_memory_report.h"
#include "tests/test_support.h"

namespace {

using SearchBreakdown = test_support::names_of_one_run;
using test_support::entries;

// The console as the memory report sets it before the breakdown.
std::ostringstream report_stream() {
  std::ostringstream out;
  out << std::right << std::fixed << std::setprecision(2);
  return out;
}

// An Altium table row: name and full stops, start at offset 32, length at 54.
std::string altium_row(const std::string& name, const std::string& start, const std::string& size) {
  std::string line = name + " ";
  line.resize(30, '.');
  line.resize(32, ' ');
  line += start;
  line.resize(54, ' ');
  return line + size + "  CODE\n";
}

const std::string k_header = "Memory map\n\nName  Start  End  Length\n--------------------\n";

}  // namespace

// ---- breakdown, warning and file ----------------------------------------------

TEST_F(SearchBreakdown, LinesWarningAndFileForAnAmbiguousPair) {
  test_support::scoped_temp_dir dir;
  search_list searches = entries({"text", "|text |init", "never"});
  search_accounting accounting(searches);
  accounting.account(program_record(".text", 100));
  accounting.account(program_record(".init", 50));

  std::ostringstream out = report_stream();
  const std::string map = dir.file("app.map");
  print_breakdown(out, accounting.breakdown(), 200, map, {});
  const std::string amb = dir.file("Vemora.amb");
  EXPECT_EQ(out.str(),
            "Program breakdown:\n"
            "    100 :   50.00% , Search = text \n"
            "     50 :   25.00% , Search = |text |init \n"
            "      0 :    0.00% , Search = never \n"
            "---------------------------------------\n"
            "150\tAccounted for in search: 75.00%\n"
            "\n"
            "Warning: Ambiguous search with 100 = 50.00% found and removed from multiple "
            "counting. See ambiguous search result file in " +
                amb +
                ".\n"
                "\n");
  EXPECT_EQ(test_support::normalize_line_ends(test_support::read_file(amb)),
            ".text: Found in [ |text |init ] and in [ text ]\n");
}

TEST_F(SearchBreakdown, NoAmbiguityWritesNoFileAndLeavesAnOldOneAlone) {
  test_support::scoped_temp_dir dir;
  search_list searches = entries({"text"});
  search_accounting accounting(searches);
  accounting.account(program_record(".text", 100));

  std::ostringstream fresh = report_stream();
  print_breakdown(fresh, accounting.breakdown(), 100, dir.file("app.map"), {});
  EXPECT_FALSE(test_support::file_exists(dir.file("Vemora.amb")));
  EXPECT_EQ(fresh.str().find("Warning"), std::string::npos);

  const std::string old = dir.write("Vemora.amb", "from an earlier run\r\n");
  std::ostringstream again = report_stream();
  print_breakdown(again, accounting.breakdown(), 100, dir.file("app.map"), {});
  EXPECT_EQ(test_support::read_file(old), "from an earlier run\r\n");
}

TEST_F(SearchBreakdown, ResultFileIsReplacedAndListsMatchesInOrder) {
  test_support::scoped_temp_dir dir;
  dir.write("Vemora.amb", "an older and much longer content that must not survive\n");
  search_list searches = entries({"a", "b", "|a |b"});
  search_accounting accounting(searches);
  accounting.account(program_record("ab", 1));
  accounting.account(program_record("b", 2));
  accounting.account(program_record("ab", 4));

  std::ostringstream out = report_stream();
  print_breakdown(out, accounting.breakdown(), 7, dir.file("app.map"), {});
  EXPECT_EQ(test_support::normalize_line_ends(test_support::read_file(dir.file("Vemora.amb"))),
            "ab: Found in [ b ] and in [ a ]\n"
            "ab: Found in [ |a |b ] and in [ a ]\n"
            "b: Found in [ |a |b ] and in [ b ]\n"
            "ab: Found in [ a ] and in [ a ]\n"
            "ab: Found in [ b ] and in [ a ]\n"
            "ab: Found in [ |a |b ] and in [ a ]\n");
  EXPECT_EQ(accounting.ambiguous_bytes(), 1u + 1u + 2u + 4u + 4u + 4u);
}

TEST_F(SearchBreakdown, AShorterResultFileFromAnEarlierRunIsReplacedWhole) {
  test_support::scoped_temp_dir dir;
  dir.write("Vemora.amb", "old\n");
  search_list searches = entries({"a", "|a"});
  search_accounting accounting(searches);
  for (int i = 0; i < 3000; ++i) {
    accounting.account(program_record("a" + std::to_string(i % 3), 1));
  }
  std::ostringstream out = report_stream();
  print_breakdown(out, accounting.breakdown(), 3000, dir.file("app.map"), {});
  const std::string text =
      test_support::normalize_line_ends(test_support::read_file(dir.file("Vemora.amb")));
  // Per name: the second entry of the first section, then both entries of
  // each later one.
  const std::string by_second = "a0: Found in [ |a ] and in [ a ]\n";
  const std::string by_first = "a0: Found in [ a ] and in [ a ]\n";
  EXPECT_EQ(text.size(), 3 * by_second.size() + 2997 * (by_first.size() + by_second.size()));
  EXPECT_EQ(text.substr(0, 2 * by_second.size()),
            "a0: Found in [ |a ] and in [ a ]\na1: Found in [ |a ] and in [ a ]\n");
  EXPECT_EQ(text.substr(text.size() - by_second.size()), "a2: Found in [ |a ] and in [ a ]\n");
}

TEST_F(SearchBreakdown, AnInputNamedLikeTheResultFileIsNeverOverwritten) {
  test_support::scoped_temp_dir dir;
  const std::string map = dir.write("Vemora.amb", "  1 .text 10 100 x\n  ALLOC\n");
  const std::string definition = dir.write("memory.def", "PROGRAM 0 1000\n");
  search_list searches = entries({"text", "|text"});
  search_accounting accounting(searches);
  accounting.account(program_record(".text", 16));

  // The map file itself is named like the result file.
  std::ostringstream out = report_stream();
  print_breakdown(out, accounting.breakdown(), 16, map, {});
  EXPECT_EQ(test_support::read_file(map), "  1 .text 10 100 x\n  ALLOC\n");
  EXPECT_NE(out.str().find("Vemora:\tCould not write the ambiguous search result file " +
                           dir.file("Vemora.amb") + ".\n"),
            std::string::npos)
      << out.str();

  // Another input stands where the result file would go.
  test_support::scoped_temp_dir other;
  const std::string other_map = other.write("app.map", "map");
  std::ostringstream again = report_stream();
  print_breakdown(again, accounting.breakdown(), 16, other_map,
                  {other.write("Vemora.amb", "definition")});
  EXPECT_EQ(test_support::read_file(other.file("Vemora.amb")), "definition");
  EXPECT_NE(again.str().find("Could not write"), std::string::npos);
}

TEST_F(SearchBreakdown, UnwritableResultFileAddsALine) {
  test_support::scoped_temp_dir dir;
  test_support::scoped_temp_dir blocked;
  // A folder of that name stands where the file would go.
  std::filesystem::create_directory(blocked.file("Vemora.amb"));
  search_list searches = entries({"text", "|text"});
  search_accounting accounting(searches);
  accounting.account(program_record(".text", 10));

  for (const std::string& folder : {blocked.path(), dir.file("no_such_folder")}) {
    std::ostringstream out = report_stream();
    print_breakdown(out, accounting.breakdown(), 10, folder + "/app.map", {});
    const std::string amb = folder + "/Vemora.amb";
    const std::string expected_tail =
        "Warning: Ambiguous search with 10 = 100.00% found and removed from multiple counting. "
        "See ambiguous search result file in " +
        amb + ".\n" + "Vemora:\tCould not write the ambiguous search result file " + amb + ".\n" +
        "\n";
    ASSERT_GE(out.str().size(), expected_tail.size());
    EXPECT_EQ(out.str().substr(out.str().size() - expected_tail.size()), expected_tail);
  }
  EXPECT_FALSE(test_support::file_exists(dir.file("no_such_folder")));
}

TEST_F(SearchBreakdown, ZeroProgramBytesPrintZeroPercent) {
  search_list searches = entries({"text"});
  search_accounting accounting(searches);
  accounting.account(program_record(".text", 0));
  std::ostringstream out = report_stream();
  print_breakdown(out, accounting.breakdown(), 0, "app.map", {});
  EXPECT_EQ(out.str(),
            "Program breakdown:\n"
            "      0 :    0.00% , Search = text \n"
            "---------------------------------------\n"
            "0\tAccounted for in search: 0.00%\n"
            "\n");
}

// ---- through the driver ----------------------------------------------------------

TEST_F(SearchBreakdown, UnwritableResultFileKeepsTheReportSuccessful) {
  test_support::scoped_temp_dir dir;
  std::filesystem::create_directory(dir.file("Vemora.amb"));
  const std::string definition =
      dir.write("mem.def", "PROGRAM 0x0000 0x8000\nSEARCH CODE\nSEARCH |CODE_A\n");
  const std::string map =
      dir.write("app.map", k_header + altium_row("CODE_A", "000100", "000010") +
                               altium_row("CODE_B", "000200", "000020") + "Number of symbols: 2\n");
  std::ostringstream out;
  EXPECT_TRUE(run_memory_report(map, definition, "Orm6", out));
  const std::string amb = dir.file("Vemora.amb");
  EXPECT_NE(out.str().find("     48 :  100.00% , Search = CODE \n"
                           "      0 :    0.00% , Search = |CODE_A \n"),
            std::string::npos)
      << out.str();
  const std::string tail =
      "Warning: Ambiguous search with 16 = 33.33% found and removed from "
      "multiple counting. See ambiguous search result file in " +
      amb + ".\nVemora:\tCould not write the ambiguous search result file " + amb + ".\n\n";
  ASSERT_GE(out.str().size(), tail.size());
  EXPECT_EQ(out.str().substr(out.str().size() - tail.size()), tail);
}

TEST_F(SearchBreakdown, NoSearchEntriesNoBreakdown) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("mem.def", "PROGRAM 0x0000 0x8000\n");
  const std::string map = dir.write("app.map", k_header + altium_row("CODE_A", "000100", "000010"));
  std::ostringstream out;
  EXPECT_TRUE(run_memory_report(map, definition, "Orm6", out));
  EXPECT_EQ(out.str().find("Program breakdown:"), std::string::npos);
  EXPECT_FALSE(test_support::file_exists(dir.file("Vemora.amb")));
}
