// Tests of the search accounting: the first entry to claim a name counts its
// bytes, every further claim is an ambiguous match; the breakdown lines, the
// warning and the result file "Vemora.amb" beside the map file.
#include "report/search_accounting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "mapfile/section_name_pool.h"
#include "report/run_memory_report.h"
#include "tests/test_support.h"

namespace {

/// Each test's records take their names from a pool of the test's own.
class names_of_one_run : public ::testing::Test {
 protected:
  section_record program_record(const std::string& name, std::uint32_t size) {
    section_record record;
    record.name = section_name(name, m_names);
    record.size = size;
    record.range_index = 0;
    return record;
  }

  section_name_pool m_names;
};
using SearchAccounting = names_of_one_run;
using SearchBreakdown = names_of_one_run;

search_list entries(const std::vector<std::string>& texts) {
  search_list list;
  for (const std::string& text : texts) {
    list.emplace_back(text);
  }
  return list;
}

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

// ---- claims ------------------------------------------------------------------

TEST_F(SearchAccounting, FirstMatchingEntryClaimsTheName) {
  search_list searches = entries({"data", "text", "|text |init", "!x"});
  search_accounting accounting(searches);
  accounting.account(program_record(".text", 100));

  EXPECT_EQ(searches[0].total, 0u);
  EXPECT_EQ(searches[1].total, 100u);
  EXPECT_EQ(searches[2].total, 0u);
  EXPECT_EQ(searches[3].total, 0u);
  ASSERT_EQ(accounting.claimed_list().size(), 1u);
  EXPECT_EQ(accounting.claimed_list()[0].object_name, ".text");
  EXPECT_EQ(accounting.claimed_list()[0].search_text, "text ");
  EXPECT_EQ(accounting.claimed_list()[0].earlier_search_text, "");

  const std::vector<search_hit> ambiguous = accounting.ambiguous_list();
  ASSERT_EQ(ambiguous.size(), 1u);
  const search_hit& hit = ambiguous[0];
  EXPECT_EQ(hit.object_name, ".text");
  EXPECT_EQ(hit.search_text, "|text |init ");
  EXPECT_EQ(hit.earlier_search_text, "text ");
  EXPECT_EQ(accounting.ambiguous_bytes(), 100u);
}

TEST_F(SearchAccounting, ThreeEntriesOnOneNameNameTheFirstTwice) {
  search_list searches = entries({"bss", "|bss", "b s"});
  search_accounting accounting(searches);
  accounting.account(program_record(".bss", 0x40));

  EXPECT_EQ(searches[0].total, 0x40u);
  ASSERT_EQ(accounting.ambiguous_list().size(), 2u);
  EXPECT_EQ(accounting.ambiguous_list()[0].search_text, "|bss ");
  EXPECT_EQ(accounting.ambiguous_list()[0].earlier_search_text, "bss ");
  EXPECT_EQ(accounting.ambiguous_list()[1].search_text, "b s ");
  EXPECT_EQ(accounting.ambiguous_list()[1].earlier_search_text, "bss ");
  EXPECT_EQ(accounting.ambiguous_bytes(), 0x80u);
}

TEST_F(SearchAccounting, SecondRecordOfAClaimedNameIsAmbiguousForTheSameEntry) {
  search_list searches = entries({"rodata"});
  search_accounting accounting(searches);
  accounting.account(program_record(".rodata", 10));
  accounting.account(program_record(".rodata", 30));
  accounting.account(program_record(".rodata.str", 5));

  EXPECT_EQ(searches[0].total, 15u);
  ASSERT_EQ(accounting.claimed_list().size(), 2u);
  EXPECT_EQ(accounting.claimed_list()[1].object_name, ".rodata.str");
  ASSERT_EQ(accounting.ambiguous_list().size(), 1u);
  EXPECT_EQ(accounting.ambiguous_list()[0].object_name, ".rodata");
  EXPECT_EQ(accounting.ambiguous_list()[0].search_text, "rodata ");
  EXPECT_EQ(accounting.ambiguous_list()[0].earlier_search_text, "rodata ");
  EXPECT_EQ(accounting.ambiguous_bytes(), 30u);
}

TEST_F(SearchAccounting, UnmatchedRecordsCountNowhere) {
  search_list searches = entries({"text", "!text"});
  search_accounting accounting(searches);
  accounting.account(program_record(".data", 10));
  EXPECT_EQ(searches[0].total, 0u);
  EXPECT_TRUE(accounting.claimed_list().empty());
  EXPECT_TRUE(accounting.ambiguous_list().empty());
  EXPECT_EQ(accounting.ambiguous_bytes(), 0u);
}

TEST_F(SearchAccounting, SumsWrapModulo2To32) {
  search_list searches = entries({"a", "|a"});
  search_accounting accounting(searches);
  accounting.account(program_record("a1", 0x80000000));
  accounting.account(program_record("a2", 0x80000001));
  EXPECT_EQ(searches[0].total, 1u);
  EXPECT_EQ(accounting.ambiguous_bytes(), 1u);
}

TEST_F(SearchAccounting, ManyDistinctNamesAreAccountedEach) {
  search_list searches = entries({"sec_", "|_7"});
  search_accounting accounting(searches);
  const int count = 100000;
  std::size_t with_seven = 0;
  for (int i = 0; i < count; ++i) {
    const std::string name = "sec_" + std::to_string(i);
    with_seven += name.find("_7") != std::string::npos ? 1 : 0;
    accounting.account(program_record(name, 2));
  }
  const std::vector<search_hit> claimed = accounting.claimed_list();
  ASSERT_EQ(claimed.size(), static_cast<std::size_t>(count));
  EXPECT_EQ(claimed[count - 1].object_name, "sec_99999");
  EXPECT_EQ(claimed[count - 1].search_text, "sec_ ");
  EXPECT_EQ(searches[0].total, 2u * count);
  EXPECT_EQ(searches[1].total, 0u);
  EXPECT_EQ(accounting.ambiguous_list().size(), with_seven);
  EXPECT_EQ(accounting.ambiguous_bytes(), 2u * with_seven);
}

// ---- result file path --------------------------------------------------------

TEST(SearchResultFile, LiesInTheMapFilesFolder) {
  EXPECT_EQ(search_accounting::result_file_path("C:\\maps\\app.map"), "C:\\maps\\Vemora.amb");
  EXPECT_EQ(search_accounting::result_file_path("/home/u/maps/app.map"), "/home/u/maps/Vemora.amb");
  EXPECT_EQ(search_accounting::result_file_path("app.map"), "Vemora.amb");
  EXPECT_EQ(search_accounting::result_file_path("C:app.map"), "Vemora.amb");
  EXPECT_EQ(search_accounting::result_file_path("C:/maps\\out/app.map"), "C:/maps\\out/Vemora.amb");
  EXPECT_EQ(search_accounting::result_file_path("maps/out\\app.map"), "maps/out\\Vemora.amb");
  EXPECT_EQ(search_accounting::result_file_path("/app.map"), "/Vemora.amb");
  EXPECT_EQ(search_accounting::result_file_path("maps/"), "maps/Vemora.amb");
}

// ---- breakdown, warning and file ----------------------------------------------

TEST_F(SearchBreakdown, LinesWarningAndFileForAnAmbiguousPair) {
  test_support::scoped_temp_dir dir;
  search_list searches = entries({"text", "|text |init", "never"});
  search_accounting accounting(searches);
  accounting.account(program_record(".text", 100));
  accounting.account(program_record(".init", 50));

  std::ostringstream out = report_stream();
  const std::string map = dir.file("app.map");
  accounting.print_breakdown(out, 200, map);
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
  accounting.print_breakdown(fresh, 100, dir.file("app.map"));
  EXPECT_FALSE(test_support::file_exists(dir.file("Vemora.amb")));
  EXPECT_EQ(fresh.str().find("Warning"), std::string::npos);

  const std::string old = dir.write("Vemora.amb", "from an earlier run\r\n");
  std::ostringstream again = report_stream();
  accounting.print_breakdown(again, 100, dir.file("app.map"));
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
  accounting.print_breakdown(out, 7, dir.file("app.map"));
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
  accounting.print_breakdown(out, 3000, dir.file("app.map"));
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

TEST_F(SearchBreakdown, AResultFileWrittenEarlyIsTheSameFile) {
  // Some megabytes of lines: several blocks go to the writer's thread while
  // the records are still being accounted.
  struct outcome {
    std::string report;  ///< with the folder's path taken out
    std::string file;
  };
  const auto run = [this](const std::string& map, bool early, const std::string& old_file) {
    test_support::scoped_temp_dir dir;
    if (!old_file.empty()) {
      dir.write("Vemora.amb", old_file);
    }
    search_list searches = entries({"text", "|text", "data !rodata", "a"});
    search_accounting accounting(searches);
    if (early) {
      accounting.write_result_file_early(dir.file(map), {dir.file("memory.def")});
    }
    for (int i = 0; i < 60000; ++i) {
      accounting.account(program_record(i % 3 == 0 ? ".text" : (i % 3 == 1 ? ".data" : "a"), 1));
    }
    std::ostringstream out = report_stream();
    accounting.print_breakdown(out, 60000, dir.file(map), {dir.file("memory.def")});
    std::string report = out.str();
    const std::size_t folder = report.find(dir.path());
    if (folder != std::string::npos) {
      report.erase(folder, dir.path().size());
    }
    return outcome{report, test_support::read_file(dir.file("Vemora.amb"))};
  };
  const outcome at_the_end = run("app.map", false, "");
  ASSERT_GT(at_the_end.file.size(), 3000000u);
  for (const std::string& old_file :
       {std::string(), std::string(5000000, 'x'), std::string("old")}) {
    const outcome early = run("app.map", true, old_file);
    EXPECT_EQ(early.report, at_the_end.report);
    EXPECT_EQ(early.file.size(), at_the_end.file.size()) << old_file.size();
    EXPECT_TRUE(early.file == at_the_end.file) << old_file.size();
  }
  // The map file itself is named like the result file: nothing is written.
  const outcome refused = run("Vemora.amb", true, "the map");
  EXPECT_NE(refused.report.find("Could not write the ambiguous search result file"),
            std::string::npos);
  EXPECT_EQ(refused.file, "the map");
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
  accounting.print_breakdown(out, 16, map);
  EXPECT_EQ(test_support::read_file(map), "  1 .text 10 100 x\n  ALLOC\n");
  EXPECT_NE(out.str().find("Vemora:\tCould not write the ambiguous search result file " +
                           dir.file("Vemora.amb") + ".\n"),
            std::string::npos)
      << out.str();

  // Another input stands where the result file would go.
  test_support::scoped_temp_dir other;
  const std::string other_map = other.write("app.map", "map");
  std::ostringstream again = report_stream();
  accounting.print_breakdown(again, 16, other_map, {other.write("Vemora.amb", "definition")});
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
    accounting.print_breakdown(out, 10, folder + "/app.map");
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
  accounting.print_breakdown(out, 0, "app.map");
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
