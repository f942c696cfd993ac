// Tests of the search accounting: the first entry to claim a name counts its
// bytes, every further claim is an ambiguous match, and where the result
// file "Vemora.amb" goes.
#include "analysis/search_accounting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using SearchAccounting = test_support::names_of_one_run;
using test_support::entries;

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
