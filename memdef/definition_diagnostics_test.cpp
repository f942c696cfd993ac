// Findings about memory definition files: for each kind the lines that give
// it and the near misses that must not, where it points (line and column),
// what it carries, and that a file on disk gives what its text gives.
#include "memdef/definition_diagnostics.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using namespace std::string_literals;
using test_support::scoped_temp_dir;
using fk = definition_finding_kind;

struct at {
  fk kind;
  std::size_t line;
  std::size_t column;
  bool operator==(const at& other) const {
    return kind == other.kind && line == other.line && column == other.column;
  }
};

void PrintTo(const at& a, std::ostream* out) {
  *out << rule_of(a.kind).code << "@" << a.line << ":" << a.column;
}

std::vector<at> places(const definition_diagnosis& diagnosis) {
  std::vector<at> result;
  for (const definition_finding& f : diagnosis.findings) {
    result.push_back({f.kind, f.line, f.column});
  }
  return result;
}

const at k_no_ranges{fk::no_range_lines, 0, 0};

// The one finding of a kind in a text; fails the test when there is not exactly one.
definition_finding only(const std::string& text, fk kind) {
  const definition_diagnosis diagnosis = diagnose_memory_def_text(text);
  std::vector<definition_finding> found;
  for (const definition_finding& f : diagnosis.findings) {
    if (f.kind == kind) {
      found.push_back(f);
    }
  }
  EXPECT_EQ(found.size(), 1u) << text;
  return found.empty() ? definition_finding{} : found.front();
}

struct place_case {
  const char* what;
  std::string text;
  std::vector<at> expected;
};

TEST(DefinitionDiagnostics, EachKindAtItsLineAndColumn) {
  const std::string line_511 = "PROGRAM 0 10" + std::string(499, ' ');
  const place_case cases[] = {
      {"clean file",
       "// board\nPROGRAM 0 8000\nMEMORY 20000000 1000   // RAM\nEEPROM 0 800\n"
       "RESERVED 100 20\nSEARCH Com |Can !Test\n\n",
       {}},
      // Overlaps: the finding goes to the later line.
      {"partial", "PROGRAM 0 1000\nPROGRAM 800 1000\n", {{fk::overlap, 2, 1}}},
      {"memory inside program", "PROGRAM 0 1000\nMEMORY 10 10", {{fk::overlap, 2, 1}}},
      {"touching ranges", "PROGRAM 0 1000\nPROGRAM 1000 1000\nMEMORY 2000 1\n", {}},
      {"eeprom takes no part", "EEPROM 0 1000\nPROGRAM 0 1000\nMEMORY 1000 10\n", {}},
      {"counted reserved overlap",
       "PROGRAM 0 1000\nRESERVED 100 10\nRESERVED 108 10\n",
       {{fk::overlap, 3, 1}}},
      {"reserved across a program end",
       "RESERVED F00 200\nPROGRAM 0 1000\n",
       {{fk::overlap, 1, 1}}},
      {"reserved outside every program range", "PROGRAM 0 1000\nRESERVED 2000 10\n", {}},
      {"reserved held by a later program range",
       "PROGRAM 0 1000\nPROGRAM F00 400\n"
       "RESERVED F80 100\n",
       {{fk::overlap, 2, 1}}},
      {"a range of size 0 overlaps nothing",
       "PROGRAM 0 0\nPROGRAM 0 1000\n",
       {{fk::zero_size, 1, 1}}},
      // Keyword position: the arguments start after the keyword's length.
      {"indented",
       "  PROGRAM 0x100 0x200",
       {{fk::keyword_not_at_start, 1, 3}, {fk::zero_size, 1, 3}, {fk::bad_number, 1, 9}}},
      {"search after a word", "x SEARCH Com\nEEPROM 0 1\n", {{fk::keyword_not_at_start, 1, 3}}},
      // Letter case.
      {"lower case", "program 0 1000", {{fk::keyword_wrong_case, 1, 1}, k_no_ranges}},
      {"mixed case indented", "EEPROM 0 1\n \tMemory 0 10", {{fk::keyword_wrong_case, 2, 3}}},
      {"longer word", "EEPROM 0 1\nprograms 0 10", {{fk::unknown_line, 2, 1}}},
      {"word ends at a non-letter", "EEPROM 0 1\nreserved=0", {{fk::keyword_wrong_case, 2, 1}}},
      // Numbers.
      {"comma", "PROGRAM 1,2", {{fk::zero_size, 1, 1}, {fk::bad_number, 1, 10}}},
      {"no number", "PROGRAM", {{fk::zero_size, 1, 1}, {fk::bad_number, 1, 8}}},
      {"size missing", "MEMORY 10 ", {{fk::zero_size, 1, 1}, {fk::bad_number, 1, 11}}},
      {"beyond 32 bits", "PROGRAM 100000000 20", {{fk::zero_size, 1, 1}, {fk::bad_number, 1, 9}}},
      {"prefix without digit", "EEPROM 0x 10", {{fk::zero_size, 1, 1}, {fk::bad_number, 1, 9}}},
      // The top of the address space.
      {"ends exactly at 4 GiB", "PROGRAM -10 10\nPROGRAM FFFFFFFF 1\n", {{fk::overlap, 2, 1}}},
      {"ends one byte beyond", "PROGRAM -10 11\n", {{fk::beyond_4g, 1, 1}}},
      // SEARCH entries that cannot match.
      {"no term", "EEPROM 0 1\nSEARCH \t \n", {{fk::search_never_matches, 2, 1}}},
      {"exclusions only", "EEPROM 0 1\nSEARCH !Test !Foo", {{fk::search_never_matches, 2, 8}}},
      {"lone bang", "EEPROM 0 1\nSEARCH Com ! x", {{fk::search_never_matches, 2, 12}}},
      {"lone bar and double bang are fine", "EEPROM 0 1\nSEARCH |\nSEARCH !! Com", {}},
      // Comments.
      {"slash in a term", "EEPROM 0 1\nSEARCH I/O // drivers", {{fk::comment_not_cut, 2, 12}}},
      {"comment after numbers", "PROGRAM 0 10 // a/b // c\n///\n", {}},
      // After the size.
      {"third number", "PROGRAM 0 10 20", {{fk::text_after_numbers, 1, 14}}},
      {"words without a comment", "MEMORY 0 10  RAM bank", {{fk::text_after_numbers, 1, 14}}},
      {"a single slash", "EEPROM 0 1 / 2", {{fk::text_after_numbers, 1, 12}}},
      {"blanks after the size", "EEPROM 0 1 \t \r\n", {}},
      {"no size: nothing after it is read",
       "PROGRAM 10 x y",
       {{fk::zero_size, 1, 1}, {fk::bad_number, 1, 12}}},
      {"free text with a late comment",
       "EEPROM 0 1\nx / y // z",
       {{fk::unknown_line, 2, 1}, {fk::comment_not_cut, 2, 7}}},
      // Lines without keyword.
      {"free text", "EEPROM 0 1\n\n  hello world \n", {{fk::unknown_line, 3, 3}}},
      {"blank and comment lines", "EEPROM 0 1\n \t \n  // PROGRAM 0 10\n", {}},
      {"control bytes", "EEPROM 0 1\n\x01\x02\x7f\n", {{fk::unknown_line, 2, 1}}},
      // Line ends and the cut.
      {"crlf", "EEPROM 0 1\r\nprogram 1 2\r\n", {{fk::keyword_wrong_case, 2, 1}}},
      {"nul ends the text",
       "PROGRAM 0 10\0 junk\nmemory\0MEMORY 0 1\n"s,
       {{fk::keyword_wrong_case, 2, 1}}},
      {"exactly 511 characters", line_511 + "\r\n", {}},
      {"one more", line_511 + "x", {{fk::line_cut, 1, 512}}},
      {"terms beyond the cut are lost",
       "SEARCH" + std::string(505, ' ') + "Com\nEEPROM 0 1",
       {{fk::search_never_matches, 1, 1}, {fk::line_cut, 1, 512}}},
      // Files the report refuses.
      {"empty", "", {k_no_ranges}},
      {"search lines only", "SEARCH Com\n", {k_no_ranges}},
  };
  for (const place_case& c : cases) {
    EXPECT_EQ(places(diagnose_memory_def_text(c.text)), c.expected) << c.what;
  }
}

TEST(DefinitionDiagnostics, KeywordNotAtStartShowsWhatWasRead) {
  const definition_finding f = only("  PROGRAM 0x100 0x200", fk::keyword_not_at_start);
  EXPECT_EQ(f.read_as, line_program);
  EXPECT_EQ(f.keyword, "PROGRAM");
  EXPECT_EQ(f.argument_column, 8u);
  EXPECT_EQ(f.text, "AM 0x100 0x200");
  EXPECT_EQ(f.range.start, 0xAu);
  EXPECT_EQ(f.range.size, 0u);
  EXPECT_NE(f.message.find("column 8"), std::string::npos) << f.message;
  EXPECT_NE(f.message.find("start 0xA and size 0x0"), std::string::npos) << f.message;

  // The fixed keyword order decides, not the place in the line.
  const definition_finding later = only("MEMORY PROGRAM 10 20", fk::keyword_not_at_start);
  EXPECT_EQ(later.read_as, line_program);
  EXPECT_EQ(later.column, 8u);
  EXPECT_NE(later.message.find("MEMORY stands before it"), std::string::npos) << later.message;
}

TEST(DefinitionDiagnostics, BadNumberTellsWhichNumberAndWhy) {
  const struct {
    std::string line;
    std::size_t index;
    number_state state;
    std::string text;
    std::uint32_t start;
  } cases[] = {
      {"PROGRAM 1,2", 1, number_state::malformed, ",2", 1},
      {"PROGRAM 10 size", 1, number_state::malformed, "size", 0x10},
      {"PROGRAM", 0, number_state::missing, "", 0},
      {"MEMORY 10", 1, number_state::missing, "", 0x10},
      {"PROGRAM 100000000 20", 0, number_state::too_large, "100000000", 0},
      {"RESERVED - 5", 0, number_state::malformed, "-", 0},
  };
  for (const auto& c : cases) {
    const definition_finding f = only(c.line, fk::bad_number);
    EXPECT_EQ(f.number_index, c.index) << c.line;
    EXPECT_EQ(f.number, c.state) << c.line;
    EXPECT_EQ(f.text, c.text) << c.line;
    EXPECT_EQ(f.range.start, c.start) << c.line;
    EXPECT_EQ(f.range.size, 0u) << c.line;
  }
}

TEST(DefinitionDiagnostics, OverlapNamesBothRangesAndTheWinner) {
  using rel = overlap_relation;
  using won = overlap_placement;
  const struct {
    std::string text;
    std::size_t line;
    std::size_t other_line;
    rel relation;
    won placement;
    std::size_t winner;
    const char* says;
  } cases[] = {
      {"PROGRAM 0 1000\nPROGRAM 800 1000", 2, 1, rel::partial, won::earlier_line_wins, 1,
       "the range of line 1 wins a section inside both"},
      {"PROGRAM 0 1000\nPROGRAM 100 10", 2, 1, rel::inside_other, won::earlier_line_wins, 1,
       "the range of line 2 never gets a section"},
      {"MEMORY 100 10\nMEMORY 0 1000", 2, 1, rel::holds_other, won::earlier_line_wins, 1,
       "the range of line 1 wins"},
      {"MEMORY 0 1000\nEEPROM 0 1\nPROGRAM 0 1000", 3, 1, rel::same_range, won::program_wins, 3,
       "the range of line 1 never gets a section"},
      {"PROGRAM 0 100\nMEMORY 0 1000", 2, 1, rel::holds_other, won::program_wins, 1,
       "the range of line 1 wins"},
      {"PROGRAM 0 1000\nRESERVED 100 10\nRESERVED 108 10", 3, 2, rel::partial, won::counted_twice,
       0, "counted twice"},
      {"RESERVED F00 200\nPROGRAM 0 1000", 1, 2, rel::partial, won::reserved_not_counted, 0,
       "not counted"},
  };
  for (const auto& c : cases) {
    const definition_finding f = only(c.text, fk::overlap);
    EXPECT_EQ(f.line, c.line) << c.text;
    EXPECT_EQ(f.overlap.other_line, c.other_line) << c.text;
    EXPECT_EQ(f.overlap.relation, c.relation) << c.text;
    EXPECT_EQ(f.overlap.placement, c.placement) << c.text;
    EXPECT_EQ(f.overlap.winner_line, c.winner) << c.text;
    EXPECT_NE(f.message.find(c.says), std::string::npos) << f.message;
    EXPECT_NE(f.message.find("(line " + std::to_string(c.line) + ")"), std::string::npos)
        << f.message;
    EXPECT_NE(f.message.find("(line " + std::to_string(c.other_line) + "):"), std::string::npos)
        << f.message;
  }
  const definition_finding f = only("PROGRAM 0 1000\nPROGRAM 800 1000", fk::overlap);
  EXPECT_EQ(f.range.start, 0x800u);
  EXPECT_EQ(f.overlap.other_kind, line_program);
  EXPECT_EQ(f.overlap.other_range.size, 0x1000u);
  EXPECT_NE(
      f.message.find("PROGRAM 0x800 0x1000 (line 2) overlaps in part PROGRAM 0x0 0x1000 (line 1)"),
      std::string::npos)
      << f.message;
}

TEST(DefinitionDiagnostics, ManyEqualRangesGiveOneOverlapEach) {
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    text += "PROGRAM 0 1000\n";
  }
  const definition_diagnosis diagnosis = diagnose_memory_def_text(text);
  ASSERT_EQ(diagnosis.findings.size(), 2999u);
  for (std::size_t i = 0; i < diagnosis.findings.size(); ++i) {
    EXPECT_EQ(diagnosis.findings[i].line, i + 2);
    EXPECT_EQ(diagnosis.findings[i].overlap.winner_line, 1u);
  }
}

TEST(DefinitionDiagnostics, SearchProblems) {
  EXPECT_EQ(only("EEPROM 0 1\nSEARCH", fk::search_never_matches).search, search_problem::no_terms);
  EXPECT_EQ(only("EEPROM 0 1\nSEARCH !a", fk::search_never_matches).search,
            search_problem::none_terms_only);
  EXPECT_EQ(only("EEPROM 0 1\nSEARCH !", fk::search_never_matches).search,
            search_problem::empty_none_term);
  EXPECT_EQ(only("EEPROM 0 1\nSEARCH |x !", fk::search_never_matches).column, 11u);
}

TEST(DefinitionDiagnostics, WrongCaseAndCommentCarryTheirText) {
  const definition_finding word = only("program 0 1000", fk::keyword_wrong_case);
  EXPECT_EQ(word.keyword, "PROGRAM");
  EXPECT_EQ(word.text, "program");
  EXPECT_NE(word.message.find("ignored"), std::string::npos);

  const definition_finding slash = only("EEPROM 0 1\nSEARCH I/O // drivers", fk::comment_not_cut);
  EXPECT_EQ(slash.read_as, line_search);
  EXPECT_EQ(slash.text, "// drivers");
  EXPECT_NE(slash.message.find("column 9"), std::string::npos) << slash.message;
}

TEST(DefinitionDiagnostics, MessagesQuoteControlCharactersVisibly) {
  const definition_finding f = only("EEPROM 0 1\nab\x1b[2J\t\"c\"", fk::unknown_line);
  EXPECT_EQ(f.text, "ab\x1b[2J\t\"c\"");
  EXPECT_NE(f.message.find("\"ab\\x1B[2J\\t\\\"c\\\"\""), std::string::npos) << f.message;
}

TEST(DefinitionDiagnostics, TextAfterTheSizeIsQuoted) {
  const definition_finding number = only("PROGRAM 0 10 0x20 x", fk::text_after_numbers);
  EXPECT_EQ(number.text, "0x20 x");
  EXPECT_NE(number.message.find("a third number \"0x20 x\" after the size is ignored"),
            std::string::npos)
      << number.message;
  const definition_finding words = only("MEMORY 0 10 RAM  ", fk::text_after_numbers);
  EXPECT_EQ(words.text, "RAM");
  EXPECT_NE(words.message.find("the text \"RAM\""), std::string::npos) << words.message;
}

TEST(DefinitionDiagnostics, TextAfterTheSizeNamesTheLineWithItsArticle) {
  const std::pair<const char*, const char*> cases[] = {
      {"EEPROM 0 10 x", ": an EEPROM line takes a start and a size"},
      {"MEMORY 0 10 x", ": a MEMORY line takes a start and a size"},
      {"PROGRAM 0 10 x", ": a PROGRAM line takes a start and a size"},
      {"RESERVED 0 10 x", ": a RESERVED line takes a start and a size"},
  };
  for (const auto& [line, told] : cases) {
    const definition_finding f = only(line, fk::text_after_numbers);
    EXPECT_NE(f.message.find(told), std::string::npos) << f.message;
  }
}

TEST(DefinitionDiagnostics, PlacesOfTheReadersLists) {
  const definition_diagnosis d = diagnose_memory_def_text(
      "PROGRAM 0 10\n  MEMORY 0 10\nSEARCH\nx SEARCH a\nPROGRAM 10 10\nprogram 1 1\n");
  ASSERT_EQ(d.program_lines.size(), 2u);
  EXPECT_EQ(d.program_lines[1].line, 5u);
  ASSERT_EQ(d.memory_lines.size(), 1u);
  EXPECT_EQ(d.memory_lines[0].line, 2u);
  EXPECT_EQ(d.memory_lines[0].column, 3u);
  // The SEARCH line without terms makes no entry.
  ASSERT_EQ(d.search_lines.size(), 1u);
  EXPECT_EQ(d.search_lines[0].line, 4u);
  EXPECT_EQ(d.search_lines[0].column, 3u);
}

TEST(DefinitionDiagnostics, LineCountFollowsTheReader) {
  EXPECT_EQ(diagnose_memory_def_text("").line_count, 0u);
  EXPECT_EQ(diagnose_memory_def_text("\n").line_count, 1u);
  EXPECT_EQ(diagnose_memory_def_text("a\nb").line_count, 2u);
  EXPECT_EQ(diagnose_memory_def_text("a\r\nb\r\n").line_count, 2u);
  EXPECT_EQ(diagnose_memory_def_text(std::string(2000, 'x') + "\nPROGRAM 0 1").line_count, 2u);
}

TEST(DefinitionDiagnostics, AFileGivesWhatItsTextGives) {
  scoped_temp_dir dir;
  const std::string texts[] = {
      "PROGRAM 0 1000\r\nPROGRAM 800 1000\r\n",
      "  PROGRAM 0x100 0x200\nprogram\0x\nSEARCH !"s,
      std::string(3000, 'A') + "\nMEMORY 1,2\n",
      "SEARCH only\n",
      // Longer than a read block of the file reader.
      "x" + std::string(3 << 20, 'P') + "ROGRAM\nPROGRAM 0 1",
  };
  for (const std::string& text : texts) {
    const definition_diagnosis from_file = diagnose_memory_def_file(dir.write("m.def", text));
    const definition_diagnosis from_text = diagnose_memory_def_text(text);
    EXPECT_TRUE(from_file.readable);
    EXPECT_EQ(from_file.line_count, from_text.line_count);
    EXPECT_EQ(places(from_file), places(from_text));
  }
}

TEST(DefinitionDiagnostics, NoFileToReadIsToldApart) {
  scoped_temp_dir dir;
  for (const std::string& name : {dir.file("missing.def"), dir.path(), std::string()}) {
    const definition_diagnosis diagnosis = diagnose_memory_def_file(name);
    EXPECT_FALSE(diagnosis.readable) << name;
    EXPECT_TRUE(diagnosis.findings.empty()) << name;
  }
  EXPECT_TRUE(diagnose_memory_def_text("").readable);
}

TEST(DefinitionDiagnostics, RuleCodesAndSeverities) {
  using sv = finding_severity;
  const struct {
    fk kind;
    const char* code;
    sv severity;
  } rules[] = {
      {fk::overlap, "VL001", sv::warning},
      {fk::keyword_not_at_start, "VL002", sv::warning},
      {fk::keyword_wrong_case, "VL003", sv::warning},
      {fk::bad_number, "VL004", sv::error},
      {fk::zero_size, "VL005", sv::warning},
      {fk::beyond_4g, "VL006", sv::warning},
      {fk::search_never_matches, "VL007", sv::warning},
      {fk::comment_not_cut, "VL008", sv::warning},
      {fk::unknown_line, "VL009", sv::note},
      {fk::line_cut, "VL010", sv::warning},
      {fk::no_range_lines, "VL011", sv::error},
      {fk::text_after_numbers, "VL012", sv::warning},
  };
  for (const auto& r : rules) {
    EXPECT_EQ(rule_of(r.kind).code, r.code);
    EXPECT_EQ(rule_of(r.kind).severity, r.severity) << r.code;
  }
  EXPECT_EQ(severity_name(sv::note), "note");
}

// Any bytes: no crash, and every finding points into the file.
TEST(DefinitionDiagnostics, ArbitraryBytesGiveFindingsInsideTheFile) {
  std::mt19937 random(7);
  const std::string pieces[] = {"PROGRAM ", "MEMORY ", "RESERVED ", "SEARCH ",  "program", "//",
                                "/",        "!",       "|",         "0x",       "-",       "\r\n",
                                "\n",       "\0"s,     " ",         "FFFFFFFF", "1000"};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) {
      if (random() % 4 == 0) {
        text += static_cast<char>(random() % 256);
      } else {
        text += pieces[random() % (sizeof pieces / sizeof pieces[0])];
      }
    }
    const definition_diagnosis diagnosis = diagnose_memory_def_text(text);
    ASSERT_TRUE(diagnosis.readable);
    std::size_t previous = 0;
    for (const definition_finding& f : diagnosis.findings) {
      if (f.kind == fk::no_range_lines) {
        EXPECT_EQ(&f, &diagnosis.findings.back());
        continue;
      }
      EXPECT_GE(f.line, 1u);
      EXPECT_LE(f.line, diagnosis.line_count);
      EXPECT_GE(f.line, previous);
      EXPECT_GE(f.column, 1u);
      EXPECT_LE(f.column, 512u);
      EXPECT_FALSE(f.message.empty());
      previous = f.line;
    }
  }
}

}  // namespace
