#include "formats/report_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "formats/format_text.h"
#include "report/run_memory_report.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

std::string small_dir() { return test_support::source_dir() + "/formats/testdata/small"; }

analysis_result analyse_files(const std::string& keyword, const std::string& definition,
                              const std::string& map, const std::string& eeprom = {}) {
  analysis_request request;
  request.type_keyword = keyword;
  request.definition_path = definition;
  request.map_path = map;
  request.eeprom_path = eeprom;
  request.collect_fates = true;
  return analyse(request);
}

report_context small_context() {
  report_context context;
  context.tool_version = "2.9.0";
  context.keyword = "Tev2";
  context.memory_definition = {"memory.def", 111, std::string(64, 'a')};
  context.map = {"build/firmware.map", 2222,
                 "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"};
  context.diagnostics.push_back({"VL003", "warning", "memory.def", 2, 9, "a \"quoted\" word"});
  return context;
}

std::string json_of(const analysis_result& result, const report_context& context = {}) {
  std::ostringstream out;
  write_json_report(out, result, context);
  return out.str();
}

// ---- one small example, every format ---------------------------------------

struct golden_format {
  const char* name;
  const char* expected_file;
  void (*write)(std::ostream&, const analysis_result&, const report_context&);
};

class SmallExample : public ::testing::TestWithParam<golden_format> {};

TEST_P(SmallExample, MatchesTheHandWrittenFile) {
  const analysis_result result =
      analyse_files("Tev2", small_dir() + "/memory.def", small_dir() + "/firmware.map");
  ASSERT_FALSE(result.failure().failed());
  std::ostringstream out;
  GetParam().write(out, result, small_context());
  EXPECT_EQ(out.str(), test_support::read_file(small_dir() + "/" + GetParam().expected_file));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SmallExample,
    ::testing::Values(golden_format{"json", "expected.json",
                                    [](std::ostream& out, const analysis_result& result,
                                       const report_context& context) {
                                      write_json_report(out, result, context);
                                    }},
                      golden_format{"sections_csv", "expected_sections.csv",
                                    [](std::ostream& out, const analysis_result& result,
                                       const report_context&) { write_sections_csv(out, result); }},
                      golden_format{"ranges_csv", "expected_ranges.csv",
                                    [](std::ostream& out, const analysis_result& result,
                                       const report_context&) { write_ranges_csv(out, result); }},
                      golden_format{"markdown", "expected.md",
                                    [](std::ostream& out, const analysis_result& result,
                                       const report_context& context) {
                                      write_markdown_report(out, result, context);
                                    }}),
    [](const ::testing::TestParamInfo<golden_format>& param_info) {
      return param_info.param.name;
    });

TEST(JsonReport, TopLevelKeysComeInTheirFixedOrderAlsoForAFailedRun) {
  const std::vector<std::string> expected = {
      "schema", "schema_version",  "tool",      "keyword",  "inputs",  "ranges", "totals",
      "groups", "accounted_bytes", "ambiguous", "sections", "symbols", "image",  "dropped",
      "eeprom", "diagnostics"};
  const analysis_result good =
      analyse_files("Tev2", small_dir() + "/memory.def", small_dir() + "/firmware.map");
  const analysis_result failed =
      analyse_files("Tev2", small_dir() + "/memory.def", small_dir() + "/no such.map");
  for (const analysis_result* result : {&good, &failed}) {
    const auto document = nlohmann::ordered_json::parse(json_of(*result));
    std::vector<std::string> keys;
    for (const auto& item : document.items()) {
      keys.push_back(item.key());
    }
    EXPECT_EQ(keys, expected);
  }
}

TEST(JsonReport, AFailedRunListsItsFailureAsAnError) {
  const analysis_result failed =
      analyse_files("Tev2", small_dir() + "/memory.def", small_dir() + "/no such.map");
  const auto document = nlohmann::json::parse(json_of(failed, small_context()));
  ASSERT_EQ(document["diagnostics"].size(), 2u);
  EXPECT_EQ(document["diagnostics"][0]["code"], "VL003");
  EXPECT_EQ(document["diagnostics"][1]["severity"], "error");
  EXPECT_EQ(document["diagnostics"][1]["message"], "Vemora:\tInvalid memory map file.");
  EXPECT_TRUE(document["ranges"].empty());
  EXPECT_TRUE(document["totals"]["program"]["used_pct"].is_null());
}

// ---- symbols of a linked image -----------------------------------------------

/// A run of the cortex-m example that reads its image: as the map (keyword Elf) or beside
/// the listing of the same build (--elf).
struct image_run {
  const char* what;
  const char* keyword;
  const char* map;
  const char* image;    ///< empty: the map is the image
  std::size_t counted;  ///< the sections a range counts
};

class ImageRunJson : public ::testing::TestWithParam<image_run> {
 protected:
  static std::string folder() { return test_support::source_dir() + "/examples/cortex-m/"; }

  nlohmann::json report() const {
    analysis_request request;
    request.type_keyword = GetParam().keyword;
    request.image_keywords = true;
    request.definition_path = folder() + "memory.def";
    request.map_path = folder() + GetParam().map;
    if (*GetParam().image != '\0') {
      request.image_path = folder() + GetParam().image;
    }
    request.collect_fates = true;
    const analysis_result result = analyse(request);
    EXPECT_FALSE(result.failure().failed());
    report_context context;
    context.keyword = GetParam().keyword;
    if (*GetParam().image != '\0') {
      context.image = report_input{GetParam().image, 66000, std::string(64, 'e')};
    }
    return nlohmann::json::parse(json_of(result, context));
  }

  /// The one symbol of that name; null when there is none or more than one.
  static nlohmann::json symbol(const nlohmann::json& document, const std::string& name) {
    nlohmann::json found;
    int count = 0;
    for (const nlohmann::json& item : document["symbols"]) {
      if (item["name"] == name) {
        found = item;
        ++count;
      }
    }
    return count == 1 ? found : nlohmann::json();
  }

  /// The section that starts at this address.
  static nlohmann::json section_at(const nlohmann::json& document, std::uint64_t start) {
    for (const nlohmann::json& item : document["sections"]) {
      if (item["start"] == start && item["fate"] == "counted") {
        return item;
      }
    }
    return nlohmann::json();
  }
};

// Figures from arm-none-eabi-readelf -sW firmware.elf: main is FUNC GLOBAL 0x080002c5 (Thumb
// bit set) size 500; printf and iprintf share 0x08001d05 size 52, printf first in the table;
// s_config is OBJECT LOCAL 0x20000004 size 20 after the FILE symbol main.c.
TEST_P(ImageRunJson, SymbolsAreTheOnesOfTheSymbolTable) {
  const nlohmann::json document = report();
  ASSERT_FALSE(document["symbols"].empty());
  const nlohmann::json main_function = symbol(document, "main");
  ASSERT_TRUE(main_function.is_object());
  EXPECT_EQ(main_function["address"], 0x080002c4u);
  EXPECT_EQ(main_function["size"], 500u);
  EXPECT_EQ(main_function["bytes"], 500u);
  EXPECT_EQ(main_function["kind"], "function");
  EXPECT_EQ(main_function["binding"], "global");
  EXPECT_TRUE(main_function["file"].is_null());
  EXPECT_EQ(main_function["display"], "main");
  EXPECT_EQ(main_function["aliases"], nlohmann::json::array());
  const nlohmann::json& text = document["sections"][main_function["section"].get<std::size_t>()];
  EXPECT_EQ(text["start"], 0x080000f0u);
  EXPECT_EQ(text["size"], 0x5728u);

  const nlohmann::json print = symbol(document, "printf");
  ASSERT_TRUE(print.is_object());
  EXPECT_EQ(print["address"], 0x08001d04u);
  EXPECT_EQ(print["size"], 52u);
  EXPECT_EQ(print["aliases"], nlohmann::json::array({"iprintf"}));
  EXPECT_TRUE(symbol(document, "iprintf").is_null());

  const nlohmann::json config = symbol(document, "s_config");
  ASSERT_TRUE(config.is_object());
  EXPECT_EQ(config["kind"], "object");
  EXPECT_EQ(config["binding"], "local");
  EXPECT_EQ(config["file"], "main.c");
  EXPECT_EQ(config["key"], "main.c:s_config");
  EXPECT_EQ(config["address"], 0x20000004u);
}

// .data (0x1e8 bytes) holds s_heap_top 4, s_config 20, _impure_ptr 4, impure_data 96 and
// __global_locale 364: 488 bytes, all of it; .isr_vector (0xf0) holds g_vector_table of 236.
TEST_P(ImageRunJson, SectionsRangesGroupsAndTotalsSplitTheirBytes) {
  const nlohmann::json document = report();
  const nlohmann::json data = section_at(document, 0x20000000u);
  ASSERT_TRUE(data.is_object());
  EXPECT_EQ(data["attributed"], 488u);
  EXPECT_EQ(data["unattributed"], 0u);
  const nlohmann::json vectors = section_at(document, 0x08000000u);
  ASSERT_TRUE(vectors.is_object());
  EXPECT_EQ(vectors["attributed"], 236u);
  EXPECT_EQ(vectors["unattributed"], 4u);

  // Every symbol's bytes add up to its section's attributed bytes, those to the ranges', the
  // groups' and the totals'.
  std::vector<std::uint64_t> by_section(document["sections"].size(), 0);
  std::uint64_t previous_section = 0;
  for (const nlohmann::json& item : document["symbols"]) {
    const std::size_t section = item["section"].get<std::size_t>();
    ASSERT_LT(section, by_section.size());
    EXPECT_GE(section, previous_section) << "symbols by section";
    previous_section = section;
    EXPECT_EQ(document["sections"][section]["fate"], "counted");
    by_section[section] += item["bytes"].get<std::uint64_t>();
  }
  std::map<std::string, std::uint64_t> by_range;
  std::map<std::int64_t, std::uint64_t> by_group;
  for (std::size_t i = 0; i < by_section.size(); ++i) {
    const nlohmann::json& section = document["sections"][i];
    if (section["fate"] != "counted") {
      EXPECT_TRUE(section["attributed"].is_null()) << section["name"];
      EXPECT_TRUE(section["unattributed"].is_null()) << section["name"];
      continue;
    }
    EXPECT_EQ(section["attributed"], by_section[i]) << section["name"];
    EXPECT_EQ(
        section["attributed"].get<std::uint64_t>() + section["unattributed"].get<std::uint64_t>(),
        section["size"].get<std::uint64_t>())
        << section["name"];
    by_range[section["range"].get<std::string>()] += by_section[i];
    if (!section["group"].is_null()) {
      by_group[section["group"].get<std::int64_t>()] += by_section[i];
    }
  }
  ASSERT_EQ(document["ranges"].size(), 2u);
  for (const nlohmann::json& range : document["ranges"]) {
    EXPECT_EQ(range["attributed"], by_range[range["id"].get<std::string>()]) << range["id"];
    EXPECT_EQ(range["attributed"].get<std::uint64_t>() + range["unattributed"].get<std::uint64_t>(),
              range["used"].get<std::uint64_t>())
        << range["id"];
  }
  for (const nlohmann::json& group : document["groups"]) {
    EXPECT_EQ(group["attributed"], by_group[group["index"].get<std::int64_t>()]);
    EXPECT_EQ(group["attributed"].get<std::uint64_t>() + group["unattributed"].get<std::uint64_t>(),
              group["bytes"].get<std::uint64_t>());
  }
  const nlohmann::json& program = document["totals"]["program"];
  EXPECT_EQ(program["attributed"], by_range["program0"]);
  EXPECT_EQ(
      program["attributed"].get<std::uint64_t>() + program["unattributed"].get<std::uint64_t>(),
      program["used"].get<std::uint64_t>());
  const nlohmann::json& memory = document["totals"]["memory"];
  EXPECT_EQ(memory["attributed"], by_range["memory0"]);
  EXPECT_EQ(memory["attributed"].get<std::uint64_t>() + memory["unattributed"].get<std::uint64_t>(),
            memory["used_bytes"].get<std::uint64_t>());
}

TEST_P(ImageRunJson, TheImageAndItsInputAreNamed) {
  const nlohmann::json document = report();
  const bool as_map = *GetParam().image == '\0';
  const nlohmann::json& image = document["image"];
  ASSERT_TRUE(image.is_object());
  EXPECT_EQ(image["as_map"], as_map);
  // .isr_vector, .text, .rodata, .init_array, .data, .bss, .heap and .stack lie in the
  // ranges; the listing's reader drops "heap" by its name. Each counted one is in the image.
  std::size_t counted = 0;
  for (const nlohmann::json& section : document["sections"]) {
    counted += section["fate"] == "counted" ? 1 : 0;
  }
  EXPECT_EQ(counted, GetParam().counted);
  EXPECT_EQ(image["matched_sections"], GetParam().counted);
  EXPECT_EQ(image["unmatched_sections"], nlohmann::json::array());
  EXPECT_EQ(image["cut_symbols"], 0u);
  if (as_map) {
    EXPECT_TRUE(document["inputs"]["image"].is_null());
  } else {
    EXPECT_EQ(document["inputs"]["image"]["path"], GetParam().image);
    EXPECT_EQ(document["inputs"]["image"]["bytes"], 66000u);
  }
}

INSTANTIATE_TEST_SUITE_P(CortexM, ImageRunJson,
                         ::testing::Values(image_run{"elf", "Elf", "firmware.elf", "", 8},
                                           image_run{"listing", "Tev2_mem32_unlimited",
                                                     "firmware.lst", "firmware.elf", 7}),
                         [](const ::testing::TestParamInfo<image_run>& param_info) {
                           return param_info.param.what;
                         });

TEST(JsonReport, WithoutAnImageSymbolsAreEmptyAndAttributionNull) {
  const analysis_result result =
      analyse_files("Tev2", small_dir() + "/memory.def", small_dir() + "/firmware.map");
  const auto document = nlohmann::json::parse(json_of(result, small_context()));
  EXPECT_EQ(document["symbols"], nlohmann::json::array());
  EXPECT_TRUE(document["image"].is_null());
  EXPECT_TRUE(document["inputs"]["image"].is_null());
  for (const char* list : {"ranges", "groups", "sections"}) {
    for (const nlohmann::json& item : document[list]) {
      EXPECT_TRUE(item.at("attributed").is_null()) << list;
      EXPECT_TRUE(item.at("unattributed").is_null()) << list;
    }
  }
  for (const char* area : {"program", "memory"}) {
    EXPECT_TRUE(document["totals"][area].at("attributed").is_null()) << area;
  }
}

// ---- nulls for zero divisors ------------------------------------------------

analysis_result zero_divisor_result() {
  analysis_result result;
  memory_analysis& memory = result.memory;
  range_usage empty;
  empty.range = {0x100, 0};
  memory.program_usage.push_back(empty);
  memory.memory_usage.push_back(empty);
  search_breakdown::entry entry;
  entry.text = "text ";
  entry.all_terms = {"text"};
  memory.breakdown.entries.push_back(entry);
  result.has_eep = true;  // all four EEPROM values 0
  return result;
}

TEST(JsonReport, QuotientsWithADivisorOfZeroAreNull) {
  const auto document = nlohmann::json::parse(json_of(zero_divisor_result()));
  const std::vector<nlohmann::json::json_pointer> nulls = {
      "/ranges/0/used_pct"_json_pointer,       "/ranges/1/used_pct"_json_pointer,
      "/totals/program/used_pct"_json_pointer, "/totals/program/average"_json_pointer,
      "/totals/memory/used_pct"_json_pointer,  "/totals/memory/average"_json_pointer,
      "/groups/0/pct_of_program"_json_pointer, "/eeprom/overall/used_pct"_json_pointer,
      "/eeprom/once/used_pct"_json_pointer,    "/eeprom/triple/used_pct"_json_pointer,
  };
  for (const auto& pointer : nulls) {
    EXPECT_TRUE(document.at(pointer).is_null()) << pointer.to_string();
  }
  EXPECT_EQ(document["ranges"][0]["free"], 0);
}

TEST(CsvAndMarkdown, QuotientsWithADivisorOfZeroAreEmptyOrNotAvailable) {
  std::ostringstream csv;
  write_ranges_csv(csv, zero_divisor_result());
  EXPECT_EQ(csv.str(),
            "id,kind,label,start,size,used,free,used_pct,sections,load_copy_bytes,footprint\r\n"
            "program0,program,,0x00000100,0,0,0,,0,0,0\r\n"
            "memory0,memory,,0x00000100,0,0,0,,0,0,0\r\n");
  std::ostringstream markdown;
  write_markdown_report(markdown, zero_divisor_result(), report_context{});
  EXPECT_NE(markdown.str().find("| program0 |  | 0x00000100 | 0 | 0 | 0 | n/a |\n"),
            std::string::npos);
  EXPECT_NE(markdown.str().find("| Program | 0 | 0 | 0 | n/a | 0 |\n"), std::string::npos);
  EXPECT_EQ(markdown.str().rfind("# Memory usage of  (sha256 unknown)\n", 0), 0u);
}

TEST(JsonNumber, NoneNanAndInfinityAreNull) {
  EXPECT_EQ(json_number(std::nullopt), "null");
  EXPECT_EQ(json_number(std::numeric_limits<double>::quiet_NaN()), "null");
  EXPECT_EQ(json_number(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(json_number(-std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(json_number(12.5), "12.5");
  EXPECT_EQ(json_number(25.0), "25.0");
}

// ---- EEPROM and exact sums -------------------------------------------------

TEST(JsonReport, EepromBlocksAreExactBeyondThirtyTwoBits) {
  analysis_result result;
  result.has_eep = true;
  result.eep.sizes.once_data_size = 1;
  result.eep.sizes.once_data_free = 3;
  result.eep.sizes.triple_data_size = 0x55555556;  // times 3 is 0x100000002
  result.eep.sizes.triple_data_free = 0;
  const auto eeprom = nlohmann::json::parse(json_of(result))["eeprom"];
  EXPECT_EQ(eeprom["triple_data_size"], 0x55555556u);
  EXPECT_EQ(eeprom["triple"]["used"], 0x100000002u);
  EXPECT_EQ(eeprom["triple"]["total"], 0x100000002u);
  EXPECT_EQ(eeprom["triple"]["used_pct"], 100.0);
  EXPECT_EQ(eeprom["once"]["used_pct"], 25.0);
  EXPECT_EQ(eeprom["overall"]["total"], 0x100000006u);
  EXPECT_EQ(eeprom["overall"]["free"], 3u);
}

TEST(JsonReport, EepromIsNullWithoutOrAfterAFailedEepromSide) {
  analysis_result without;
  EXPECT_TRUE(nlohmann::json::parse(json_of(without))["eeprom"].is_null());
  analysis_result failed;
  failed.has_eep = true;
  failed.eep.failure = {analysis_step::eep_report, {"File end"}, {}};
  const auto document = nlohmann::json::parse(json_of(failed));
  EXPECT_TRUE(document["eeprom"].is_null());
  EXPECT_EQ(document["diagnostics"][0]["message"], "File end");
}

// ---- text rules -------------------------------------------------------------

struct text_case {
  const char* what;
  std::string input;
  std::string expected;
};

class JsonString : public ::testing::TestWithParam<text_case> {};

TEST_P(JsonString, EscapesAndKeepsUtf8Valid) {
  EXPECT_EQ(json_string(GetParam().input), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Utf8, JsonString,
    ::testing::Values(text_case{"plain", ".text", "\".text\""},
                      text_case{"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
                      text_case{"controls", "a\tb\nc\rd\x01", "\"a\\tb\\nc\\rd\\u0001\""},
                      text_case{"Latin-1 byte", ".caf\xe9", "\".caf\\u00e9\""},
                      text_case{"stray continuation", "x\x80y", "\"x\\u0080y\""},
                      text_case{"two-byte UTF-8 kept", "caf\xc3\xa9", "\"caf\xc3\xa9\""},
                      text_case{"three-byte UTF-8 kept", "\xe2\x82\xac", "\"\xe2\x82\xac\""},
                      text_case{"four-byte UTF-8 kept", "\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},
                      text_case{"cut at the end", "a\xe2\x82", "\"a\\u00e2\\u0082\""},
                      text_case{"overlong slash", "\xc0\xaf", "\"\\u00c0\\u00af\""},
                      text_case{"encoded surrogate", "\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},
                      text_case{"above U+10FFFF", "\xf4\x90\x80\x80",
                                "\"\\u00f4\\u0090\\u0080\\u0080\""},
                      text_case{"lead byte FF", "\xff", "\"\\u00ff\""}),
    [](const ::testing::TestParamInfo<text_case>& param_info) {
      return std::to_string(param_info.index);
    });

class CsvField : public ::testing::TestWithParam<text_case> {};

TEST_P(CsvField, QuotesOnlyWhenNeeded) {
  EXPECT_EQ(csv_field(GetParam().input), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Rfc4180, CsvField,
    ::testing::Values(text_case{"plain", ".text", ".text"}, text_case{"empty", "", ""},
                      text_case{"blank and bar", "a b|c", "a b|c"},
                      text_case{"comma", "a,b", "\"a,b\""},
                      text_case{"quote", "say \"hi\"", "\"say \"\"hi\"\"\""},
                      text_case{"line feed", "a\nb", "\"a\nb\""},
                      text_case{"carriage return", "a\rb", "\"a\rb\""},
                      text_case{"Latin-1 byte", "caf\xe9", "caf\xc3\xa9"},
                      text_case{"valid UTF-8", "\xe2\x82\xac", "\xe2\x82\xac"}),
    [](const ::testing::TestParamInfo<text_case>& param_info) {
      return std::to_string(param_info.index);
    });

TEST(HexAddress, IsZeroXAndEightUpperCaseDigits) {
  EXPECT_EQ(hex_address(0), "0x00000000");
  EXPECT_EQ(hex_address(0x2bf0080), "0x02BF0080");
  EXPECT_EQ(hex_address(0xFFFFFFFF), "0xFFFFFFFF");
}

TEST(AmountAndPercentText, EighthsAsTheyNeedAndNoMinusZero) {
  const std::pair<double, const char*> amounts[] = {
      {0, "0"},          {-0.0, "0"},      {1024, "1024"},          {64.125, "64.125"},
      {0.5, "0.5"},      {-8.25, "-8.25"}, {1e12, "1000000000000"}, {std::nan(""), "n/a"},
      {HUGE_VAL, "n/a"},
  };
  for (const auto& [value, text] : amounts) {
    EXPECT_EQ(amount_text(value), text) << value;
  }
  const std::pair<std::optional<double>, const char*> percents[] = {
      {std::nullopt, "n/a"}, {37.5, "37.50"},       {-0.001, "0.00"},
      {106.25, "106.25"},    {std::nan(""), "n/a"},
  };
  for (const auto& [value, text] : percents) {
    EXPECT_EQ(percent_text(value), text);
  }
}

TEST(OddNames, EveryFormatStaysValidUtf8AndJsonReadsTheLatin1Text) {
  analysis_result result;
  result.memory.names = std::make_shared<section_name_pool>();
  section_name_pool& names = *result.memory.names;
  result.memory.fates.push_back(
      {section_name(".caf\xe9,\"x\"", names), 0x10, 4, 0, 3, section_fate::outside_ranges});
  result.memory.fates.push_back(
      {section_name("\xe2\x82\xac|\xff", names), 0x20, 4, 1, 0, section_fate::zero_size});
  const auto document = nlohmann::json::parse(json_of(result));
  EXPECT_EQ(document["sections"][0]["name"], ".caf\xc3\xa9,\"x\"");
  EXPECT_EQ(document["sections"][1]["name"], "\xe2\x82\xac|\xc3\xbf");
  EXPECT_EQ(document["sections"][1]["unit"], "bits");
  EXPECT_TRUE(document["sections"][1]["line"].is_null());
  std::ostringstream csv;
  write_sections_csv(csv, result);
  EXPECT_EQ(csv.str(),
            "name,start,size,unit,line,fate,range,group,reason,load_address\r\n"
            "\".caf\xc3\xa9,\"\"x\"\"\",0x00000010,4,bytes,3,dropped,,,outside_ranges,\r\n"
            "\xe2\x82\xac|\xc3\xbf,0x00000020,4,bits,,dropped,,,zero_size,\r\n");
}

TEST(RangeId, NamesTheKindAndTheIndex) {
  EXPECT_EQ(range_id(true, 0), "program0");
  EXPECT_EQ(range_id(true, 12), "program12");
  EXPECT_EQ(range_id(false, 1), "memory1");
}

TEST(ReportSchema, IsTheRepositoryFileAndParses) {
  const std::string file =
      test_support::read_file(test_support::source_dir() + "/formats/vemora-report.schema.json");
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(report_schema(), file);
  const auto schema = nlohmann::json::parse(report_schema());
  EXPECT_EQ(schema["title"], "vemora-report");
}

// ---- the same numbers as the console report --------------------------------

/// The figures of a console memory report, as printed (wrapping at 2^32).
struct console_figures {
  std::uint64_t memory_bytes = 0;
  std::uint64_t bits = 0;
  std::uint64_t program_bytes = 0;
  std::uint64_t memory_total = 0;
  std::uint64_t program_total = 0;
  std::vector<std::uint64_t> segments;
  std::vector<std::uint64_t> groups;
  std::uint64_t accounted = 0;
  std::uint64_t ambiguous = 0;
};

console_figures read_console(const std::string& report) {
  console_figures figures;
  std::istringstream lines(report);
  std::string line;
  std::string area;
  const std::regex segment(R"(^  Prg seg\d+:     Used +(\d+),)");
  const std::regex group(R"(^ *(\d+) : .*% , Search = )");
  const std::regex accounted(R"(^(\d+)\tAccounted for in search: )");
  const std::regex ambiguous(R"(^Warning: Ambiguous search with (\d+) = )");
  const std::regex total(R"(^Total: +(\d+)$)");
  std::smatch match;
  const auto after = [&line](const char* prefix) {
    return std::stoull(line.substr(std::string(prefix).size()));
  };
  while (std::getline(lines, line)) {
    if (line.rfind("Mem area used:", 0) == 0) {
      figures.memory_bytes = after("Mem area used:");
    } else if (line.rfind("Bit area used:", 0) == 0) {
      figures.bits = after("Bit area used:");
    } else if (line.rfind("Prg area used:", 0) == 0) {
      figures.program_bytes = after("Prg area used:");
    } else if (line == "Memory area:" || line == "Program area:") {
      area = line;
    } else if (std::regex_search(line, match, total)) {
      (area == "Memory area:" ? figures.memory_total : figures.program_total) =
          std::stoull(match[1]);
    } else if (std::regex_search(line, match, segment)) {
      figures.segments.push_back(std::stoull(match[1]));
    } else if (std::regex_search(line, match, group)) {
      figures.groups.push_back(std::stoull(match[1]));
    } else if (std::regex_search(line, match, accounted)) {
      figures.accounted = std::stoull(match[1]);
    } else if (std::regex_search(line, match, ambiguous)) {
      figures.ambiguous = std::stoull(match[1]);
    }
  }
  return figures;
}

std::uint64_t wrapped(const nlohmann::json& value) {
  return value.get<std::uint64_t>() & 0xFFFFFFFFu;
}

std::vector<std::string> words_of(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) {
    words.push_back(word);
  }
  return words;
}

TEST(ConsoleAgreement, JsonFiguresEqualTheConsoleReportOnEveryGoldenCase) {
  const fs::path root = fs::path(test_support::source_dir()) / "tests" / "golden";
  std::size_t compared = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(root)) {
    if (!entry.is_directory()) {
      continue;
    }
    const std::vector<std::string> args =
        words_of(test_support::read_file((entry.path() / "cmd").string()));
    if (args.size() < 3 || args.size() > 4 || fs::exists(entry.path() / "dirs")) {
      continue;  // not a report run, or one whose inputs are made at run time
    }
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    // A copy, since the console report writes its result file beside the map.
    test_support::scoped_temp_dir dir;
    fs::copy(entry.path(), dir.path(), fs::copy_options::recursive);
    const analysis_result result = analyse_files(args[0], dir.file(args[1]), dir.file(args[2]));
    if (result.memory.failure.failed() || !result.memory.has_sections) {
      continue;  // the console prints no report to compare with
    }
    std::ostringstream console;
    ASSERT_TRUE(run_memory_report(dir.file(args[2]), dir.file(args[1]), args[0], console));
    const console_figures figures = read_console(console.str());
    const auto json = nlohmann::json::parse(json_of(result));
    const auto& totals = json["totals"];
    EXPECT_EQ(wrapped(totals["program"]["used"]), figures.program_bytes);
    EXPECT_EQ(wrapped(totals["program"]["total"]), figures.program_total);
    EXPECT_EQ(wrapped(totals["memory"]["used_bytes"]), figures.memory_bytes);
    EXPECT_EQ(wrapped(totals["memory"]["used_bits"]), figures.bits);
    EXPECT_EQ(wrapped(totals["memory"]["total"]), figures.memory_total);
    std::vector<std::uint64_t> segments;
    for (const auto& range : json["ranges"]) {
      if (range["kind"] == "program") {
        segments.push_back(wrapped(range["used"]));
      }
    }
    EXPECT_EQ(segments, figures.segments);
    std::vector<std::uint64_t> groups;
    for (const auto& group : json["groups"]) {
      groups.push_back(wrapped(group["bytes"]));
    }
    EXPECT_EQ(groups, figures.groups);
    EXPECT_EQ(wrapped(json["accounted_bytes"]), figures.accounted);
    EXPECT_EQ(wrapped(json["ambiguous"]["bytes"]), figures.ambiguous);
    ++compared;
  }
  // Most golden cases print a report; far fewer would mean the walk lost them.
  EXPECT_GE(compared, 20u);
}

}  // namespace

namespace {

TEST(BitSizedMemory, BitsCountAsEighthsAndRoundToBytesForThePercentage) {
  analysis_result result;
  memory_analysis& memory = result.memory;
  range_usage ram;
  ram.range = {0x1000, 256};
  ram.used_bytes = 64;
  ram.used_bits = 12;  // 1.5 bytes, rounded up to 2
  ram.section_count = 2;
  memory.memory_usage.push_back(ram);
  memory.memory_total = 256;
  memory.memory_used_bytes = 64;
  memory.memory_used_bits = 12;
  const auto document = nlohmann::json::parse(json_of(result));
  EXPECT_EQ(document["ranges"][0]["used"], 66);
  EXPECT_EQ(document["ranges"][0]["free"], 190);
  EXPECT_EQ(document["totals"]["memory"]["used"], 65.5);
  EXPECT_EQ(document["totals"]["memory"]["free"], 190.5);
  EXPECT_EQ(document["totals"]["memory"]["used_pct"], 25.78125);  // 66 of 256
  std::ostringstream markdown;
  write_markdown_report(markdown, result, report_context{});
  EXPECT_NE(markdown.str().find("| Memory | 256 | 65.5 | 190.5 | 25.78 | 0 |\n"),
            std::string::npos);
}

}  // namespace
