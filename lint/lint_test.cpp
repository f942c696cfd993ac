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
  const std::vector<std::string> expected = {"VL105@1", "VL104@3", "VL007@4",  "VL007@5",
                                             "VL102@7", "VL103@9", "VL108@11", "VL101@13"};
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

namespace {

std::string firmware_file(const char* name) {
  return test_support::source_dir() + "/examples/cortex-m/" + name;
}

/// The map's findings as code@line, of a definition text against a listing file.
std::vector<std::string> map_codes(const std::string& definition_text, const std::string& map,
                                   const std::string& keyword,
                                   std::vector<lint_finding>* findings_out = nullptr) {
  const lint_run run =
      lint_inputs(input_source::in_memory(definition_text, "m.def"), input_source(map), keyword);
  EXPECT_EQ(run.unreadable, lint_unreadable::none);
  std::vector<std::string> codes;
  for (const lint_finding& f : run.findings) {
    codes.push_back(f.code + "@" + std::to_string(f.line) + " " +
                    std::string(severity_name(f.severity)));
  }
  if (findings_out != nullptr) {
    *findings_out = run.findings;
  }
  return codes;
}

// The GNU-linked Cortex-M firmware of examples/cortex-m, its listing made by
// objdump -h (and -h -w): the lines below are those of firmware.lst.
TEST(LintRealFirmware, EachDefinitionShowsItsTrap) {
  const char* const flash_and_ram =
      "PROGRAM 0x08000000 0x10000 // FLASH\nMEMORY 0x20000000 0x5000 // RAM\n";
  const struct {
    const char* what;
    std::string definition;
    const char* listing;
    std::vector<std::string> expected;
  } cases[] = {
      // .data runs in RAM and is loaded from flash; .heap (8 KiB of RAM) is
      // dropped by its name; .comment and .ARM.attributes lie at 0.
      {"the firmware's own ranges",
       flash_and_ram,
       "firmware.lst",
       {"VL109@14 note", "VL107@18 warning", "VL103@34 note"}},
      // objdump -h -w: every other section line is taken for an attribute line.
      {"a wide listing",
       flash_and_ram,
       "firmware-wide.lst",
       {"VL106@6 error", "VL107@12 warning", "VL103@20 note"}},
      // FLASH at 0: the sections that take no memory in the image are counted.
      {"flash defined at address 0",
       "PROGRAM 0x0 0x10000\nMEMORY 0x20000000 0x5000\n",
       "firmware.lst",
       {"VL103@6 note", "VL107@18 warning", "VL108@34 warning", "VL108@36 warning"}},
      // FLASH smaller than .text: .text lies across its end, counted nowhere.
      {"flash smaller than .text",
       "PROGRAM 0x08000000 0x1000\nMEMORY 0x20000000 0x5000\n",
       "firmware.lst",
       {"VL102@8 warning", "VL103@10 note", "VL107@18 warning"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(map_codes(c.definition, firmware_file(c.listing), "Tev2_mem32_unlimited"), c.expected)
        << c.what;
  }
}

TEST(LintRealFirmware, MessagesGiveTheBytesAndTheRange) {
  std::vector<lint_finding> findings;
  map_codes("PROGRAM 0x08000000 0x10000\nMEMORY 0x20000000 0x5000\n", firmware_file("firmware.lst"),
            "Tev2_mem32_unlimited", &findings);
  ASSERT_EQ(findings.size(), 3u);
  EXPECT_EQ(findings[0].message,
            "the initial values of the section \"data\" (line 14), 0x1E8 bytes, are loaded at "
            "0x8006304 in PROGRAM 0x8000000 0x10000 (line 1), away from its run address "
            "0x20000000: a load copy, counted in the range's footprint");
  EXPECT_EQ(findings[1].message,
            "the section \"heap\" (line 18) at 0x20000260, 0x2000 bytes, lies inside MEMORY "
            "0x20000000 0x5000 (line 2), but Tev2_mem32_unlimited drops it by its name "
            "(excluded_name): its bytes are counted nowhere");
}

TEST(LintRealFirmware, TheHintNeverNamesAKeywordThatDropsTheName) {
  // Tev2 does not take ".heap"; the 32-bit reader takes the line but drops
  // "heap" by its name, so no keyword counts it.
  EXPECT_EQ(keywords_accepting(".heap", "Tev2"), std::vector<std::string>{});
  EXPECT_EQ(keywords_accepting(".note.renesas", "Tev2"), std::vector<std::string>{});
  std::vector<lint_finding> findings;
  map_codes("PROGRAM 0x0 0x10000\nMEMORY 0x0 0x0\n", firmware_file("firmware.lst"), "Tev2",
            &findings);
  bool told = false;
  for (const lint_finding& f : findings) {
    if (f.code == "VL101" && f.line == 18) {
      told = true;
      EXPECT_NE(f.message.find("\".heap\": 1 section of that name (0x2000 bytes) is left out; no "
                               "other keyword takes it either"),
                std::string::npos)
          << f.message;
    }
  }
  EXPECT_TRUE(told);
}

TEST(LintMapTraps, WideColumnsAndLongLines) {
  scoped_temp_dir dir;
  const std::string header = "Sections:\nIdx Name          Size      VMA       LMA\n";
  const struct {
    const char* what;
    std::string listing;
    std::vector<std::string> expected;
  } cases[] = {
      {"an address beyond 32 bits, and one sign-extended",
       header + "  0 .text 00000100 0000000100000000 0000000100000000 00001000 2**2\n"
                "        CONTENTS, ALLOC, LOAD, READONLY, CODE\n"
                "  1 .data 00000010 ffffffff80001000 ffffffff80001000 00002000 2**2\n"
                "        CONTENTS, ALLOC, LOAD, DATA\n",
       {"VL110@3 error", "VL110@5 error"}},
      {"a size beyond 32 bits",
       header + "  0 .bss 100000000 00001000 00001000 00001000 2**2\n        ALLOC\n",
       {"VL110@3 error"}},
      {"a load address beyond 32 bits alone",
       header + "  0 .data 00000010 00001000 100000000 00001000 2**2\n  CONTENTS, ALLOC, LOAD\n",
       {"VL110@3 error"}},
      {"a section line over the reader's length",
       header + "  0 .text 00000100 00001000 00001000 " + std::string(3000, 'x') +
           "\n        CONTENTS, ALLOC, LOAD, CODE\n",
       {"VL111@3 warning"}},
      {"sections dropped by their names: only one that takes memory is told",
       header +
           "  0 .heap 00000100 00001000 00001000 00001000 2**3\n        ALLOC\n"
           "  1 .note.renesas 00000024 00000000 00000000 00002000 2**2\n  CONTENTS, READONLY\n"
           "  2 .debug_ram 00000010 00002000 00002000 00003000 2**2\n  CONTENTS, ALLOC, LOAD\n",
       {"VL107@3 warning", "VL107@7 warning"}},
      {"a long line that is no section line",
       header + std::string(2048, '=') + "\n  0 .text 00000100 00001000 00001000 2**2\n" +
           "        CONTENTS, ALLOC, LOAD, CODE\n",
       {"VL111@3 warning"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(
        map_codes("PROGRAM 0x0 0x10000\n", dir.write("map.lst", c.listing), "Tev2_mem32_unlimited"),
        c.expected)
        << c.what;
  }
}

TEST(LintMapTraps, AMapThatIsNoListingIsOneError) {
  scoped_temp_dir dir;
  const struct {
    const char* what;
    std::string bytes;
    const char* says;
  } cases[] = {
      {"ELF",
       std::string("\x7f"
                   "ELF\x01\x01\x01\0\0\0",
                   10),
       "is an ELF file"},
      {"GNU ld map", "Memory Configuration\n\nName Origin Length\n", "is a GNU ld map file"},
      {"empty", "", "holds no section line of the shape Tev2 reads"},
  };
  for (const auto& c : cases) {
    std::vector<lint_finding> findings;
    EXPECT_EQ(map_codes("PROGRAM 0 10\n", dir.write("m.map", c.bytes), "Tev2", &findings),
              std::vector<std::string>{"VL100@0 error"})
        << c.what;
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_NE(findings[0].message.find(c.says), std::string::npos) << findings[0].message;
  }
  // A listing without sections, but with its header, is an empty listing.
  EXPECT_EQ(map_codes("PROGRAM 0 10\n",
                      dir.write("h.map", "Idx Name          Size      VMA       LMA\n"), "Tev2"),
            std::vector<std::string>{});
}

TEST(LintMapTraps, ADefinitionThatIsNoTextIsOneFinding) {
  std::string binary;
  for (int i = 0; i < 4000; ++i) {
    binary += static_cast<char>((i * 37 + 11) % 256);
  }
  const lint_run run = lint_inputs(input_source::in_memory(binary, "blob.def"));
  ASSERT_EQ(run.findings.size(), 1u);
  EXPECT_EQ(run.findings[0].code, "VL013");
  EXPECT_EQ(run.findings[0].severity, sv::error);
  // NUL bytes after the range lines of a text are no reason to refuse it.
  using namespace std::string_literals;
  const lint_run text = lint_inputs(input_source::in_memory("PROGRAM 0 10\0junk\n"s, "t.def"));
  EXPECT_TRUE(text.findings.empty());
}

}  // namespace
