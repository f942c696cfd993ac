// Names from a map or a definition file reach a merge-request comment
// through the Markdown report: every one must render as the text it is,
// never as markup, a code span or a second table cell.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "formats/format_text.h"
#include "formats/report_formats.h"
#include "tests/test_support.h"

namespace {

struct cell_case {
  const char* what;
  std::string input;
  std::string expected;
};

TEST(MarkdownCell, RendersEveryCharacterAsItReads) {
  const cell_case cases[] = {
      {"plain", ".text", ".text"},
      {"empty", "", ""},
      {"bars", "|text |a", "&#124;text &#124;a"},
      {"a backslash before a bar cannot free it, nor make the entity text", "a\\|b",
       "a&#92;&#124;b"},
      {"stars of a C++ name", "f(char*, int*)", "f(char&#42;, int&#42;)"},
      {"an ABI tag before the parameters is no link", "name[abi:cxx11]()",
       "name&#91;abi:cxx11&#93;()"},
      {"two destructors strike nothing through", "A::~A() ~B", "A::&#126;A() &#126;B"},
      {"underscores at a word's edge", "__malloc_av_", "&#95;&#95;malloc_av&#95;"},
      {"underscores inside a word are kept", "warn_headroom_pct", "warn_headroom_pct"},
      {"an underscore beside a full stop", "._x_.", ".&#95;x&#95;."},
      {"a tag", "<b>", "&lt;b&gt;"},
      {"an image with a script", "<img src=x onerror=alert(1)>",
       "&lt;img src=x onerror=alert(1)&gt;"},
      {"ampersand, also of an entity", "a&b &lt;", "a&amp;b &amp;lt;"},
      {"backticks", "`code` ``x``", "&#96;code&#96; &#96;&#96;x&#96;&#96;"},
      {"CR LF", "a\r\nb", "a  b"},
      {"lone LF and CR", "a\nb\rc", "a b c"},
      {"Latin-1 byte", "\xe4", "\xc3\xa4"},
      {"valid UTF-8 kept", "\xe2\x82\xac<", "\xe2\x82\xac&lt;"},
  };
  for (const cell_case& c : cases) {
    EXPECT_EQ(markdown_cell(c.input), c.expected) << c.what;
  }
}

TEST(MarkdownReport, HostileNamesRenderAsText) {
  analysis_result result;
  memory_analysis& memory = result.memory;
  range_usage flash;
  flash.range = {0x0, 1024};
  flash.used_bytes = 128;
  flash.label = "<img src=x onerror=alert(1)>";
  memory.program_usage.push_back(flash);
  range_usage ram;
  ram.range = {0x1000, 256};
  ram.label = "a|b & `c`\r\nd";
  memory.memory_usage.push_back(ram);
  memory.program_total = 1024;
  memory.program_used = 128;
  memory.memory_total = 256;
  search_breakdown::entry entry;
  entry.text = "<b>bold</b> |x ";
  entry.bytes = 64;
  memory.breakdown.entries.push_back(entry);
  memory.breakdown.accounted_exact = 64;
  report_context context;
  context.map.path = "fw<b>|`x`.map";

  std::ostringstream out;
  write_markdown_report(out, result, context);
  EXPECT_EQ(out.str(),
            "# Memory usage of fw&lt;b&gt;&#124;&#96;x&#96;.map (sha256 unknown)\n"
            "\n"
            "## Ranges\n"
            "\n"
            "| Range | Label | Start | Size | Used | Free | Used % |\n"
            "|---|---|---:|---:|---:|---:|---:|\n"
            "| program0 | &lt;img src=x onerror=alert(1)&gt; | 0x00000000 | 1024 | 128 | 896 | "
            "12.50 |\n"
            "| memory0 | a&#124;b &amp; &#96;c&#96;  d | 0x00001000 | 256 | 0 | 256 | 0.00 |\n"
            "\n"
            "## Totals\n"
            "\n"
            "| Area | Total | Used | Free | Used % | Sections |\n"
            "|---|---:|---:|---:|---:|---:|\n"
            "| Program | 1024 | 128 | 896 | 12.50 | 0 |\n"
            "| Memory | 256 | 0 | 256 | 0.00 | 0 |\n"
            "\n"
            "## SEARCH breakdown\n"
            "\n"
            "| # | Search | Bytes | % of program | Sections |\n"
            "|---:|---|---:|---:|---:|\n"
            "| 0 | &lt;b&gt;bold&lt;/b&gt; &#124;x  | 64 | 50.00 | 0 |\n"
            "|  | Accounted for in search | 64 | 50.00 |  |\n"
            "\n"
            "## Dropped sections\n"
            "\n"
            "No section was dropped.\n");
}

// The largest symbols of memory0 from arm-none-eabi-readelf -sW firmware.elf: .data (0x1e8) holds
// __global_locale 364, impure_data 96, s_config 20, s_heap_top 4 and _impure_ptr 4; .bss
// (0x78) _ZN6logger9g_averageE 80, s_alarms 16 and five of 4 bytes (s_ticks, s_blocks_done,
// __malloc_free_list, ...), all of both. The range uses 488 + 120 + .heap 0x2000 + .stack
// 0x800 = 10848 bytes: 608 attributed, 10240 not. Equal bytes go by section and address.
TEST(MarkdownReport, ImageRunListsTheLargestSymbolsOfEachRange) {
  const std::string folder = test_support::source_dir() + "/examples/cortex-m/";
  analysis_request request;
  request.type_keyword = "Elf";
  request.image_keywords = true;
  request.definition_path = folder + "memory.def";
  request.map_path = folder + "firmware.elf";
  request.collect_fates = true;
  const analysis_result result = analyse(request);
  ASSERT_FALSE(result.failure().failed());
  std::ostringstream out;
  write_markdown_report(out, result, report_context{});
  const std::string text = out.str();
  const std::string memory0 =
      "### Largest symbols of memory0\n"
      "\n"
      "| Symbol | Kind | Section | Bytes | % of used |\n"
      "|---|---|---|---:|---:|\n"
      "| &#95;&#95;global_locale | object | .data | 364 | 3.36 |\n"
      "| impure_data | object | .data | 96 | 0.88 |\n"
      "| logger::g_average | object | .bss | 80 | 0.74 |\n"
      "| s_config | object | .data | 20 | 0.18 |\n"
      "| s_alarms | object | .bss | 16 | 0.15 |\n"
      "| s_heap_top | object | .data | 4 | 0.04 |\n"
      "| &#95;impure_ptr | object | .data | 4 | 0.04 |\n"
      "| s_ticks | object | .bss | 4 | 0.04 |\n"
      "| s_blocks_done | object | .bss | 4 | 0.04 |\n"
      "| &#95;&#95;malloc_free_list | object | .bss | 4 | 0.04 |\n"
      "\n"
      "memory0: 13 symbols, 608 bytes attributed, 10240 bytes unattributed.\n"
      "\n"
      "## Totals\n";
  EXPECT_NE(text.find(memory0), std::string::npos) << text;
  // program0 uses 0xf0 + 0x5728 + 0xae8 + 4 = 25348 bytes; _dtoa_r is the largest function
  // (3856), the weak _printf_float next (1496), then the local table k_crc32_table (1024).
  const std::string program0 =
      "### Largest symbols of program0\n"
      "\n"
      "| Symbol | Kind | Section | Bytes | % of used |\n"
      "|---|---|---|---:|---:|\n"
      "| &#95;dtoa_r | function | .text | 3856 | 15.21 |\n"
      "| &#95;printf_float | function | .text | 1496 | 5.90 |\n"
      "| k_crc32_table | object | .rodata | 1024 | 4.04 |\n";
  EXPECT_NE(text.find(program0), std::string::npos) << text;
  // The tables stand under the ranges, before the totals.
  EXPECT_LT(text.find("## Ranges"), text.find(program0));
}

TEST(MarkdownReport, HostileSymbolNamesRenderAsText) {
  analysis_result result;
  memory_analysis& memory = result.memory;
  memory.names = std::make_shared<section_name_pool>();
  range_usage flash;
  flash.range = {0x0, 1024};
  flash.used_bytes = 64;
  flash.section_count = 1;
  flash.attributed_bytes = 48;
  memory.program_usage.push_back(flash);
  range_usage ram;
  ram.range = {0x1000, 256};
  memory.memory_usage.push_back(ram);
  memory.fates.push_back(
      {section_name(".text|<i>", *memory.names), 0x0, 64, 0, 3, section_fate::counted_program});
  memory.fates[0].range_index = 0;
  memory.image.given = true;
  symbol_record symbol;
  symbol.name = "_Z3fooPc";
  symbol.display = "foo<int*>(char*, a|b)</script>";
  symbol.kind = symbol_kind::function;
  symbol.size = 48;
  symbol.bytes = 48;
  memory.symbols.push_back(symbol);
  std::ostringstream out;
  write_markdown_report(out, result, report_context{});
  EXPECT_NE(out.str().find("| foo&lt;int&#42;&gt;(char&#42;, a&#124;b)&lt;/script&gt; | function "
                           "| .text&#124;&lt;i&gt; | 48 | 75.00 |\n\nprogram0: 1 symbol, 48 "
                           "bytes attributed, 16 bytes unattributed.\n"),
            std::string::npos)
      << out.str();
  // A range without symbols says so, and its closing line still stands.
  EXPECT_NE(out.str().find("### Largest symbols of memory0\n\nNo symbol.\n\nmemory0: 0 symbols, 0 "
                           "bytes attributed, 0 bytes unattributed.\n\n## Totals\n"),
            std::string::npos)
      << out.str();
}

}  // namespace
