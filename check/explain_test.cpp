// The faces made for people and scripts from one small analysis: the explain
// lines and their sum rule, the filters, the JSON and CSV forms of explain,
// the summary's layout and its fill bars.
#include "check/explain.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "check/summary.h"
#include "tests/test_support.h"

namespace {

const char k_definition[] =
    "PROGRAM 0x1000 0x1000   // code\n"
    "MEMORY  0x4000 0x400\n"
    "SEARCH text\n";

// .text and .data are counted; the others are dropped for three reasons.
const char k_map[] =
    "Sections:\n"                                             // 1
    "Idx Name          Size      VMA       LMA\n"             // 2
    "  0 .text         00000100  00001000  00001000  2**2\n"  // 3
    "                  CONTENTS, ALLOC, LOAD, CODE\n"         // 4
    "  1 .data         00000100  00004000  00004000  2**2\n"  // 5
    "                  CONTENTS, ALLOC, DATA\n"               // 6
    "  2 .rodata       00000030  00001300  00001300  2**0\n"  // 7
    "                  CONTENTS, READONLY, DEBUGGING\n"       // 8
    "  3 .bss          00000000  00001600  00001600  2**0\n"  // 9
    "                  ALLOC\n"                               // 10
    "  4 .sdata        00000010  00009000  00009000  2**0\n"  // 11
    "                  ALLOC\n";                              // 12

class small_example : public ::testing::Test {
 protected:
  void SetUp() override {
    analysis_request request;
    request.type_keyword = "Tev2";
    request.definition_path = m_dir.write("small.def", k_definition);
    request.map_path = m_dir.write("small.map", k_map);
    request.collect_fates = true;
    m_result = analyse(request);
    ASSERT_FALSE(m_result.failure().failed());
  }

  std::string explained(const explain_filter& filter, explain_format format) const {
    std::ostringstream out;
    write_explanation(out, m_result.memory, filter, format);
    return out.str();
  }

  test_support::scoped_temp_dir m_dir;
  analysis_result m_result;
};

const char k_line_text[] =
    ".text  start 0x00001000  size 256 bytes  line 3  counted in program0, SEARCH 0 (text)\n";
const char k_line_data[] = ".data  start 0x00004000  size 256 bytes  line 5  counted in memory0\n";
const char k_line_rodata[] =
    ".rodata  start 0x00001300  size 48 bytes  line 7  dropped: debugging_attribute\n";
const char k_line_bss[] = ".bss  start 0x00001600  size 0 bytes  line 9  dropped: zero_size\n";
const char k_line_sdata[] =
    ".sdata  start 0x00009000  size 16 bytes  line 11  dropped: outside_ranges\n";
// 256 + 256 counted, 48 + 0 + 16 dropped.
const char k_sum_rule[] =
    "recognised 5 sections, 576 bytes = counted 2 sections, 512 bytes + dropped 3 sections, "
    "64 bytes";

TEST_F(small_example, ExplainsEverySectionInMapOrderAndTheSumRule) {
  EXPECT_EQ(explained({}, explain_format::text), std::string(k_line_text) + k_line_data +
                                                     k_line_rodata + k_line_bss + k_line_sdata +
                                                     k_sum_rule + "\n");
}

TEST_F(small_example, FiltersPickTheLinesAndTheSumsStayThoseOfTheMap) {
  struct filter_case {
    const char* what;
    explain_filter filter;
    std::string lines;
    const char* shown;
  };
  const std::vector<filter_case> cases = {
      {"counted", {true, {}, {}, {}}, std::string(k_line_text) + k_line_data, "2 of 5 sections"},
      {"dropped",
       {false, {}, {}, {}},
       std::string(k_line_rodata) + k_line_bss + k_line_sdata,
       "3 of 5 sections"},
      {"one reason", {{}, section_fate::zero_size, {}, {}}, k_line_bss, "1 of 5 sections"},
      {"name text",
       {{}, {}, std::string("data"), {}},
       std::string(k_line_data) + k_line_rodata + k_line_sdata,
       "3 of 5 sections"},
      {"name text and dropped",
       {false, {}, std::string("data"), {}},
       std::string(k_line_rodata) + k_line_sdata,
       "2 of 5 sections"},
      {"range", {{}, {}, {}, std::string("memory0")}, k_line_data, "1 of 5 sections"},
      {"nothing matches", {true, section_fate::zero_size, {}, {}}, "", "0 of 5 sections"},
  };
  for (const filter_case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(explained(c.filter, explain_format::text),
              c.lines + k_sum_rule + "; shown: " + c.shown + "\n");
  }
}

TEST_F(small_example, CsvHasOneRowPerSectionAndNoSumLine) {
  explain_filter dropped;
  dropped.counted = false;
  EXPECT_EQ(explained(dropped, explain_format::csv),
            "name,start,size,unit,line,fate,range,group,reason\r\n"
            ".rodata,0x00001300,48,bytes,7,dropped,,,debugging_attribute\r\n"
            ".bss,0x00001600,0,bytes,9,dropped,,,zero_size\r\n"
            ".sdata,0x00009000,16,bytes,11,dropped,,,outside_ranges\r\n");
  explain_filter counted;
  counted.counted = true;
  EXPECT_EQ(explained(counted, explain_format::csv),
            "name,start,size,unit,line,fate,range,group,reason\r\n"
            ".text,0x00001000,256,bytes,3,counted,program0,0,\r\n"
            ".data,0x00004000,256,bytes,5,counted,memory0,,\r\n");
}

TEST_F(small_example, JsonParsesAndCarriesTheSums) {
  explain_filter filter;
  filter.range = "program0";
  const nlohmann::json json = nlohmann::json::parse(explained(filter, explain_format::json));
  ASSERT_EQ(json["sections"].size(), 1U);
  const nlohmann::json& text = json["sections"][0];
  EXPECT_EQ(text["name"], ".text");
  EXPECT_EQ(text["start"], 4096);
  EXPECT_EQ(text["size"], 256);
  EXPECT_EQ(text["line"], 3);
  EXPECT_EQ(text["fate"], "counted");
  EXPECT_EQ(text["range"], "program0");
  EXPECT_EQ(text["group"], 0);
  EXPECT_TRUE(text["reason"].is_null());
  EXPECT_EQ(json["shown"], 1);
  EXPECT_EQ(json["recognised"], nlohmann::json::parse(R"({"sections":5,"bytes":576})"));
  EXPECT_EQ(json["counted"], nlohmann::json::parse(R"({"sections":2,"bytes":512})"));
  EXPECT_EQ(json["dropped"], nlohmann::json::parse(R"({"sections":3,"bytes":64})"));

  const nlohmann::json none = nlohmann::json::parse(
      explained({true, section_fate::zero_size, {}, {}}, explain_format::json));
  EXPECT_TRUE(none["sections"].is_array());
  EXPECT_TRUE(none["sections"].empty());
}

TEST_F(small_example, SummaryShowsRangesTotalsAndDroppedReasons) {
  report_context context;
  context.keyword = "Tev2";
  context.memory_definition.path = "small.def";
  context.map.path = "small.map";
  std::ostringstream out;
  write_summary(out, m_result, context);
  // 256 of 4096 is 6.25 % (one cell of twenty), 256 of 1024 is 25 % (five cells).
  EXPECT_EQ(out.str(),
            "Tev2 listing small.map, memory definition small.def\n"
            "\n"
            "  range      start             size        used        free  fill"
            "                       used\n"
            "  program0   0x00001000        4096         256        3840  "
            "[#...................]    6.25%  code\n"
            "  memory0    0x00004000        1024         256         768  "
            "[#####...............]   25.00%\n"
            "\n"
            "Program area: 256 of 4096 bytes used (6.25%), 1 section\n"
            "Memory area:  256 bytes of 1024 bytes used (25.00%), 1 section\n"
            "\n"
            "Dropped: 3 sections, 64 bytes\n"
            "  reason                sections        bytes\n"
            "  debugging_attribute          1           48\n"
            "  zero_size                    1            0\n"
            "  outside_ranges               1           16\n"
            "\n"
            "Findings: 0 errors, 0 warnings, 0 notes\n");
}

TEST_F(small_example, SummaryEndsWithTheFirstErrorsThenTheFirstWarnings) {
  report_context context;
  context.keyword = "Tev2";
  context.memory_definition.path = "small.def";
  context.map.path = "small.map";
  context.diagnostics = {
      {"VL003", "warning", "small.def", 2, 9, "first warning"},
      {"VL106", "error", "firmware.lst", 12, 1, "first error"},
      {"VL004", "note", "small.def", 3, 1, "a note is counted, not listed"},
      {"VL005", "warning", "small.def", 0, 0, "about the whole file"},
      {"VL101", "warning", "small.map", 7, 3, "third warning"},
      {"VL102", "error", "small.map", 9, 1, "second error"},
      {"VL103", "warning", "small.map", 11, 1, "fourth warning, left out"},
      {"VL104", "warning", "small.map", 13, 1, "fifth warning, left out"},
  };
  std::ostringstream out;
  write_summary(out, m_result, context);
  const std::string text = out.str();
  const std::string tail =
      "  outside_ranges               1           16\n"
      "\n"
      "Findings: 2 errors, 5 warnings, 1 note\n"
      "  error   VL106 firmware.lst:12: first error\n"
      "  error   VL102 small.map:9: second error\n"
      "  warning VL003 small.def:2: first warning\n"
      "  warning VL005 small.def: about the whole file\n"
      "  warning VL101 small.map:7: third warning\n"
      "  ... and 2 more (vemora-check lint)\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST_F(small_example, SummaryCountsEachSeverityInItsNumber) {
  report_context context;
  context.diagnostics = {
      {"VL102", "error", "small.map", 9, 1, "only error"},
      {"VL003", "warning", "small.def", 2, 9, "a\x1b[2J\nb"},
      {"VL004", "note", "small.def", 3, 1, "one note"},
      {"VL004", "note", "small.def", 4, 1, "two notes"},
  };
  std::ostringstream out;
  write_summary(out, m_result, context);
  const std::string tail =
      "\n"
      "Findings: 1 error, 1 warning, 2 notes\n"
      "  error   VL102 small.map:9: only error\n"
      "  warning VL003 small.def:2: a [2J b\n";
  const std::string text = out.str();
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(FillBar, CellsFollowTheUsedPercentage) {
  struct bar_case {
    std::optional<double> pct;
    bool used;
    const char* bar;
  };
  const bar_case cases[] = {
      {0.0, false, "...................."},
      {2.4, true, "#..................."},  // rounds to no cell, but something is used
      {50.0, true, "##########.........."},
      {97.6, true, "####################"},
      {100.0, true, "####################"},
      {250.0, true, "####################"},  // overfull: never longer than the bar
      {std::nullopt, false, "...................."},
      {std::nullopt, true, "####################"},  // bytes in a range of size 0
  };
  for (const bar_case& c : cases) {
    EXPECT_EQ(fill_bar(c.pct, c.used, 20), c.bar);
  }
}

TEST(ReasonKeywords, EveryReasonAndNoFate) {
  EXPECT_EQ(reason_keywords(),
            (std::vector<std::string>{"no_attribute_line", "debug_name", "debugging_attribute",
                                      "excluded_name", "zero_size", "straddles_range",
                                      "outside_ranges", "name_not_accepted", "not_allocated"}));
  EXPECT_EQ(reason_of_keyword("outside_ranges"), section_fate::outside_ranges);
  EXPECT_FALSE(reason_of_keyword("program").has_value());
  EXPECT_FALSE(reason_of_keyword("memory").has_value());
}

}  // namespace
