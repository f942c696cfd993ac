// The analysis as data: exact sums per range and per area beside the console
// report's wrapping ones, the breakdown's sections and ambiguous matches as
// records, and every failure with its messages and the step it ends.
#include "analysis/analysis.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_support.h"

namespace {

std::string section(int index, const std::string& name, const std::string& size,
                    const std::string& start) {
  return "  " + std::to_string(index) + " " + name + "  " + size + "  " + start + "  " + start +
         "  2**2\n                  CONTENTS, ALLOC\n";
}

struct failure_case {
  const char* what;
  const char* keyword;
  const char* definition;  ///< nullptr: no such file
  const char* map;         ///< nullptr: no such file
  const char* eeprom;      ///< nullptr: none asked for; "" : no such file
  analysis_step step;
  std::vector<std::string> messages;
};

}  // namespace

TEST(Analysis, SumsEveryRangeExactlyBesideTheWrappingTotals) {
  test_support::scoped_temp_dir dir;
  analysis_request request;
  request.type_keyword = "Tev2_mem32_unlimited";
  request.definition_path = dir.write("memory.def",
                                      "PROGRAM 0x00000000 0x00001000 // boot block \n"
                                      "PROGRAM 0x00002000 0x00001000\n"
                                      "\n"
                                      "MEMORY  0x10000000 0x80000000 //RAM\r\n"
                                      "MEMORY  0x90000000 0x80000000\n"
                                      "SEARCH text\n"
                                      "SEARCH |text |data\n");
  request.map_path = dir.write("app.map", section(0, ".text", "00000100", "00000000") +
                                              section(1, ".text", "00000010", "00002000") +
                                              section(2, ".data", "00000200", "00002100") +
                                              section(3, ".bss", "00000300", "10000000") +
                                              section(4, ".sbss", "00000040", "90000000"));
  const memory_analysis analysis = analyse_memory(request);
  ASSERT_FALSE(analysis.failure.failed());
  ASSERT_TRUE(analysis.has_sections);

  ASSERT_EQ(analysis.program_usage.size(), 2u);
  EXPECT_EQ(analysis.program_usage[0].label, std::optional<std::string>("boot block"));
  EXPECT_EQ(analysis.program_usage[1].label, std::nullopt);
  EXPECT_EQ(analysis.program_usage[1].definition_line, 2u);
  EXPECT_EQ(analysis.memory_usage[0].label, std::optional<std::string>("RAM"));
  EXPECT_EQ(analysis.memory_usage[0].definition_line, 4u);
  EXPECT_EQ(analysis.memory_usage[1].definition_line, 5u);
  EXPECT_EQ(analysis.program_usage[0].used_bytes, 0x100u);
  EXPECT_EQ(analysis.program_usage[0].section_count, 1u);
  EXPECT_EQ(analysis.program_usage[1].used_bytes, 0x210u);
  EXPECT_EQ(analysis.program_usage[1].section_count, 2u);
  ASSERT_EQ(analysis.memory_usage.size(), 2u);
  EXPECT_EQ(analysis.memory_usage[0].used_bytes, 0x300u);
  EXPECT_EQ(analysis.memory_usage[1].used_bytes, 0x40u);
  EXPECT_EQ(analysis.program_used, 0x310u);
  EXPECT_EQ(analysis.memory_used_bytes, 0x340u);
  // 2^32 exactly; the console's 32-bit total wraps to 0.
  EXPECT_EQ(analysis.memory_total, std::uint64_t{1} << 32);
  EXPECT_EQ(analysis.totals.memory_total, 0u);
  EXPECT_EQ(analysis.program_total, 0x2000u);

  // The first .text (report order) is claimed by "text" and ambiguous for
  // the second entry, the second .text is ambiguous for both; .data goes to
  // the second entry.
  const search_breakdown& breakdown = analysis.breakdown;
  ASSERT_EQ(breakdown.entries.size(), 2u);
  EXPECT_EQ(breakdown.entries[0].text, "text ");
  EXPECT_EQ(breakdown.entries[0].bytes, 0x100u);
  EXPECT_EQ(breakdown.entries[0].sections, (std::vector<std::uint32_t>{0}));
  EXPECT_EQ(breakdown.entries[1].any_terms, (std::vector<std::string>{"text", "data"}));
  EXPECT_EQ(breakdown.entries[1].bytes, 0x200u);
  EXPECT_EQ(breakdown.entries[1].sections, (std::vector<std::uint32_t>{2}));
  struct match {
    std::uint32_t section;
    std::uint32_t entry;
  };
  const match expected[] = {{0, 1}, {1, 0}, {1, 1}};
  ASSERT_EQ(breakdown.ambiguous.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(breakdown.ambiguous[i].name, "text");  // the 32-bit reader strips the full stop
    EXPECT_EQ(breakdown.ambiguous[i].section, expected[i].section);
    EXPECT_EQ(breakdown.ambiguous[i].entry, expected[i].entry);
    EXPECT_EQ(breakdown.ambiguous[i].claimed_by, 0u);
  }
  EXPECT_EQ(breakdown.ambiguous_bytes_exact, 0x120u);
  EXPECT_EQ(breakdown.accounted_exact, 0x300u);
}

TEST(Analysis, FailuresCarryTheirMessagesAndStep) {
  const std::vector<failure_case> cases = {
      {"no such keyword",
       "Tev3",
       "PROGRAM 0 10\n",
       "",
       nullptr,
       analysis_step::memory_report,
       {"Vemora:\tMap definition file type is not supported."}},
      {"a definition without ranges and no map",
       "Tev2",
       "SEARCH text\n",
       nullptr,
       nullptr,
       analysis_step::memory_report,
       {"Vemora:\tInvalid memory definition file.", "Vemora:\tInvalid memory map file."}},
      {"no map",
       "Orm6",
       "PROGRAM 0 10\n",
       nullptr,
       nullptr,
       analysis_step::memory_report,
       {"Vemora:\tInvalid memory map file."}},
      {"no EEPROM source",
       "Tev2",
       "PROGRAM 0 10\n",
       "",
       "",
       analysis_step::eep_report,
       {"Vemora:\tInvalid eep file."}},
      {"an EEPROM source whose lines run out",
       "Tev2",
       "PROGRAM 0 10\n",
       "",
       "first\nsecond\n",
       analysis_step::eep_report,
       {"File end", "error in the analyze EEP size: "}},
      {"all well, nothing in any range",
       "Tev2",
       "PROGRAM 0 10\n",
       "",
       nullptr,
       analysis_step::none,
       {}},
  };
  for (const failure_case& c : cases) {
    SCOPED_TRACE(c.what);
    test_support::scoped_temp_dir dir;
    analysis_request request;
    request.type_keyword = c.keyword;
    request.definition_path =
        c.definition != nullptr ? dir.write("memory.def", c.definition) : dir.file("memory.def");
    request.map_path = c.map != nullptr ? dir.write("app.map", c.map) : dir.file("app.map");
    if (c.eeprom != nullptr) {
      request.eeprom_path =
          *c.eeprom != '\0' ? dir.write("EepPrj.src", c.eeprom) : dir.file("EepPrj.src");
    }
    const analysis_result result = analyse(request);
    EXPECT_EQ(result.failure().step, c.step);
    EXPECT_EQ(result.failure().messages, c.messages);
    EXPECT_EQ(result.has_eep, c.eeprom != nullptr);
  }
}

TEST(Analysis, EepromValuesAreReadAfterTheMemorySide) {
  test_support::scoped_temp_dir dir;
  analysis_request request;
  request.type_keyword = "Tev2";
  request.definition_path = dir.write("memory.def", "PROGRAM 0 10\n");
  request.map_path = dir.write("app.map", "");
  request.eeprom_path = dir.write("EepPrj.src",
                                  "header\n_RuxEep_nOnceDataSize\n    0x10,\n"
                                  "_RuxEep_nTrippleDataSize\n    0x4,\n"
                                  "_RuxEep_nOnceDataFree\n    0x30,\n"
                                  "_RuxEep_nTrippleDataFree\n    0x8,\n");
  const analysis_result result = analyse(request);
  ASSERT_FALSE(result.failure().failed());
  EXPECT_EQ(result.eep.sizes.once_data_size, 0x10u);
  EXPECT_EQ(result.eep.sizes.triple_data_size, 0x4u);
  EXPECT_EQ(result.eep.sizes.once_data_free, 0x30u);
  EXPECT_EQ(result.eep.sizes.triple_data_free, 0x8u);
}

TEST(Analysis, ExactEepromTotalsDoNotWrap) {
  eep_sizes sizes;
  sizes.once_data_size = 0x80000000;
  sizes.once_data_free = 0x80000001;
  sizes.triple_data_size = 0x55555556;  // times 3 is 0x100000002
  sizes.triple_data_free = 1;
  const eep_totals_exact totals = compute_eep_totals_exact(sizes);
  EXPECT_EQ(totals.once_used, 0x80000000u);
  EXPECT_EQ(totals.once_free, 0x80000001u);
  EXPECT_EQ(totals.once_total, 0x100000001u);
  EXPECT_EQ(totals.triple_used, 0x100000002u);
  EXPECT_EQ(totals.triple_free, 3u);
  EXPECT_EQ(totals.triple_total, 0x100000005u);
  EXPECT_EQ(totals.overall_used, 0x180000002u);
  EXPECT_EQ(totals.overall_free, 0x80000004u);
  EXPECT_EQ(totals.overall_total, 0x200000006u);
}

namespace {

/// The linker's own figure for a region, from the example's expected-usage.txt
/// (its "Used Size" column of --print-memory-usage, in bytes).
std::uint64_t linker_used(const std::string& region) {
  const std::string text =
      test_support::read_file(test_support::source_dir() + "/examples/cortex-m/expected-usage.txt");
  const std::size_t at = text.find(region + " ");
  EXPECT_NE(at, std::string::npos) << region;
  return at == std::string::npos ? 0 : std::stoull(text.substr(at + region.size() + 1));
}

memory_analysis firmware_analysis(const char* listing) {
  analysis_request request;
  request.type_keyword = "Tev2_mem32_unlimited";
  request.definition_path = test_support::source_dir() + "/examples/cortex-m/memory.def";
  request.map_path = test_support::source_dir() + "/examples/cortex-m/" + listing;
  request.collect_fates = true;
  return analyse_memory(request);
}

TEST(LoadCopies, TheFlashFootprintIsWhatTheLinkerPrints) {
  const memory_analysis analysis = firmware_analysis("firmware.lst");
  ASSERT_FALSE(analysis.failure.failed());
  ASSERT_EQ(analysis.program_usage.size(), 1u);
  const range_usage& flash = analysis.program_usage[0];
  // .data's 0x1E8 bytes of initial values, loaded at 0x08006304.
  EXPECT_EQ(flash.load_copy_sections, 1u);
  EXPECT_EQ(flash.load_copy_bytes, 0x1E8u);
  EXPECT_EQ(flash.footprint(), linker_used("FLASH"));
  EXPECT_EQ(analysis.program_footprint(), linker_used("FLASH"));
  // The console's number stays: the sections whose run address is in flash.
  EXPECT_EQ(flash.used_rounded(), linker_used("FLASH") - 0x1E8);
  // .bss, .heap and .stack carry a load address in flash too, but load nothing.
  EXPECT_EQ(analysis.memory_usage[0].load_copy_sections, 0u);
}

TEST(LoadCopies, RamLacksExactlyTheSectionsDroppedByName) {
  // RAM is short of the linker's figure by the heap, which the reader drops
  // by its name and lint warns of: every byte is counted or told.
  const memory_analysis analysis = firmware_analysis("firmware.lst");
  std::uint64_t dropped_by_name_in_ram = 0;
  for (const section_fate_record& fate : analysis.fates) {
    if (fate.fate == section_fate::excluded_name && fate.start >= 0x20000000) {
      dropped_by_name_in_ram += fate.size;
    }
  }
  EXPECT_EQ(dropped_by_name_in_ram, 0x2000u);
  EXPECT_EQ(analysis.memory_usage[0].used_rounded() + dropped_by_name_in_ram, linker_used("RAM"));
}

TEST(LoadCopies, TheListingSaysWhatEachSectionIs) {
  const memory_analysis analysis = firmware_analysis("firmware.lst");
  const auto find = [&analysis](const char* name) -> const section_fate_record* {
    for (const section_fate_record& fate : analysis.fates) {
      if (fate.name.str() == name) {
        return &fate;
      }
    }
    return nullptr;
  };
  const struct {
    const char* name;
    std::uint32_t load_address;
    bool alloc;
    bool load;
  } expected[] = {
      {"isr_vector", 0x08000000, true, true},
      {"data", 0x08006304, true, true},
      {"heap", 0x080064EC, true, false},
      {"comment", 0, false, false},
  };
  for (const auto& e : expected) {
    const section_fate_record* fate = find(e.name);
    ASSERT_NE(fate, nullptr) << e.name;
    EXPECT_EQ(fate->detail.load_address, std::optional<std::uint32_t>(e.load_address)) << e.name;
    EXPECT_EQ(fate->has(k_trait_alloc), e.alloc) << e.name;
    EXPECT_EQ(fate->has(k_trait_load), e.load) << e.name;
    EXPECT_FALSE(fate->has(k_trait_wide_listing)) << e.name;
  }
  EXPECT_EQ(analysis.form, map_form::listing);
  // The wide listing says so of its sections.
  const memory_analysis wide = firmware_analysis("firmware-wide.lst");
  ASSERT_FALSE(wide.fates.empty());
  EXPECT_TRUE(wide.fates.front().has(k_trait_wide_listing));
}

TEST(LoadCopies, NoSectionInAnyRangeStillListsEverySearchEntry) {
  test_support::scoped_temp_dir dir;
  analysis_request request;
  request.type_keyword = "Tev2";
  request.definition_path = dir.write("m.def", "PROGRAM 0x100 0x10\nSEARCH text\nSEARCH data\n");
  request.map_path =
      dir.write("m.map", "Idx Name Size VMA LMA\n" + section(0, ".text", "00000010", "00009000"));
  request.collect_fates = true;
  const memory_analysis analysis = analyse_memory(request);
  EXPECT_FALSE(analysis.has_sections);
  ASSERT_EQ(analysis.breakdown.entries.size(), 2u);
  EXPECT_EQ(analysis.breakdown.entries[0].text, "text ");
  EXPECT_EQ(analysis.breakdown.entries[1].bytes, 0u);
}

}  // namespace

namespace {

TEST(SharedResult, ListsAreInOrderBeforeAnyoneReadsThem) {
  // A listing in descending address order: its lists need sorting. Two
  // threads then read the one result at once; a const read must not sort
  // it in place (the thread sanitizer tells).
  test_support::scoped_temp_dir dir;
  std::string map = "Idx Name Size VMA LMA\n";
  for (int i = 0; i < 64; ++i) {
    char start[16];
    std::snprintf(start, sizeof start, "%08x", 0x4000 + (63 - i) * 0x10);
    map += section(i, i % 2 == 0 ? ".data" : ".bss", "00000010", start);
    std::snprintf(start, sizeof start, "%08x", 0x1000 + (63 - i) * 0x10);
    map += section(i, ".text", "00000010", start);
  }
  analysis_request request;
  request.type_keyword = "Tev2";
  request.definition_path = dir.write("m.def", "PROGRAM 0x1000 0x1000\nMEMORY 0x4000 0x1000\n");
  request.map_path = dir.write("m.map", map);
  const memory_analysis analysis = analyse_memory(request);
  ASSERT_EQ(analysis.memory_sections.size(), 64u);
  const auto ascending = [&analysis]() {
    std::uint32_t last = 0;
    bool in_order = true;
    for (const section_list* list : {&analysis.program_sections, &analysis.memory_sections}) {
      last = 0;
      for (const section_record& record : *list) {
        in_order = in_order && record.start >= last;
        last = record.start;
      }
    }
    return in_order;
  };
  bool first = false;
  bool second = false;
  std::thread other([&]() { first = ascending(); });
  second = ascending();
  other.join();
  EXPECT_TRUE(first);
  EXPECT_TRUE(second);
}

}  // namespace
