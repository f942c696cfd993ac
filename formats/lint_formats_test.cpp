// The faces of a lint, each against a text written out by hand: compiler
// lines with the count line, GitHub workflow commands with their escapes,
// and JSON that holds every key the report schema asks of a diagnostic.
#include "formats/lint_formats.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "formats/format_text.h"

namespace {

using sv = finding_severity;

const std::vector<lint_finding> k_findings = {
    {"VL001", sv::warning, "memory.def", 2, 1, "PROGRAM 0x800 0x1000 (line 2) overlaps"},
    {"VL011", sv::error, "memory.def", 0, 0, "the file has no range line"},
    {"VL103", sv::note, "maps/a,b:c.map", 9, 1, "100% \"done\"\r\nnext"},
};

template <typename writer>
std::string written(const writer& write, const std::vector<lint_finding>& findings) {
  std::ostringstream out;
  write(out, findings);
  return out.str();
}

TEST(LintFormats, Text) {
  EXPECT_EQ(written(write_lint_text, k_findings),
            "memory.def:2:1: warning: PROGRAM 0x800 0x1000 (line 2) overlaps [VL001]\n"
            "memory.def: error: the file has no range line [VL011]\n"
            "maps/a,b:c.map:9:1: note: 100% \"done\"\r\nnext [VL103]\n"
            "1 error, 1 warning, 1 note\n");
  EXPECT_EQ(written(write_lint_text, {}), "0 errors, 0 warnings, 0 notes\n");
}

TEST(LintFormats, CountLine) {
  EXPECT_EQ(severity_count_line({2, 1, 0}), "2 errors, 1 warning, 0 notes");
  EXPECT_EQ(severity_count_line({0, 12, 3}), "0 errors, 12 warnings, 3 notes");
}

TEST(LintFormats, GitHub) {
  EXPECT_EQ(
      written(write_lint_github, k_findings),
      "::warning file=memory.def,line=2,col=1,title=VL001::PROGRAM 0x800 0x1000 (line 2) "
      "overlaps\n"
      "::error file=memory.def,title=VL011::the file has no range line\n"
      "::notice file=maps/a%2Cb%3Ac.map,line=9,col=1,title=VL103::100%25 \"done\"%0D%0Anext\n");
  EXPECT_EQ(written(write_lint_github, {}), "");
  EXPECT_EQ(github_message("a:b,c%\n"), "a:b,c%25%0A");
  EXPECT_EQ(github_property("a:b,c%\r"), "a%3Ab%2Cc%25%0D");
}

TEST(LintFormats, Json) {
  EXPECT_EQ(
      written(write_lint_json, k_findings),
      "{\n"
      "  \"diagnostics\": [\n"
      "    {\"code\": \"VL001\", \"severity\": \"warning\", \"file\": \"memory.def\", "
      "\"line\": 2, \"column\": 1, \"message\": \"PROGRAM 0x800 0x1000 (line 2) overlaps\"},\n"
      "    {\"code\": \"VL011\", \"severity\": \"error\", \"file\": \"memory.def\", "
      "\"line\": 0, \"column\": 0, \"message\": \"the file has no range line\"},\n"
      "    {\"code\": \"VL103\", \"severity\": \"note\", \"file\": \"maps/a,b:c.map\", "
      "\"line\": 9, \"column\": 1, \"message\": \"100% \\\"done\\\"\\r\\nnext\"}\n"
      "  ]\n"
      "}\n");
  EXPECT_EQ(written(write_lint_json, {}), "{\n  \"diagnostics\": []\n}\n");
}

// Each element as the report schema's "diagnostics" items describe them.
TEST(LintFormats, JsonHoldsWhatTheSchemaRequires) {
  const nlohmann::json schema = nlohmann::json::parse(report_schema());
  const nlohmann::json& items = schema["properties"]["diagnostics"]["items"];
  const nlohmann::json document = nlohmann::json::parse(written(write_lint_json, k_findings));
  ASSERT_EQ(document.size(), 1u);
  ASSERT_EQ(document["diagnostics"].size(), k_findings.size());
  for (const nlohmann::json& diagnostic : document["diagnostics"]) {
    for (const nlohmann::json& key : items["required"]) {
      ASSERT_TRUE(diagnostic.contains(key.get<std::string>())) << key;
    }
    EXPECT_EQ(diagnostic.size(), items["properties"].size());
    bool known = false;
    for (const nlohmann::json& severity : items["properties"]["severity"]["enum"]) {
      known = known || severity == diagnostic["severity"];
    }
    EXPECT_TRUE(known) << diagnostic["severity"];
    EXPECT_TRUE(diagnostic["line"].is_number_unsigned());
    EXPECT_TRUE(diagnostic["column"].is_number_unsigned());
    EXPECT_TRUE(diagnostic["message"].is_string());
  }
  EXPECT_EQ(document["diagnostics"][2]["message"], "100% \"done\"\r\nnext");
}

}  // namespace
