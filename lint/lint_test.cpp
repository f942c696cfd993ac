// The lint's findings: one small definition per rule with the place and
// severity it must give, the map's rules on a hand-written listing whose
// sections each fall into one trap, and the keywords that take a name.
#include "lint/lint.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using test_support::scoped_temp_dir;
using sv = finding_severity;

struct place {
  std::string code;
  std::size_t line;
  std::size_t column;
  sv severity;
  bool operator==(const place& other) const {
    return code == other.code && line == other.line && column == other.column &&
           severity == other.severity;
  }
};

void PrintTo(const place& p, std::ostream* out) {
  *out << p.code << "@" << p.line << ":" << p.column << " " << severity_name(p.severity);
}

std::vector<place> places(const std::vector<lint_finding>& findings) {
  std::vector<place> result;
  for (const lint_finding& f : findings) {
    result.push_back({f.code, f.line, f.column, f.severity});
  }
  return result;
}

TEST(Lint, EachDefinitionRuleAtItsPlace) {
  const struct {
    const char* rule;
    std::string text;
    std::vector<place> expected;
  } cases[] = {
      {"VL001", "PROGRAM 0 1000\nPROGRAM 800 1000\n", {{"VL001", 2, 1, sv::warning}}},
      {"VL002", "EEPROM 0 1\n  SEARCH Com\n", {{"VL002", 2, 3, sv::warning}}},
      {"VL003", "EEPROM 0 1\nMemory 0 10\n", {{"VL003", 2, 1, sv::warning}}},
      // A size that cannot be read is 0 as well.
      {"VL004", "PROGRAM 10 size\n", {{"VL005", 1, 1, sv::warning}, {"VL004", 1, 12, sv::error}}},
      {"VL005", "MEMORY 4000 0\n", {{"VL005", 1, 1, sv::warning}}},
      {"VL006", "PROGRAM FFFFF000 2000\n", {{"VL006", 1, 1, sv::warning}}},
      {"VL007", "EEPROM 0 1\nSEARCH !Test\n", {{"VL007", 2, 8, sv::warning}}},
      {"VL008", "EEPROM 0 1\nSEARCH I/O // drivers\n", {{"VL008", 2, 12, sv::warning}}},
      {"VL009", "EEPROM 0 1\nhello\n", {{"VL009", 2, 1, sv::note}}},
      {"VL010", "EEPROM 0 1\n// " + std::string(600, 'x') + "\n", {{"VL010", 2, 512, sv::warning}}},
      {"VL011", "SEARCH Com\n", {{"VL011", 0, 0, sv::error}}},
      {"VL012", "PROGRAM 0 1000 2000\n", {{"VL012", 1, 16, sv::warning}}},
      {"clean", "PROGRAM 0 1000   // flash\nMEMORY 1000 100\nSEARCH text\n", {}},
  };
  for (const auto& c : cases) {
    const std::vector<lint_finding> findings =
        lint_findings(diagnose_memory_def_text(c.text), "m.def");
    EXPECT_EQ(places(findings), c.expected) << c.rule;
    for (const lint_finding& f : findings) {
      EXPECT_EQ(f.file, "m.def") << c.rule;
      EXPECT_FALSE(f.message.empty()) << c.rule;
    }
  }
}

TEST(Lint, MessagesSayWhatIsRead) {
  const struct {
    std::string text;
    const char* says;
  } cases[] = {
      {"  PROGRAM 0x100 0x200",
       "its numbers are read from column 8 on (\"AM 0x100 0x200\"), which gives start 0xA and "
       "size 0x0"},
      {"PROGRAM 0 1000\nPROGRAM 800 1000",
       "PROGRAM 0x800 0x1000 (line 2) overlaps in part PROGRAM 0x0 0x1000 (line 1)"},
      {"EEPROM 0 1\nprogram 0 1000", "\"program\" is not a keyword"},
      {"PROGRAM 1,2", "the size \",2\" is not a hexadecimal number"},
      {"EEPROM 0 1\nSEARCH I/O // drivers", "\"// drivers\" is read as part of the line"},
      {"PROGRAM 0 10 RAM bank", "the text \"RAM bank\" after the size is ignored"},
  };
  for (const auto& c : cases) {
    const std::vector<lint_finding> findings = lint_findings(diagnose_memory_def_text(c.text), "d");
    bool said = false;
    for (const lint_finding& f : findings) {
      said = said || f.message.find(c.says) != std::string::npos;
    }
    EXPECT_TRUE(said) << c.text << "\nwants: " << c.says;
  }
}

const char k_definition[] =
    "PROGRAM 0x1000 0x100\n"  // 1: overfull
    "MEMORY  0x4000 0x20\n"   // 2
    "SEARCH text\n"           // 3
    "SEARCH .text\n"          // 4: matches what line 3 claimed
    "SEARCH nothing\n";       // 5: matches no section

const char k_map[] =
    "Sections:\n"                                             // 1
    "Idx Name          Size      VMA       LMA\n"             // 2
    "  0 .text         00000100  00001000  00001000  2**2\n"  // 3
    "                  CONTENTS, ALLOC, LOAD, CODE\n"         // 4
    "  1 .text         00000010  00001000  00001000  2**2\n"  // 5
    "                  CONTENTS, ALLOC, LOAD, CODE\n"         // 6
    "  2 .data         00000010  00004018  00004018  2**2\n"  // 7: half in the memory range
    "                  CONTENTS, ALLOC, DATA\n"               // 8
    "  3 .bss          00000040  00009000  00009000  2**2\n"  // 9: in no range
    "                  ALLOC\n"                               // 10
    "  4 .text.startup 00000008  00001000  00001000  2**0\n"  // 11: not a Tev2 name
    "                  CONTENTS, CODE\n"                      // 12
    "  5 .text$x       00000004  00001000  00001000  2**0\n"  // 13: no reader's name
    "                  CONTENTS, CODE\n"                      // 14
    "  6 .debug_line   00000100  00000000  00000000  2**0\n"  // 15: dropped by every reader
    "                  CONTENTS\n";                           // 16

class map_lint : public ::testing::Test {
 protected:
  std::vector<lint_finding> lint(const std::string& keyword) {
    const std::string definition = m_dir.write("memory.def", k_definition);
    analysis_request request;
    request.type_keyword = keyword;
    request.definition_path = definition;
    request.map_path = m_dir.write("firmware.map", k_map);
    request.collect_fates = true;
    m_analysis = analyse_memory(request);
    return lint_findings(diagnose_memory_def_file(definition), "memory.def",
                         {&m_analysis, keyword, "firmware.map"});
  }

  scoped_temp_dir m_dir;
  memory_analysis m_analysis;
};

TEST_F(map_lint, EachSectionInItsTrap) {
  const std::vector<lint_finding> findings = lint("Tev2");
  const std::vector<place> expected = {
      {"VL105", 1, 1, sv::warning},  {"VL104", 3, 1, sv::warning},  {"VL104", 4, 1, sv::warning},
      {"VL007", 5, 1, sv::warning},  {"VL102", 7, 1, sv::warning},  {"VL103", 9, 1, sv::note},
      {"VL101", 11, 1, sv::warning}, {"VL101", 13, 1, sv::warning},
  };
  ASSERT_EQ(places(findings), expected);
  for (std::size_t i = 0; i < findings.size(); ++i) {
    EXPECT_EQ(findings[i].file, i < 4 ? "memory.def" : "firmware.map") << findings[i].code;
  }
  const char* const says[] = {
      "the range PROGRAM 0x1000 0x100 is overfull: 2 sections use 0x110 bytes (106.25%), 0x10 "
      "bytes more than its size",
      "of names it claimed already",
      "matches 2 sections (0x110 bytes) whose names the SEARCH entry \"text \" (line 3) claimed "
      "first: \".text\"",
      "no counted program section of the map matches the SEARCH entry \"nothing \"",
      "\".data\" (line 7) at 0x4018, 0x10 bytes, lies across a range boundary of MEMORY 0x4000 "
      "0x20 (line 2): 0x8 inside it, 0x8 outside",
      "1 section (0x40 bytes) lies outside every PROGRAM and MEMORY range and is counted nowhere: "
      "\".bss\" (line 9) at 0x9000",
      "Tev2 does not take the name \".text.startup\": 1 section of that name (0x8 bytes) is left "
      "out; Tev2_mem32_unlimited takes it",
      "\".text$x\": 1 section of that name (0x4 bytes) is left out; no other keyword takes it "
      "either",
  };
  for (std::size_t i = 0; i < findings.size(); ++i) {
    EXPECT_NE(findings[i].message.find(says[i]), std::string::npos) << findings[i].message;
  }
}

TEST_F(map_lint, AnotherKeywordSeesOtherTraps) {
  // The 32-bit reader takes every name but the one with "$", without its
  // full stop: .text.startup fills the program range further, nothing holds
  // ".text" any more, and .debug_line is dropped as a debug name.
  const std::vector<lint_finding> findings = lint("Tev2_mem32_unlimited");
  std::vector<std::string> codes;
  for (const lint_finding& f : findings) {
    codes.push_back(f.code + "@" + std::to_string(f.line));
  }
  // .text.startup is counted now, though its attribute line lacks ALLOC.
  const std::vector<std::string> expected = {"VL105@1", "VL104@3",  "VL007@4", "VL007@5",
                                             "VL102@7", "VL103@9",  "VL108@11", "VL101@13"};
  EXPECT_EQ(codes, expected);
  EXPECT_NE(findings[0].message.find("3 sections use 0x118 bytes"), std::string::npos)
      << findings[0].message;
}

TEST_F(map_lint, AFailedAnalysisGivesTheDefinitionsFindingsOnly) {
  analysis_request request;
  request.type_keyword = "Tev2";
  request.definition_path = m_dir.write("memory.def", "PROGRAM 0 10 20\n");
  request.map_path = m_dir.file("missing.map");
  request.collect_fates = true;
  const memory_analysis analysis = analyse_memory(request);
  ASSERT_TRUE(analysis.failure.failed());
  const std::vector<lint_finding> findings =
      lint_findings(diagnose_memory_def_file(request.definition_path), "memory.def",
                    {&analysis, "Tev2", "missing.map"});
  EXPECT_EQ(places(findings), (std::vector<place>{{"VL012", 1, 14, sv::warning}}));
}

TEST_F(map_lint, ManyOfATrapEndInOneSum) {
  std::string map = "Sections:\nIdx Name          Size      VMA       LMA\n";
  for (int i = 0; i < 23; ++i) {
    map += "  0 .data         00000010  00004018  00004018  2**2\n                  ALLOC\n";
  }
  for (int i = 0; i < 22; ++i) {
    map += "  0 .text.f" + std::to_string(i) + " 00000008  00001000  00001000  2**2\n  CODE\n";
  }
  analysis_request request;
  request.type_keyword = "Tev2";
  request.definition_path = m_dir.write("memory.def", "MEMORY 0x4000 0x20\n");
  request.map_path = m_dir.write("many.map", map);
  request.collect_fates = true;
  const memory_analysis analysis = analyse_memory(request);
  const std::vector<lint_finding> findings = lint_findings(
      diagnose_memory_def_file(request.definition_path), "memory.def", {&analysis, "Tev2", "m"});
  std::vector<const lint_finding*> straddling;
  std::vector<const lint_finding*> names;
  for (const lint_finding& f : findings) {
    (f.code == "VL102" ? straddling : names).push_back(&f);
  }
  ASSERT_EQ(straddling.size(), 21u);
  ASSERT_EQ(names.size(), 21u);
  // The 21st section begins on line 3 + 2 * 20, the 21st name on line 49 + 2 * 20.
  EXPECT_EQ(straddling[20]->line, 43u);
  EXPECT_NE(
      straddling[20]->message.find("3 more sections (0x30 bytes) lie across a range boundary"),
      std::string::npos)
      << straddling[20]->message;
  EXPECT_EQ(names[20]->line, 89u);
  EXPECT_NE(names[20]->message.find("2 more names that Tev2 does not take, from \".text.f20\" on: "
                                    "2 sections (0x10 bytes) left out"),
            std::string::npos)
      << names[20]->message;
}

TEST(Lint, KeywordsThatTakeAName) {
  using list = std::vector<std::string>;
  EXPECT_EQ(keywords_accepting(".text.startup", "Tev2"), list{"Tev2_mem32_unlimited"});
  EXPECT_EQ(keywords_accepting(".text", "Tev2_mem32_unlimited"), (list{"Tev2", "Orm8", "Pux4"}));
  // Pux4 makes its "rodata" up from ".data"; its list does not take the name.
  EXPECT_EQ(keywords_accepting(".rodata", "Orm8"), (list{"Tev2", "Tev2_mem32_unlimited"}));
  EXPECT_EQ(keywords_accepting(".text$x", "Tev2"), list{});
  // The Altium reader's listing has another shape: it never takes an elxr line.
  EXPECT_EQ(keywords_accepting(".text", "Orm6"),
            (list{"Tev2", "Orm8", "Pux4", "Tev2_mem32_unlimited"}));
}

TEST(Lint, SeverityOrderAndCounts) {
  EXPECT_TRUE(at_least(sv::error, sv::warning));
  EXPECT_TRUE(at_least(sv::warning, sv::warning));
  EXPECT_FALSE(at_least(sv::note, sv::warning));
  EXPECT_FALSE(at_least(sv::warning, sv::error));
  EXPECT_TRUE(at_least(sv::note, sv::note));
  const std::vector<lint_finding> findings =
      lint_findings(diagnose_memory_def_text("PROGRAM\nhello\nx\nPROGRAM 0 1 2\n"), "d");
  const severity_counts counts = count_by_severity(findings);
  // VL005 and VL004 for the bare PROGRAM, two VL009 and one VL012.
  EXPECT_EQ(counts.errors, 1u);
  EXPECT_EQ(counts.warnings, 2u);
  EXPECT_EQ(counts.notes, 2u);
}

}  // namespace
