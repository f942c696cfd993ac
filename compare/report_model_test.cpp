// A report read back from its JSON: every refusal names the place and the
// reason, and the model made from an analysis in memory equals the one read
// from that analysis' own JSON report, so baseline and current never differ
// by the way they were made.
#include "compare/report_model.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>

#include "formats/report_formats.h"
#include "tests/test_support.h"

namespace {

struct refusal_case {
  const char* what;
  std::string text;
  const char* error;
};

const std::string k_prefix = "{\"schema\": \"vemora-report\", \"schema_version\": \"1.1.0\", ";
const std::string k_empty_rest =
    "\"totals\": {\"program\": {\"total\": 0, \"used\": 0, \"free\": 0, \"used_pct\": null}, "
    "\"memory\": {\"total\": 0, \"used\": 0, \"free\": 0, \"used_pct\": null}}, \"groups\": [], "
    "\"sections\": [], \"dropped\": {}, \"eeprom\": null}";

/// The totals and the groups of the empty report, with the comma after them.
const std::string k_totals_groups = k_empty_rest.substr(0, k_empty_rest.find("\"sections\""));

std::string with_ranges(const std::string& ranges) {
  return k_prefix + "\"ranges\": [" + ranges + "], " + k_empty_rest;
}

const std::string k_range =
    "{\"id\": \"program0\", \"kind\": \"program\", \"label\": null, \"start\": 0, \"size\": 16, "
    "\"used\": 8, \"free\": 8, \"used_pct\": 50.0}";

class ReportRefusal : public ::testing::TestWithParam<refusal_case> {};

TEST_P(ReportRefusal, NamesThePlaceAndWhy) {
  report_model model;
  std::string error;
  EXPECT_FALSE(read_report_model(GetParam().text, model, error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ReportRefusal,
    ::testing::Values(
        refusal_case{"empty file", "",
                     "is not valid JSON (parse error at line 1, column 1: syntax error while "
                     "parsing value - unexpected end of input; expected '[', '{', or a literal)"},
        refusal_case{"an array", "[1, 2]", "is no vemora report (not a JSON object)"},
        refusal_case{"another document", "{\"schema\": \"vemora-diff\"}",
                     "is no vemora report (its \"schema\" is not \"vemora-report\")"},
        refusal_case{"major version 2",
                     "{\"schema\": \"vemora-report\", \"schema_version\": \"2.0.0\"}",
                     "is a report of schema version 2.0.0; this vemora-check reads version 1 "
                     "reports only"},
        refusal_case{"a version that is no version",
                     "{\"schema\": \"vemora-report\", \"schema_version\": \"1.x\"}",
                     "schema_version: \"1.x\" is no version number"},
        refusal_case{"no ranges", k_prefix + k_empty_rest, "ranges: missing"},
        refusal_case{
            "a negative use",
            with_ranges("{\"id\": \"program0\", \"kind\": \"program\", \"label\": null, "
                        "\"start\": 0, \"size\": 16, \"used\": -8, \"free\": 24, \"used_pct\": "
                        "null}"),
            "ranges[0].used: must not be negative"},
        refusal_case{"a size as text",
                     with_ranges("{\"id\": \"program0\", \"kind\": \"program\", \"label\": "
                                 "null, \"start\": 0, \"size\": \"16\"}"),
                     "ranges[0].size: not a whole number"},
        refusal_case{"one range twice", with_ranges(k_range + ", " + k_range),
                     "ranges[1].id: \"program0\" is listed twice"},
        refusal_case{"an unknown kind", with_ranges("{\"id\": \"program0\", \"kind\": \"flash\"}"),
                     "ranges[0].kind: neither \"program\" nor \"memory\""},
        refusal_case{"a use beyond exact doubles",
                     with_ranges("{\"id\": \"program0\", \"kind\": \"program\", \"label\": "
                                 "null, \"start\": 0, \"size\": 16, \"used\": "
                                 "18446744073709551615}"),
                     "ranges[0].used: too large"},
        refusal_case{"a section of no fate",
                     k_prefix +
                         "\"ranges\": [], \"totals\": {\"program\": {\"total\": 0, \"used\": 0, "
                         "\"free\": 0, \"used_pct\": null}, \"memory\": {\"total\": 0, \"used\": "
                         "0, \"free\": 0, \"used_pct\": null}}, \"groups\": [], \"sections\": "
                         "[{\"name\": \"a\", \"size\": 1, \"unit\": \"bytes\", \"fate\": "
                         "\"lost\"}]}",
                     "sections[0].fate: neither \"counted\" nor \"dropped\""},
        refusal_case{"a bad section told after the keys before it",
                     k_prefix + "\"sections\": [{\"name\": 1}], " + k_totals_groups +
                         "\"dropped\": {}, \"eeprom\": null}",
                     "ranges: missing"},
        refusal_case{"a bad element of a later sections key, counted from its own start",
                     k_prefix + "\"ranges\": [], " + k_totals_groups +
                         "\"sections\": [{\"name\": \"a\", \"size\": 3, \"unit\": "
                         "\"bytes\", \"fate\": \"dropped\", \"reason\": \"zero_size\"}], "
                         "\"sections\": [1], \"dropped\": {}, \"eeprom\": null}",
                     "sections[0]: not an object"},
        refusal_case{"a section that is no object",
                     k_prefix + "\"ranges\": [], " + k_totals_groups +
                         "\"sections\": [1], \"dropped\": {}, \"eeprom\": null}",
                     "sections[0]: not an object"},
        refusal_case{"sections that are no array",
                     k_prefix + "\"ranges\": [], " + k_totals_groups +
                         "\"sections\": {}, \"dropped\": {}, \"eeprom\": null}",
                     "sections: not an array"},
        refusal_case{"an EEPROM that is a number",
                     k_prefix +
                         "\"ranges\": [], \"totals\": {\"program\": {\"total\": 0, \"used\": 0, "
                         "\"free\": 0, \"used_pct\": null}, \"memory\": {\"total\": 0, \"used\": "
                         "0, \"free\": 0, \"used_pct\": null}}, \"groups\": [], \"sections\": [], "
                         "\"dropped\": {}, \"eeprom\": 5}",
                     "eeprom: neither null nor an object"},
        refusal_case{"load copies that are a number",
                     with_ranges("{\"id\": \"program0\", \"kind\": \"program\", \"label\": "
                                 "null, \"start\": 0, \"size\": 16, \"used\": 8, \"free\": 8, "
                                 "\"used_pct\": 50.0, \"load_copies\": 4, \"footprint\": 12}"),
                     "ranges[0].load_copies: not an object"},
        refusal_case{"load copies without their bytes",
                     with_ranges("{\"id\": \"program0\", \"kind\": \"program\", \"label\": "
                                 "null, \"start\": 0, \"size\": 16, \"used\": 8, \"free\": 8, "
                                 "\"used_pct\": 50.0, \"load_copies\": {\"sections\": 1}}"),
                     "ranges[0].load_copies.bytes: missing"},
        refusal_case{"a negative footprint",
                     with_ranges("{\"id\": \"program0\", \"kind\": \"program\", \"label\": "
                                 "null, \"start\": 0, \"size\": 16, \"used\": 8, \"free\": 8, "
                                 "\"used_pct\": 50.0, \"footprint\": -1}"),
                     "ranges[0].footprint: must not be negative"},
        refusal_case{"a program footprint as text",
                     k_prefix +
                         "\"ranges\": [], \"totals\": {\"program\": {\"total\": 0, \"used\": 0, "
                         "\"free\": 0, \"used_pct\": null, \"footprint\": \"0\"}, \"memory\": "
                         "{\"total\": 0, \"used\": 0, \"free\": 0, \"used_pct\": null}}}",
                     "totals.program.footprint: not a whole number"},
        refusal_case{"a finding of no known severity",
                     k_prefix +
                         "\"ranges\": [], \"totals\": {\"program\": {\"total\": 0, \"used\": 0, "
                         "\"free\": 0, \"used_pct\": null}, \"memory\": {\"total\": 0, \"used\": "
                         "0, \"free\": 0, \"used_pct\": null}}, \"groups\": [], \"sections\": [], "
                         "\"dropped\": {}, \"eeprom\": null, \"diagnostics\": [{\"code\": "
                         "\"VL110\", \"severity\": \"fatal\", \"message\": \"m\"}]}",
                     "diagnostics[0].severity: neither \"error\", \"warning\" nor \"note\""},
        refusal_case{"findings that are no array",
                     k_prefix +
                         "\"ranges\": [], \"totals\": {\"program\": {\"total\": 0, \"used\": 0, "
                         "\"free\": 0, \"used_pct\": null}, \"memory\": {\"total\": 0, \"used\": "
                         "0, \"free\": 0, \"used_pct\": null}}, \"groups\": [], \"sections\": [], "
                         "\"dropped\": {}, \"eeprom\": null, \"diagnostics\": {}}",
                     "diagnostics: not an array"},
        refusal_case{"a symbol of a dropped section",
                     k_prefix + "\"ranges\": [], " + k_totals_groups +
                         "\"sections\": [{\"name\": \"a\", \"size\": 3, \"unit\": "
                         "\"bytes\", \"fate\": \"dropped\", \"reason\": \"zero_size\"}], "
                         "\"dropped\": {}, \"eeprom\": null, \"image\": {}, \"symbols\": "
                         "[{\"key\": \"f\", \"display\": \"f\", \"file\": null, "
                         "\"binding\": \"global\", \"section\": 0, \"address\": 0, "
                         "\"size\": 2, \"bytes\": 2}]}",
                     "symbols[0].section: names no counted section (0)"},
        refusal_case{"a symbol of no known binding",
                     k_prefix + "\"ranges\": [], " + k_totals_groups +
                         "\"sections\": [], \"dropped\": {}, \"eeprom\": null, \"image\": "
                         "{}, \"symbols\": [{\"key\": \"f\", \"display\": \"f\", "
                         "\"file\": null, \"binding\": \"strong\"}]}",
                     "symbols[0].binding: neither \"global\", \"weak\" nor \"local\""},
        refusal_case{"an image run without its symbols",
                     k_prefix + "\"ranges\": [], " + k_totals_groups +
                         "\"sections\": [], \"dropped\": {}, \"eeprom\": null, \"image\": "
                         "{}}",
                     "symbols: missing"}),
    [](const ::testing::TestParamInfo<refusal_case>& param) {
      return "Case" + std::to_string(param.index);
    });

TEST(ReportModel, ReadsAnEmptyReport) {
  report_model model;
  std::string error;
  ASSERT_TRUE(read_report_model(with_ranges(k_range), model, error)) << error;
  ASSERT_EQ(model.ranges.size(), 1u);
  EXPECT_EQ(model.ranges[0].used, 8u);
  EXPECT_EQ(model.ranges[0].used_pct, 50.0);
  EXPECT_EQ(model.schema_version, "1.1.0");
}

TEST(ReportModel, AStreamReadsAsTheTextAndKeysNoComparisonReadsAreSkipped) {
  // Two "sections" keys: the later one counts, as in any JSON reader that keeps the last.
  const std::string text =
      k_prefix + "\"ranges\": [" + k_range + "], \"ambiguous\": [[{\"a\": [1, {}]}], 2], " +
      "\"diff\": {\"x\": [[]]}, \"symbols\": [{\"name\": 1}], " +
      "\"sections\": [{\"name\": 1}], " + k_totals_groups +
      "\"sections\": [{\"name\": \"a\", \"size\": 16, \"unit\": \"bits\", \"fate\": "
      "\"counted\", \"range\": \"program0\"}, {\"name\": \"b\", \"size\": 3, \"unit\": "
      "\"bytes\", \"fate\": \"dropped\", \"reason\": \"zero_size\"}], \"dropped\": {}, "
      "\"eeprom\": null}";
  report_model from_text;
  std::string error;
  ASSERT_TRUE(read_report_model(text, from_text, error)) << error;
  ASSERT_EQ(from_text.sections.size(), 2u);
  EXPECT_EQ(from_text.sections[0].name, "a");
  EXPECT_EQ(from_text.sections[0].bytes, 2.0);
  EXPECT_EQ(from_text.sections[0].range, "program0");
  EXPECT_EQ(from_text.sections[1].reason, "zero_size");

  std::istringstream stream(text);
  report_model from_stream;
  ASSERT_TRUE(read_report_model(stream, from_stream, error)) << error;
  ASSERT_EQ(from_stream.sections.size(), 2u);
  EXPECT_EQ(from_stream.sections[1].name, "b");
  EXPECT_EQ(from_stream.ranges.size(), 1u);

  std::istringstream cut(text.substr(0, text.size() / 2));
  report_model none;
  EXPECT_FALSE(read_report_model(cut, none, error));
  EXPECT_EQ(error.rfind("is not valid JSON", 0), 0u) << error;
  EXPECT_TRUE(none.sections.empty());
}

TEST(ReportModel, AnOlderReportHasNoFootprintAndNoFindings) {
  report_model model;
  std::string error;
  ASSERT_TRUE(read_report_model(with_ranges(k_range), model, error)) << error;
  EXPECT_EQ(model.ranges[0].load_copies.has_value(), false);
  EXPECT_EQ(model.ranges[0].footprint, std::nullopt);
  EXPECT_EQ(model.program.load_copies.has_value(), false);
  EXPECT_EQ(model.program.footprint, std::nullopt);
  EXPECT_TRUE(model.diagnostics.empty());
}

TEST(ReportModel, ReadsLoadCopiesFootprintAndFindings) {
  // program0: 8 used and one load copy of 4 bytes, so a footprint of 12.
  const std::string text =
      "{\"schema\": \"vemora-report\", \"schema_version\": \"1.2.0\", \"ranges\": [{\"id\": "
      "\"program0\", \"kind\": \"program\", \"label\": null, \"start\": 0, \"size\": 16, "
      "\"used\": 8, \"free\": 8, \"used_pct\": 50.0, \"sections\": 2, \"load_copies\": "
      "{\"sections\": 1, \"bytes\": 4}, \"footprint\": 12}], \"totals\": {\"program\": "
      "{\"total\": 16, \"used\": 8, \"free\": 8, \"used_pct\": 50.0, \"load_copies\": "
      "{\"sections\": 1, \"bytes\": 4}, \"footprint\": 12}, \"memory\": {\"total\": 0, "
      "\"used\": 0, \"free\": 0, \"used_pct\": null}}, \"groups\": [], \"sections\": [], "
      "\"dropped\": {}, \"eeprom\": null, \"diagnostics\": [{\"code\": \"VL110\", "
      "\"severity\": \"error\", \"file\": \"f.map\", \"line\": 3, \"column\": 1, "
      "\"message\": \"too wide\"}, {\"code\": \"VL109\", \"severity\": \"note\", \"file\": "
      "\"f.map\", \"line\": 4, \"column\": 1, \"message\": \"load copy\"}]}";
  report_model model;
  std::string error;
  ASSERT_TRUE(read_report_model(text, model, error)) << error;
  ASSERT_TRUE(model.ranges[0].load_copies.has_value());
  EXPECT_EQ(model.ranges[0].load_copies->sections, 1u);
  EXPECT_EQ(model.ranges[0].load_copies->bytes, 4u);
  EXPECT_EQ(model.ranges[0].footprint, 12u);
  ASSERT_TRUE(model.program.load_copies.has_value());
  EXPECT_EQ(model.program.load_copies->bytes, 4u);
  EXPECT_EQ(model.program.footprint, 12.0);
  EXPECT_EQ(model.memory.footprint, std::nullopt);
  ASSERT_EQ(model.diagnostics.size(), 2u);
  EXPECT_EQ(model.diagnostics[0].code, "VL110");
  EXPECT_EQ(model.diagnostics[0].severity, "error");
  EXPECT_EQ(model.diagnostics[0].message, "too wide");
  EXPECT_EQ(model.diagnostics[1].severity, "note");
}

TEST(ReportModel, FindingsOfTheLintKeepCodeSeverityAndMessage) {
  const std::vector<model_diagnostic> model =
      model_diagnostics_of({{"VL102", finding_severity::warning, "f.map", 7, 1, "straddles"},
                            {"VL110", finding_severity::error, "f.map", 9, 1, "too wide"}});
  ASSERT_EQ(model.size(), 2u);
  EXPECT_EQ(model[0].code, "VL102");
  EXPECT_EQ(model[0].severity, "warning");
  EXPECT_EQ(model[1].severity, "error");
  EXPECT_EQ(model[1].message, "too wide");
}

void expect_same(const report_model& read, const report_model& made) {
  ASSERT_EQ(read.ranges.size(), made.ranges.size());
  for (std::size_t i = 0; i < read.ranges.size(); ++i) {
    const model_range& a = read.ranges[i];
    const model_range& b = made.ranges[i];
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.program, b.program);
    EXPECT_EQ(a.label, b.label);
    EXPECT_EQ(a.start, b.start);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.used, b.used);
    EXPECT_EQ(a.free, b.free);
    EXPECT_EQ(a.used_pct, b.used_pct);
    EXPECT_EQ(a.attributed, b.attributed);
    EXPECT_EQ(a.unattributed, b.unattributed);
    // A report written before schema 1.2.0 gives no footprint to compare.
    if (a.footprint) {
      EXPECT_EQ(a.footprint, b.footprint);
      ASSERT_TRUE(a.load_copies && b.load_copies);
      EXPECT_EQ(a.load_copies->sections, b.load_copies->sections);
      EXPECT_EQ(a.load_copies->bytes, b.load_copies->bytes);
    }
    // Without load copies the footprint is the use, as the linker prints it.
    ASSERT_TRUE(b.footprint && b.load_copies);
    EXPECT_EQ(*b.footprint, b.used + b.load_copies->bytes);
  }
  for (const auto& [x, y] :
       {std::pair{&read.program, &made.program}, {&read.memory, &made.memory}}) {
    EXPECT_EQ(x->total, y->total);
    EXPECT_EQ(x->used, y->used);
    EXPECT_EQ(x->free, y->free);
    EXPECT_EQ(x->used_pct, y->used_pct);
    if (x->footprint) {
      EXPECT_EQ(x->footprint, y->footprint);
    }
  }
  ASSERT_TRUE(made.program.footprint && made.program.load_copies);
  EXPECT_EQ(*made.program.footprint,
            made.program.used + static_cast<double>(made.program.load_copies->bytes));
  EXPECT_EQ(made.memory.footprint, std::nullopt);
  ASSERT_EQ(read.groups.size(), made.groups.size());
  for (std::size_t i = 0; i < read.groups.size(); ++i) {
    EXPECT_EQ(read.groups[i].search, made.groups[i].search);
    EXPECT_EQ(read.groups[i].bytes, made.groups[i].bytes);
  }
  ASSERT_EQ(read.sections.size(), made.sections.size());
  for (std::size_t i = 0; i < read.sections.size(); ++i) {
    EXPECT_EQ(read.sections[i].name, made.sections[i].name);
    EXPECT_EQ(read.sections[i].counted, made.sections[i].counted);
    EXPECT_EQ(read.sections[i].range, made.sections[i].range);
    EXPECT_EQ(read.sections[i].reason, made.sections[i].reason);
    EXPECT_EQ(read.sections[i].bytes, made.sections[i].bytes);
    EXPECT_EQ(read.sections[i].group, made.sections[i].group);
  }
  EXPECT_EQ(read.has_symbols, made.has_symbols);
  ASSERT_EQ(read.symbols.size(), made.symbols.size());
  for (std::size_t i = 0; i < read.symbols.size(); ++i) {
    const model_symbol& x = read.symbols[i];
    const model_symbol& y = made.symbols[i];
    EXPECT_EQ(std::tie(x.key, x.display, x.file, x.local, x.section, x.address, x.size, x.bytes),
              std::tie(y.key, y.display, y.file, y.local, y.section, y.address, y.size, y.bytes))
        << "symbols[" << i << "]";
  }
  ASSERT_EQ(read.dropped.size(), made.dropped.size());
  for (std::size_t i = 0; i < read.dropped.size(); ++i) {
    EXPECT_EQ(read.dropped[i].reason, made.dropped[i].reason);
    EXPECT_EQ(read.dropped[i].sections, made.dropped[i].sections);
    EXPECT_EQ(read.dropped[i].bytes, made.dropped[i].bytes);
  }
  ASSERT_EQ(read.eeprom.has_value(), made.eeprom.has_value());
  if (read.eeprom) {
    EXPECT_EQ(read.eeprom->total, made.eeprom->total);
    EXPECT_EQ(read.eeprom->used, made.eeprom->used);
    EXPECT_EQ(read.eeprom->free, made.eeprom->free);
    EXPECT_EQ(read.eeprom->used_pct, made.eeprom->used_pct);
  }
}

struct example_case {
  const char* folder;
  const char* keyword;
  const char* map;
  const char* eeprom;  ///< empty: none
  const char* image;   ///< --elf beside a listing; empty: none
};

class ModelOfAnalysis : public ::testing::TestWithParam<example_case> {};

TEST_P(ModelOfAnalysis, EqualsTheModelReadFromItsReport) {
  const std::string folder = test_support::source_dir() + "/" + GetParam().folder;
  analysis_request request;
  request.type_keyword = GetParam().keyword;
  request.image_keywords = true;
  request.definition_path = folder + "/memory.def";
  request.map_path = folder + "/" + GetParam().map;
  if (*GetParam().eeprom != '\0') {
    request.eeprom_path = folder + "/" + GetParam().eeprom;
  }
  if (*GetParam().image != '\0') {
    request.image_path = folder + "/" + GetParam().image;
  }
  request.collect_fates = true;
  const analysis_result result = analyse(request);
  ASSERT_FALSE(result.failure().failed());
  std::ostringstream json;
  write_json_report(json, result, report_context{});
  report_model read;
  std::string error;
  ASSERT_TRUE(read_report_model(json.str(), read, error)) << error;
  const report_model made = model_of_analysis(result);
  expect_same(read, made);
  EXPECT_FALSE(made.sections.empty());
  const bool image = GetParam().keyword == std::string("Elf") || *GetParam().image != '\0';
  EXPECT_EQ(made.has_symbols, image);
  EXPECT_EQ(made.symbols.empty(), !image);
}

// The reports of an image run carry symbols and attributed bytes, read back as they were made.
INSTANTIATE_TEST_SUITE_P(
    Examples, ModelOfAnalysis,
    ::testing::Values(example_case{"formats/testdata/small", "Tev2", "firmware.map", "", ""},
                      example_case{"examples/tev2", "Tev2", "firmware.map", "EepPrj.src", ""},
                      example_case{"examples/mem32", "Tev2_mem32_unlimited", "firmware.map", "",
                                   ""},
                      example_case{"examples/cortex-m", "Elf", "firmware.elf", "", ""},
                      example_case{"examples/cortex-m", "Tev2_mem32_unlimited", "firmware.lst", "",
                                   "firmware.elf"}));

}  // namespace
