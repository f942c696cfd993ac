#include "formats/html_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "formats/format_text.h"

namespace {

// ---- HTML text ---------------------------------------------------------------

struct html_case {
  const char* input;
  const char* expected;
};

class HtmlText : public ::testing::TestWithParam<html_case> {};

TEST_P(HtmlText, EscapesMarkupAndKeepsUtf8Valid) {
  EXPECT_EQ(html_text(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HtmlText,
    ::testing::Values(
        html_case{".text", ".text"}, html_case{"</script>", "&lt;/script&gt;"},
        html_case{"a&b", "a&amp;b"}, html_case{"\"x\" 'y'", "&quot;x&quot; &#39;y&#39;"},
        html_case{"&amp;", "&amp;amp;"}, html_case{"caf\xe9", "caf\xc3\xa9"},  // Latin-1 byte
        html_case{"\x80<", "\xc2\x80&lt;"},         // stray continuation byte
        html_case{"\xe2\x82\xac", "\xe2\x82\xac"},  // valid euro sign stays
        html_case{"a\tb\nc", "a\tb\nc"}, html_case{"bell\x07", "bell\xe2\x90\x87"},  // U+2407
        html_case{"del\x7f", "del\xe2\x90\xa1"}));                                   // U+2421

TEST(HtmlText, AnEmbeddedNulShowsAsItsPicture) {
  EXPECT_EQ(html_text(std::string("n\0l", 3)), "n\xe2\x90\x80l");
}

// ---- the page ----------------------------------------------------------------

/// Two program ranges (a quarter used, one overfull) and two memory ranges
/// (bits rounded up; size 0), sections with hostile names, a SEARCH entry
/// and a finding with markup in their texts.
struct hostile_analysis {
  analysis_result result;
  report_context context;

  hostile_analysis() {
    memory_analysis& memory = result.memory;
    memory.names = std::make_shared<section_name_pool>();
    section_name_pool& names = *memory.names;

    range_usage flash;
    flash.range = {0x0, 1000};
    flash.used_bytes = 250;
    flash.section_count = 2;
    flash.label = "Fl<a>sh & \"boot\" 'blk' \xe4";
    range_usage boot;
    boot.range = {0x1000, 100};
    boot.used_bytes = 150;
    boot.section_count = 1;
    range_usage ram;
    ram.range = {0x02BF0000, 512};
    ram.used_bytes = 64;
    ram.used_bits = 12;  // 1.5 bytes, rounded to 2: 66 of 512
    ram.section_count = 2;
    range_usage none;
    none.range = {0x02C00000, 0};
    memory.program_usage = {flash, boot};
    memory.memory_usage = {ram, none};
    memory.program_total = 1100;
    memory.program_used = 400;
    memory.memory_total = 512;
    memory.memory_used_bytes = 64;
    memory.memory_used_bits = 12;

    search_breakdown::entry entry;
    entry.text = "</script><b>text";
    entry.bytes = 200;
    memory.breakdown.entries.push_back(entry);

    const auto add = [&](const char* name, std::uint32_t start, std::uint32_t size,
                         section_fate fate, std::int32_t range, std::int32_t group) {
      section_fate_record record{section_name(name, names), start, size, 0, 7, fate};
      record.range_index = range;
      record.group = group;
      memory.fates.push_back(record);
    };
    add("</script><script>alert(1)</script>", 0x0, 200, section_fate::counted_program, 0, 0);
    add("a&b<c>\"d\"'e'", 0xC8, 50, section_fate::counted_program, 0, -1);
    add("caf\xe9", 0x1000, 150, section_fate::counted_program, 1, -1);
    add("<!--x", 0x02BF0000, 64, section_fate::counted_memory, 0, -1);
    add(".bits\x80", 0x02BF0040, 12, section_fate::counted_memory, 0, -1);
    memory.fates[4].size_unit = 1;
    add(".debug<i>", 0x5000, 8, section_fate::debug_name, -1, -1);
    memory.by_fate[static_cast<std::size_t>(section_fate::debug_name)] = {1, 8};

    context.tool_version = "2.9.0";
    context.keyword = "Tev2";
    context.memory_definition = {"mem<1>.def", 10, std::string(64, 'a')};
    context.map = {"build/\"odd\"&'map'.map", 20, std::string(64, 'b')};
    context.diagnostics.push_back(
        {"VL003", "warning", "mem<1>.def", 2, 9, "label holds </script> & \"quotes\""});
  }

  std::string page(const html_page_options& options = {}) const {
    std::ostringstream out;
    write_html_report(out, result, context, options);
    return out.str();
  }
};

std::size_t count_of(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos;
       at = text.find(piece, at + piece.size())) {
    ++count;
  }
  return count;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

/// The text of the range's card: from its id to the next card or the end of
/// its list.
std::string range_card(const std::string& page, const std::string& id) {
  const std::size_t begin = page.find("id=\"range-" + id + "\"");
  if (begin == std::string::npos) {
    return {};
  }
  const std::size_t end =
      std::min(page.find(" id=\"range-", begin + 1), page.find("<p class=\"totals\"", begin));
  return page.substr(begin, end - begin);
}

/// The content of the inlined data block.
std::string data_block(const std::string& page) {
  const std::string open = "<script type=\"application/json\" id=\"vemora-report\">";
  const std::size_t begin = page.find(open);
  if (begin == std::string::npos) {
    return {};
  }
  const std::size_t content = begin + open.size();
  return page.substr(content, page.find("</script>", content) - content);
}

TEST(HtmlReport, NoNameEndsAScriptBlockOrOpensAnElement) {
  const std::string page = hostile_analysis().page();
  // The data block and the script, nothing else.
  EXPECT_EQ(count_of(lower(page), "<script"), 2u);
  EXPECT_EQ(count_of(lower(page), "</script"), 2u);
  EXPECT_EQ(count_of(page, "<!--"), 0u);
  EXPECT_EQ(count_of(page, "<b>"), 0u);
  EXPECT_EQ(count_of(page, "<a>"), 0u);
  EXPECT_NE(page.find("&lt;/script&gt;&lt;b&gt;text"), std::string::npos);  // the SEARCH text
  EXPECT_NE(page.find("Fl&lt;a&gt;sh &amp; &quot;boot&quot; &#39;blk&#39; \xc3\xa4"),
            std::string::npos);  // the label, its Latin-1 byte made UTF-8
  EXPECT_NE(page.find("build/&quot;odd&quot;&amp;&#39;map&#39;.map"), std::string::npos);
  EXPECT_NE(page.find("label holds &lt;/script&gt; &amp; &quot;quotes&quot;"), std::string::npos);
  EXPECT_NE(page.find("mem&lt;1&gt;.def:2:9"), std::string::npos);
}

TEST(HtmlReport, IsValidUtf8Throughout) {
  const std::string page = hostile_analysis().page();
  for (std::size_t at = 0; at < page.size();) {
    const std::size_t length = utf8_sequence_length(page, at);
    ASSERT_GT(length, 0u) << "invalid UTF-8 at byte " << at;
    at += length;
  }
}

TEST(HtmlReport, TheInlinedDataIsTheReportWithNoAngleBracket) {
  const hostile_analysis hostile;
  const std::string block = data_block(hostile.page());
  ASSERT_FALSE(block.empty());
  EXPECT_EQ(block.find('<'), std::string::npos);
  EXPECT_NE(block.find("\\u003c/script>\\u003cscript>alert(1)\\u003c/script>"), std::string::npos);
  const auto document = nlohmann::json::parse(block);
  EXPECT_EQ(document["schema"], "vemora-report");
  ASSERT_EQ(document["sections"].size(), 6u);
  EXPECT_EQ(document["sections"][0]["name"], "</script><script>alert(1)</script>");
  EXPECT_EQ(document["sections"][1]["name"], "a&b<c>\"d\"'e'");
  EXPECT_EQ(document["sections"][2]["name"], "caf\xc3\xa9");
  EXPECT_EQ(document["sections"][3]["name"], "<!--x");
  EXPECT_EQ(document["sections"][4]["name"], ".bits\xc2\x80");
  EXPECT_EQ(document["groups"][0]["search"], "</script><b>text");
  EXPECT_EQ(document["ranges"][0]["label"], "Fl<a>sh & \"boot\" 'blk' \xc3\xa4");
}

TEST(HtmlReport, SymbolNamesStayDataAndTheSymbolTableComesWithAnImage) {
  hostile_analysis hostile;
  EXPECT_EQ(hostile.page().find("id=\"symbol-table\""), std::string::npos);
  memory_analysis& memory = hostile.result.memory;
  memory.image.given = true;
  memory.fates[0].attributed = 150;
  memory.fates[0].symbol_count = 1;
  memory.program_usage[0].attributed_bytes = 150;
  memory.program_attributed = 150;
  symbol_record symbol;
  symbol.name = "</script><b>x</b><!--";
  symbol.display = "f<int>(a<b)";
  symbol.key = symbol.name;
  symbol.aliases = {"</SCRIPT >"};
  symbol.size = 150;
  symbol.bytes = 150;
  memory.symbols.push_back(symbol);
  hostile.context.image = report_input{"fw</script>.elf", 30, std::string(64, 'c')};
  const std::string page = hostile.page();
  EXPECT_EQ(count_of(lower(page), "<script"), 2u);
  EXPECT_EQ(count_of(lower(page), "</script"), 2u);
  EXPECT_EQ(count_of(page, "<!--"), 0u);
  EXPECT_EQ(count_of(page, "<b>"), 0u);
  EXPECT_NE(page.find("<td>ELF image</td><td class=\"mono\">fw&lt;/script&gt;.elf</td>"),
            std::string::npos);
  EXPECT_NE(page.find("id=\"symbol-table\""), std::string::npos);
  EXPECT_NE(page.find("1 symbol of the image in the counted sections. Program area: 150 bytes "
                      "attributed, 250 bytes unattributed; memory area: 0 bytes attributed, 64 "
                      "bytes unattributed."),
            std::string::npos);
  const std::string block = data_block(page);
  EXPECT_EQ(block.find('<'), std::string::npos);
  const auto document = nlohmann::json::parse(block);
  ASSERT_EQ(document["symbols"].size(), 1u);
  EXPECT_EQ(document["symbols"][0]["name"], "</script><b>x</b><!--");
  EXPECT_EQ(document["symbols"][0]["display"], "f<int>(a<b)");
  EXPECT_EQ(document["symbols"][0]["aliases"][0], "</SCRIPT >");
  EXPECT_EQ(document["sections"][0]["unattributed"], 50);
}

struct bar_case {
  const char* id;
  const char* used_pct;
  const char* width;
  const char* figures;
  bool overfull;
};

class HtmlBars : public ::testing::TestWithParam<bar_case> {};

TEST_P(HtmlBars, EachRangeCardShowsItsUsedPercentAndFill) {
  const bar_case& expected = GetParam();
  const std::string card = range_card(hostile_analysis().page(), expected.id);
  ASSERT_FALSE(card.empty()) << expected.id;
  EXPECT_NE(card.find(std::string("<span class=\"used-pct\">") + expected.used_pct + "</span>"),
            std::string::npos)
      << card;
  EXPECT_NE(card.find(std::string("style=\"width:") + expected.width + "%\""), std::string::npos)
      << card;
  EXPECT_NE(card.find(expected.figures), std::string::npos) << card;
  EXPECT_EQ(card.find("overfull by") != std::string::npos, expected.overfull) << card;
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, HtmlBars,
    ::testing::Values(bar_case{"program0", "25.00%", "25.0000", "250 / 1000 bytes used, 2 sections",
                               false},
                      bar_case{"program1", "150.00%", "100.0000", "overfull by 50 bytes", true},
                      bar_case{"memory0", "12.89%", "12.8906", "66 / 512 bytes used", false},
                      bar_case{"memory1", "n/a", "0.0000", "0 / 0 bytes used, 0 sections", false}),
    [](const ::testing::TestParamInfo<bar_case>& param_info) {
      return std::string(param_info.param.id);
    });

TEST(HtmlReport, AnOverfullRangeCarriesItsClass) {
  const std::string page = hostile_analysis().page();
  EXPECT_NE(page.find("<div class=\"range overfull\" id=\"range-program1\">"), std::string::npos);
  EXPECT_NE(page.find("<div class=\"range\" id=\"range-program0\">"), std::string::npos);
}

TEST(HtmlReport, RangeSpansAreInclusiveHexadecimalEnds) {
  const std::string page = hostile_analysis().page();
  EXPECT_NE(page.find("0x00000000&ndash;0x000003E7"), std::string::npos);  // 1000 bytes
  EXPECT_NE(page.find("0x02BF0000&ndash;0x02BF01FF"), std::string::npos);  // 512 bytes
  EXPECT_NE(page.find("0x02C00000, empty"), std::string::npos);
}

TEST(HtmlReport, ARangeReachingPastTheTopEndsBeyondThirtyTwoBits) {
  analysis_result result;
  range_usage top;
  top.range = {0xFFFFFF00u, 0x200};
  result.memory.program_usage.push_back(top);
  std::ostringstream out;
  write_html_report(out, result, report_context{});
  EXPECT_NE(out.str().find("0xFFFFFF00&ndash;0x1000000FF"), std::string::npos);
}

TEST(HtmlReport, NamesNoNetworkSource) {
  const std::string page = lower(hostile_analysis().page());
  EXPECT_EQ(page.find("http:"), std::string::npos);
  EXPECT_EQ(page.find("https:"), std::string::npos);
  EXPECT_EQ(page.find("src="), std::string::npos);
  EXPECT_EQ(page.find("href="), std::string::npos);
  EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
}

struct status_case {
  const char* status;
  const char* expected;
};

class HtmlStatus : public ::testing::TestWithParam<status_case> {};

TEST_P(HtmlStatus, ShowsTheStatusEscapedWithAFixedClass) {
  html_page_options options;
  options.status = GetParam().status;
  EXPECT_NE(hostile_analysis().page(options).find(GetParam().expected), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, HtmlStatus,
    ::testing::Values(
        status_case{"report", "<span class=\"status\" id=\"status\">report</span>"},
        status_case{"fail: 2 budgets", "<span class=\"status status-fail\" id=\"status\">fail: 2"},
        status_case{"pass", "<span class=\"status status-pass\" id=\"status\">pass</span>"},
        status_case{"warn", "<span class=\"status status-warn\" id=\"status\">warn</span>"},
        status_case{"<i>\" x", "<span class=\"status\" id=\"status\">&lt;i&gt;&quot; x</span>"}));

TEST(HtmlReport, ABudgetsRulesAreOneEscapedRowEachWithTheVerdictsClass) {
  html_page_options options;
  options.status = "warn";
  options.rules = {{"ranges.<b>", "max_used_pct", "90", "88.5", "warn", "within 5 & \"near\""},
                   {"groups.text ", "max_growth_bytes", "2K", "", "skipped", "no baseline"},
                   {"totals.program", "max_used_bytes", "60K", "70000", "fail", "</script>"}};
  const std::string page = hostile_analysis().page(options);
  EXPECT_NE(page.find("<tr><td class=\"mono\">ranges.&lt;b&gt;</td><td "
                      "class=\"mono\">max_used_pct</td><td class=\"num\">90</td><td "
                      "class=\"num\">88.5</td><td><span class=\"status status-warn\">warn</span>"
                      "</td><td>within 5 &amp; &quot;near&quot;</td></tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<td class=\"num\"></td><td><span class=\"status\">skipped</span></td>"),
            std::string::npos);
  EXPECT_NE(page.find("<span class=\"status status-fail\">fail</span></td><td>&lt;/script&gt;"),
            std::string::npos);
  const std::size_t table = page.find("<table class=\"rules\">");
  ASSERT_NE(table, std::string::npos);
  const std::size_t end = page.find("</table>", table);
  EXPECT_EQ(count_of(page.substr(table, end - table), "<tr>"), 4u);  // the head and three rules
}

TEST(HtmlReport, APlainReportHasNoBudgetTable) {
  EXPECT_EQ(hostile_analysis().page().find("id=\"budget\""), std::string::npos);
}

TEST(HtmlReport, DroppedSectionsAndFindingsAreTables) {
  const std::string page = hostile_analysis().page();
  EXPECT_NE(page.find("<tr><td class=\"mono\">debug_name</td><td class=\"num\">1</td><td "
                      "class=\"num\">8</td></tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<td class=\"mono\">VL003</td><td>warning</td>"), std::string::npos);
}

TEST(HtmlReport, AFailedRunListsItsFailureAsAnError) {
  hostile_analysis hostile;
  hostile.result.memory.failure.step = analysis_step::memory_report;
  hostile.result.memory.failure.messages = {"Vemora:\tInvalid <memory> map file."};
  const std::string page = hostile.page();
  EXPECT_NE(page.find("<td class=\"severity-error\">error</td><td class=\"mono\"></td><td>"
                      "Vemora:\tInvalid &lt;memory&gt; map file.</td>"),
            std::string::npos);
}

TEST(HtmlReport, TheChangeSinceTheBaselineSitsRightUnderTheRanges) {
  const std::string page = hostile_analysis().page();
  const std::size_t ranges = page.find("<section id=\"ranges\">");
  ASSERT_NE(ranges, std::string::npos);
  const std::size_t ranges_end = page.find("</section>\n", ranges);
  EXPECT_EQ(page.find("<section", ranges + 1), ranges_end + 11);
  EXPECT_EQ(page.compare(ranges_end + 11, 27, "<section id=\"diff\" hidden>\n"), 0)
      << page.substr(ranges_end, 200);
  EXPECT_LT(page.find("<section id=\"diff\""), page.find("<section id=\"map\">"));
}

TEST(HtmlReport, OneSectionOrByteIsSingular) {
  hostile_analysis hostile;
  hostile.result.memory.program_usage[1].used_bytes = 101;
  const std::string card = range_card(hostile.page(), "program1");
  EXPECT_NE(card.find("101 / 100 bytes used, 1 section</span>"), std::string::npos) << card;
  EXPECT_NE(card.find("overfull by 1 byte</div>"), std::string::npos) << card;
}

TEST(HtmlReport, AWriteFailureShowsInTheStream) {
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  const hostile_analysis hostile;
  write_html_report(out, hostile.result, hostile.context);
  EXPECT_TRUE(out.fail());
}

}  // namespace
