// Names from a map or a definition file reach a merge-request comment
// through the Markdown report: every one must render as the text it is,
// never as markup, a code span or a second table cell.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "formats/format_text.h"
#include "formats/report_formats.h"

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
      {"a backslash before a bar cannot free it", "a\\|b", "a\\&#124;b"},
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

}  // namespace
