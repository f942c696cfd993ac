// vemora-check symbols, report --csv-symbols and explain --symbols on the Cortex-M firmware of
// examples/cortex-m. Every expected symbol, size and address is read off
// `arm-none-eabi-readelf -sW firmware.elf` (sections 5 .data and 6 .bss, 7 .heap and 8 .stack
// hold no sized symbol); the sums are those of the section headers (readelf -SW).
#include "check/symbols_command.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "check/check_test_run.h"
#include "tests/test_support.h"

namespace {

using check_test::check_run;
using check_test::exit_case;
using check_test::run;

std::string example(const std::string& name) {
  return test_support::source_dir() + "/examples/cortex-m/" + name;
}

std::vector<std::string> elf_inputs() {
  return {"Elf", example("memory.def"), example("firmware.elf")};
}

std::vector<std::string> with(std::vector<std::string> arguments,
                              const std::vector<std::string>& more) {
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

check_run symbols(const std::vector<std::string>& more) {
  return run(with(with({"symbols"}, elf_inputs()), more));
}

// One row of the text table: bytes right-aligned under "bytes" (5), the kind under "kind" padded
// to "object" (6), the name padded to the widest of memory0,
// "_ZN6logger9g_averageE (logger::g_average)" (41), then the section.
std::string memory_row(const std::string& bytes, const std::string& name,
                       const std::string& section) {
  return std::string(5 - bytes.size(), ' ') + bytes + "  object  " + name +
         std::string(41 - name.size(), ' ') + "  " + section + "\n";
}

const char k_g_average[] = "_ZN6logger9g_averageE (logger::g_average)";

// .data 0x1e8 = 488 bytes: 4 + 20 + 4 + 96 + 364; .bss 0x78 = 120 bytes: 4 + 16 + 4 + 80 + 4 * 4.
// .heap 0x2000 and .stack 0x800 hold none: 10240 unattributed of 488 + 120 + 10240 = 10848.
const char k_memory0_head[] = "memory0  start 0x20000000  size 20480 bytes  RAM, 20 KiB\n";
const char k_memory0_sum[] =
    "memory0: attributed 608 + unattributed 10240 = used 10848 bytes; shown 13 of 13 symbols\n";

TEST(SymbolsCommand, ListsTheSymbolsOfARangeLargestFirstAndClosesWithItsSums) {
  const check_run result = symbols({"--range", "memory0"});
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.err, "");
  // Ties of size keep the address order, .data (section 5) before .bss (section 6).
  const std::string expected =
      std::string(k_memory0_head) + "bytes  kind    name" + std::string(37, ' ') + "  section\n" +
      memory_row("364", "__global_locale", ".data") + memory_row("96", "impure_data", ".data") +
      memory_row("80", k_g_average, ".bss") + memory_row("20", "s_config", ".data") +
      memory_row("16", "s_alarms", ".bss") + memory_row("4", "s_heap_top", ".data") +
      memory_row("4", "_impure_ptr", ".data") + memory_row("4", "s_ticks", ".bss") +
      memory_row("4", "s_blocks_done", ".bss") + memory_row("4", "__malloc_free_list", ".bss") +
      memory_row("4", "__malloc_sbrk_start", ".bss") + memory_row("4", "errno", ".bss") +
      memory_row("4", "_PathLocale", ".bss") + k_memory0_sum;
  EXPECT_EQ(result.out, expected);
}

// The bytes of every sized symbol of .isr_vector, .text, .rodata and .init_array, each byte
// counted once (readelf -sW, Thumb bit cleared): 236 + 22204 + 2201 + 0 = 24641 of
// 0xf0 + 0x5728 + 0xae8 + 0x4 = 25348, in 1 + 172 + 12 distinct (address, size) pairs.
TEST(SymbolsCommand, EveryRangeByDefaultWithTheTwentyLargest) {
  const check_run result = symbols({});
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out.find("program0  start 0x08000000  size 65536 bytes  FLASH, 64 KiB\n"
                            "bytes  kind      name            section\n"
                            " 3856  function  _dtoa_r         .text\n"
                            " 1496  function  _printf_float   .text\n"
                            " 1024  object    k_crc32_table   .rodata\n"),
            0u);
  EXPECT_NE(result.out.find("\nprogram0: attributed 24641 + unattributed 707 = used 25348 bytes; "
                            "shown 20 of 185 symbols\n\nmemory0  start"),
            std::string::npos);
  EXPECT_NE(result.out.find(k_memory0_sum), std::string::npos);

  const check_run all = symbols({"--top", "0"});
  EXPECT_NE(all.out.find("; shown 185 of 185 symbols\n"), std::string::npos);
}

TEST(SymbolsCommand, SortOrdersTheLargestPickedByTop) {
  struct sort_case {
    const char* sort;
    std::vector<std::string> names;  // of the five largest: 364, 96, 80, 20, 16 bytes
  };
  const std::vector<sort_case> cases = {
      {"size", {"__global_locale", "impure_data", k_g_average, "s_config", "s_alarms"}},
      // 0x20000004, 0x2000001c, 0x2000007c, 0x200001ec, 0x20000200
      {"address", {"s_config", "impure_data", "__global_locale", "s_alarms", k_g_average}},
      // byte order of the names: 'Z' before '_' before the lower case
      {"name", {k_g_average, "__global_locale", "impure_data", "s_alarms", "s_config"}},
  };
  for (const sort_case& c : cases) {
    SCOPED_TRACE(c.sort);
    const check_run result = symbols({"--range", "memory0", "--top", "5", "--sort", c.sort});
    ASSERT_EQ(result.code, 0) << result.err;
    std::size_t at = 0;
    for (const std::string& name : c.names) {
      const std::size_t found = result.out.find("  " + name + " ", at);
      ASSERT_NE(found, std::string::npos) << name;
      at = found + 1;
    }
    EXPECT_NE(result.out.find("; shown 5 of 13 symbols\n"), std::string::npos);
  }
}

TEST(SymbolsCommand, SectionAndGroupPickTheirSymbolsAndAddTheirSums) {
  const check_run bss = symbols({"--section", ".bss", "--top", "2"});
  ASSERT_EQ(bss.code, 0) << bss.err;
  // Only memory0 holds a .bss; its sums stay the range's.
  EXPECT_EQ(bss.out, std::string(k_memory0_head) +
                         "bytes  kind    name                                       section\n"
                         "   80  object  _ZN6logger9g_averageE (logger::g_average)  .bss\n"
                         "   16  object  s_alarms                                   .bss\n"
                         ".bss at 0x200001E8: attributed 120 + unattributed 0 = size 120 bytes\n"
                         "memory0: attributed 608 + unattributed 10240 = used 10848 bytes; "
                         "shown 2 of 8 symbols\n");

  // SEARCH 2 counts .isr_vector (0xf0, g_vector_table 236 bytes) and .init_array (4 bytes,
  // no sized symbol).
  const check_run group = symbols({"--group", "2"});
  ASSERT_EQ(group.code, 0) << group.err;
  EXPECT_EQ(group.out,
            "program0  start 0x08000000  size 65536 bytes  FLASH, 64 KiB\n"
            "bytes  kind    name            section\n"
            "  236  object  g_vector_table  .isr_vector\n"
            "program0: attributed 24641 + unattributed 707 = used 25348 bytes; shown 1 of 1 "
            "symbol\n\n"
            "SEARCH 2 (|isr_vector |init_array): attributed 236 + unattributed 8 = total 244 "
            "bytes\n");

  // A range named beside a group is shown even when none of its sections is picked.
  const check_run none = symbols({"--group", "2", "--range", "memory0"});
  ASSERT_EQ(none.code, 0) << none.err;
  EXPECT_EQ(none.out.substr(0, std::string(k_memory0_head).size() + 11),
            std::string(k_memory0_head) + "no symbols\n");
}

// The thirteen objects of memory0 as readelf -sW lists them; a local's key is file:name, with
// the file of the FILE symbol before it.
const char k_memory0_csv[] =
    "name,display,kind,binding,file,section,range,group,address,size,key,bytes\r\n"
    "__global_locale,__global_locale,object,global,,.data,memory0,,0x2000007C,364,__global_locale"
    ",364\r\n"
    "impure_data,impure_data,object,local,impure.c,.data,memory0,,0x2000001C,96,impure.c:impure_d"
    "ata,96\r\n"
    "_ZN6logger9g_averageE,logger::g_average,object,global,,.bss,memory0,,0x20000200,80,_ZN6logge"
    "r9g_averageE,80\r\n"
    "s_config,s_config,object,local,main.c,.data,memory0,,0x20000004,20,main.c:s_config,20\r\n"
    "s_alarms,s_alarms,object,local,main.c,.bss,memory0,,0x200001EC,16,main.c:s_alarms,16\r\n"
    "s_heap_top,s_heap_top,object,local,syscalls.c,.data,memory0,,0x20000000,4,syscalls.c:s_heap_"
    "top,4\r\n"
    "_impure_ptr,_impure_ptr,object,global,,.data,memory0,,0x20000018,4,_impure_ptr,4\r\n"
    "s_ticks,s_ticks,object,local,main.c,.bss,memory0,,0x200001E8,4,main.c:s_ticks,4\r\n"
    "s_blocks_done,s_blocks_done,object,local,main.c,.bss,memory0,,0x200001FC,4,main.c:s_blocks_d"
    "one,4\r\n"
    "__malloc_free_list,__malloc_free_list,object,global,,.bss,memory0,,0x20000250,4,__malloc_fre"
    "e_list,4\r\n"
    "__malloc_sbrk_start,__malloc_sbrk_start,object,global,,.bss,memory0,,0x20000254,4,__malloc_s"
    "brk_start,4\r\n"
    "errno,errno,object,global,,.bss,memory0,,0x20000258,4,errno,4\r\n"
    "_PathLocale,_PathLocale,object,global,,.bss,memory0,,0x2000025C,4,_PathLocale,4\r\n";

TEST(SymbolsCommand, CsvListsEverySymbolWhateverTheTop) {
  const check_run result = symbols({"--range", "memory0", "--format", "csv", "--top", "2"});
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out, k_memory0_csv);
}

TEST(SymbolsCommand, CsvOfAListingWithItsImageNamesTheListingsSections) {
  // The listing's reader drops the leading full stop; its heap is dropped by name, so memory0
  // is 488 + 120 + 2048 (.stack) = 2656 bytes, 2048 of them unattributed.
  const std::vector<std::string> listing = {"Tev2_mem32_unlimited",
                                            example("memory.def"),
                                            example("firmware.lst"),
                                            "--elf",
                                            example("firmware.elf"),
                                            "--range",
                                            "memory0"};
  const check_run csv = run(with(with({"symbols"}, listing), {"--format", "csv"}));
  ASSERT_EQ(csv.code, 0) << csv.err;
  std::string expected = k_memory0_csv;
  for (const std::string section : {"data", "bss"}) {
    for (std::size_t at = expected.find(",." + section + ","); at != std::string::npos;
         at = expected.find(",." + section + ",", at)) {
      expected.erase(at + 1, 1);
    }
  }
  EXPECT_EQ(csv.out, expected);
  const check_run text = run(with({"symbols"}, listing));
  EXPECT_NE(text.out.find("memory0: attributed 608 + unattributed 2048 = used 2656 bytes; shown "
                          "13 of 13 symbols\n"),
            std::string::npos);
}

TEST(SymbolsCommand, JsonHoldsTheRangesSumsAndTheShownSymbols) {
  const check_run result = symbols({"--range", "memory0", "--format", "json", "--top", "3"});
  ASSERT_EQ(result.code, 0) << result.err;
  const nlohmann::json document = nlohmann::json::parse(result.out);
  ASSERT_EQ(document.at("ranges").size(), 1u);
  const nlohmann::json& range = document["ranges"][0];
  EXPECT_EQ(range.at("id"), "memory0");
  EXPECT_EQ(range.at("used"), 10848);
  EXPECT_EQ(range.at("attributed"), 608);
  EXPECT_EQ(range.at("unattributed"), 10240);
  EXPECT_EQ(range.at("symbol_count"), 13);
  const nlohmann::json& shown = range.at("symbols");
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].at("name"), "__global_locale");
  EXPECT_EQ(shown[0].at("address"), 0x2000007C);
  EXPECT_TRUE(shown[0].at("file").is_null());
  EXPECT_EQ(shown[0].at("binding"), "global");
  EXPECT_EQ(shown[1].at("file"), "impure.c");
  EXPECT_EQ(shown[1].at("key"), "impure.c:impure_data");
  EXPECT_EQ(shown[1].at("binding"), "local");
  EXPECT_EQ(shown[2].at("display"), "logger::g_average");
  EXPECT_EQ(shown[2].at("section"), ".bss");
  EXPECT_EQ(shown[2].at("size"), 80);
  EXPECT_EQ(shown[2].at("bytes"), 80);
  EXPECT_EQ(shown[2].at("kind"), "object");

  // Every range without --range, in report order.
  const nlohmann::json both = nlohmann::json::parse(symbols({"--format", "json"}).out);
  ASSERT_EQ(both.at("ranges").size(), 2u);
  EXPECT_EQ(both["ranges"][0].at("id"), "program0");
  EXPECT_EQ(both["ranges"][0].at("attributed"), 24641);
  EXPECT_EQ(both["ranges"][0].at("symbols").size(), 20u);
  EXPECT_EQ(both["ranges"][1].at("id"), "memory0");
}

TEST(SymbolsCommand, ReportWritesTheSameCsvAsSymbols) {
  test_support::scoped_temp_dir dir;
  const std::string file = dir.file("symbols.csv");
  const check_run report = run(with(with({"report"}, elf_inputs()), {"--csv-symbols", file}));
  ASSERT_EQ(report.code, 0) << report.err;
  EXPECT_EQ(report.out, "");
  const std::string written = test_support::read_file(file);
  EXPECT_EQ(written, symbols({"--format", "csv"}).out);
  // 185 symbols in program0 and 13 in memory0, after the header.
  std::size_t rows = 0;
  for (std::size_t at = written.find("\r\n"); at != std::string::npos;
       at = written.find("\r\n", at + 2)) {
    ++rows;
  }
  EXPECT_EQ(rows, 1u + 185u + 13u);
  EXPECT_NE(
      written.find(std::string(k_memory0_csv).substr(std::string(k_memory0_csv).find("\r\n") + 2)),
      std::string::npos);
}

// .data and .bss of memory0 with their symbols in address order, .heap and .stack without any.
// 21 sections in the image after section 0: 8 allocated (0xf0 + 0x5728 + 0xae8 + 0x4 + 0x1e8 +
// 0x78 + 0x2000 + 0x800 = 36196 bytes) and 13 not (9 to 21: 32728 bytes).
TEST(SymbolsCommand, ExplainListsEachCountedSectionsSymbolsAndWhatNoneHolds) {
  const check_run result =
      run(with(with({"explain"}, elf_inputs()), {"--symbols", "--range", "memory0"}));
  ASSERT_EQ(result.code, 0) << result.err;
  EXPECT_EQ(result.out,
            ".data  start 0x20000000  size 488 bytes  line 5  counted in memory0\n"
            "      4  s_heap_top\n"
            "     20  s_config\n"
            "      4  _impure_ptr\n"
            "     96  impure_data\n"
            "    364  __global_locale\n"
            "    unattributed 0 bytes\n"
            ".bss  start 0x200001E8  size 120 bytes  line 6  counted in memory0\n"
            "     4  s_ticks\n"
            "    16  s_alarms\n"
            "     4  s_blocks_done\n"
            "    80  _ZN6logger9g_averageE (logger::g_average)\n"
            "     4  __malloc_free_list\n"
            "     4  __malloc_sbrk_start\n"
            "     4  errno\n"
            "     4  _PathLocale\n"
            "    unattributed 0 bytes\n"
            ".heap  start 0x20000260  size 8192 bytes  line 7  counted in memory0\n"
            "    unattributed 8192 bytes\n"
            ".stack  start 0x20002260  size 2048 bytes  line 8  counted in memory0\n"
            "    unattributed 2048 bytes\n"
            "recognised 21 sections, 68924 bytes = counted 8 sections, 36196 bytes + dropped 13 "
            "sections, 32728 bytes; shown: 4 of 21 sections\n");
}

// A listing whose one counted section (.text at 0x1000) the Cortex-M image does not hold: its
// symbols would read as none at all.
TEST(SymbolsCommand, AnImageOfAnotherMapIsRefused) {
  test_support::scoped_temp_dir dir;
  const std::string definition = dir.write("small.def", "PROGRAM 0x1000 0x1000\nSEARCH text\n");
  const std::string listing = dir.write("small.map",
                                        "Sections:\n"
                                        "Idx Name          Size      VMA       LMA\n"
                                        "  0 .text         00000100  00001000  00001000  2**2\n"
                                        "                  CONTENTS, ALLOC, LOAD, CODE\n");
  const std::string image = example("firmware.elf");
  const std::string message = "vemora-check: " + image + ": not one counted section of " + listing +
                              " has a section of its name and address here: it is not this "
                              "map's image, so it gives no symbol\n";
  const std::vector<std::string> inputs = {"Tev2", definition, listing, "--elf", image};
  const std::vector<std::vector<std::string>> runs = {
      with({"symbols"}, inputs),
      with(with({"explain"}, inputs), {"--symbols"}),
      with(with({"report"}, inputs), {"--csv-symbols", "-"}),
  };
  for (const std::vector<std::string>& arguments : runs) {
    SCOPED_TRACE(arguments.front());
    const check_run result = run(arguments);
    EXPECT_EQ(result.code, 3);
    EXPECT_EQ(result.err, message);
    EXPECT_EQ(result.out, "");
  }
  // Without asking for symbols the run goes on; the lint's VL114 tells of the image.
  EXPECT_EQ(run(with({"explain"}, inputs)).code, 0);
}

TEST(SymbolsCommand, RefusalsEndWithTheirExitCodes) {
  const std::string definition = example("memory.def");
  const std::string listing = example("firmware.lst");
  const std::string no_image =
      " needs an image's symbols: pass --elf FILE (the linked ELF image of the listing), or use "
      "the keyword Elf with the image as MAP\n";
  const std::vector<std::string> elf = elf_inputs();
  // exit_case holds the texts by pointer: they live here.
  const std::string symbols_no_image = "vemora-check: symbols" + no_image;
  const std::string report_no_image = "vemora-check: --csv-symbols" + no_image;
  const std::string explain_no_image = "vemora-check: --symbols" + no_image;
  const std::vector<exit_case> cases = {
      {"unknown range", with(with({"symbols"}, elf), {"--range", "memory1"}), 2, nullptr},
      {"unknown group", with(with({"symbols"}, elf), {"--group", "3"}), 2, nullptr},
      {"group not a number", with(with({"symbols"}, elf), {"--group", "text"}), 2, nullptr},
      {"unknown section", with(with({"symbols"}, elf), {"--section", "data"}), 2, nullptr},
      {"unknown sort", with(with({"symbols"}, elf), {"--sort", "bytes"}), 2, nullptr},
      {"unknown format", with(with({"symbols"}, elf), {"--format", "markdown"}), 2, nullptr},
      {"negative top", with(with({"symbols"}, elf), {"--top", "-1"}), 2, nullptr},
      {"negative group", with(with({"symbols"}, elf), {"--group", "-1"}), 2, nullptr},
      {"no image",
       {"symbols", "Tev2_mem32_unlimited", definition, listing},
       2,
       symbols_no_image.c_str()},
      {"no image, files missing too",
       {"symbols", "Tev2_mem32_unlimited", "missing.def", "missing.lst"},
       2,
       nullptr},
      {"unknown keyword", with({"symbols", "Elf32"}, {definition, listing}), 2, nullptr},
      {"image missing",
       {"symbols", "Elf", definition, "missing.elf"},
       3,
       "vemora-check: missing.elf: no such file\n"},
      {"report without image",
       {"report", "Tev2_mem32_unlimited", definition, listing, "--csv-symbols", "-"},
       2,
       report_no_image.c_str()},
      {"explain without image",
       {"explain", "Tev2_mem32_unlimited", definition, listing, "--symbols"},
       2,
       explain_no_image.c_str()},
      {"explain symbols as json", with(with({"explain"}, elf), {"--symbols", "--format", "json"}),
       2,
       "vemora-check: --symbols is for the text form; for JSON or CSV use vemora-check symbols "
       "--format json\n"},
  };
  for (const exit_case& row : cases) {
    const check_run result = check_test::expect_exit(row);
    EXPECT_EQ(result.out.find("bytes"), std::string::npos) << row.what;
  }
  EXPECT_EQ(symbols({"--range", "program9"}).err,
            "vemora-check: --range: no range \"program9\" in " + definition +
                " (its ranges: program0, memory0)\n");
  EXPECT_EQ(symbols({"--group", "3"}).err, "vemora-check: --group: no SEARCH entry 3 in " +
                                               definition + " (its entries: 0 to 2)\n");
  EXPECT_EQ(symbols({"--section", "data"}).err,
            "vemora-check: --section: no counted section is named \"data\" (vemora-check explain "
            "--fate counted lists them)\n");
}

}  // namespace
