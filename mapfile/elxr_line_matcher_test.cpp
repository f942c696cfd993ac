// Tests of the elxr line matchers: hand-derived cases for each shape, long
// lines, and a differential comparison with std::regex on the regex_text of
// each matcher over many generated lines.
#include "mapfile/elxr_line_matcher.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "mapfile/c_map_file_elxr.h"
#include "mapfile/c_map_file_elxr_mem32_unlimited.h"
#include "mapfile/c_map_file_elxr_orm8.h"
#include "mapfile/c_map_file_elxr_pux_ecu_4x.h"

// GCC 12 reports a false maybe-uninitialized inside the library's regex
// compiler when sanitizers are on; the warning is not about this code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

const std::vector<std::string> k_elxr_names = {
    "appinfo",        "bss",          "cfginfo",     "data",
    "DFALib_TextRam", "DFALib_Text",  "EEELib_Text", "fblflashblocks",
    "fixaddr",        "fixtype",      "intvect",     "noclrdatanvmflashblocks",
    "osstackbss",     "osstackdata",  "osstacksbss", "osstacksdata",
    "osstacktata",    "osstackzdata", "osstackzbss", "pblflashblocks",
    "robase",         "rodata",       "romdata",     "romsdata",
    "romtdata",       "romzdata",     "rosdata",     "rozdata",
    "sbss",           "sdabase",      "sdata",       "secinfo",
    "sharedata",      "stack",        "sldata",      "syscall",
    "tdata",          "text",         "zbss",        "zdata"};

const std::vector<std::string> k_orm8_names = {
    "bsct",          "ubsct",     "share",     "data",        "data, initialized", "bss",
    "RuxSysTestRam", "HalADCRam", "RuxEepRam", "RuxParamRam", "NvmBuffer",         "NoClear",
    "MY_STACK",      "eeprom",    "OptBytes",  "OptByTMU",    "OptByBL",           "vector",
    "PBL",           "const",     "text",      "ISR",         "STARTUPFUNC",       "CfgId",
    "Reserved",      "init"};

const std::vector<std::string> k_pux4_names = {
    "bsct",     "ubsct",  "share",    "data_begin",  "data",    "bss",      "NoClear",
    "MY_STACK", "eeprom", "OptBytes", "OptByTMU",    "OptByBL", "vector",   "PBL",
    "const",    "text",   "ISR",      "STARTUPFUNC", "CfgId",   "Reserved", "init"};

// Names that are prefixes of one another or hold blanks and commas.
const std::vector<std::string> k_prefix_names = {
    "b", "bs", "bss", "bss2", "data", "data, initialized", "data_begin", "a b", "x"};

// Names that begin with blanks, so that the blank run in front of the name
// column has to give back more than one character; and an empty name, which
// turns the any-character into the whole name column.
const std::vector<std::string> k_blank_names = {" bss", "  ", "\tq", "bss", "", "text"};

// The lists above are written out here on purpose: the readers must use
// exactly these names, in this order (the order of the alternatives).
TEST(SectionNameLists, ReadersAcceptTheKnownNamesInOrder) {
  EXPECT_EQ(c_map_file_elxr("").section_names(), k_elxr_names);
  EXPECT_EQ(c_map_file_elxr_orm8("").section_names(), k_orm8_names);
  EXPECT_EQ(c_map_file_elxr_pux_ecu_4x("").section_names(), k_pux4_names);
  EXPECT_TRUE(c_map_file_elxr_mem32_unlimited("").section_names().empty());
}

/// Makes a line readable in a failure message.
std::string printable(std::string_view line) {
  static const char k_hex[] = "0123456789abcdef";
  std::string text = "\"";
  for (const char c : line) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F && c != '\\' && c != '"') {
      text += c;
    } else {
      text += "\\x";
      text += k_hex[u >> 4];
      text += k_hex[u & 0xF];
    }
  }
  return text + "\" (" + std::to_string(line.size()) + " chars)";
}

// A match result the matchers must leave alone when a line does not match.
const std::string k_sentinel_text = "sentinel";
const std::string_view k_sentinel(k_sentinel_text);
const elxr_line_match k_untouched = {k_sentinel.substr(0, 1), k_sentinel.substr(1, 1),
                                     k_sentinel.substr(2, 1), k_sentinel.substr(3, 1),
                                     k_sentinel.substr(4, 1)};

bool same_view(std::string_view a, std::string_view b) {
  return a.data() == b.data() && a.size() == b.size();
}

void expect_untouched(const elxr_line_match& out, std::string_view line) {
  EXPECT_TRUE(same_view(out.index, k_untouched.index) && same_view(out.name, k_untouched.name) &&
              same_view(out.size, k_untouched.size) && same_view(out.start, k_untouched.start) &&
              same_view(out.rest, k_untouched.rest))
      << "result changed by a failed match of " << printable(line);
}

/// A section line with the captures derived by hand.
struct section_case {
  std::string line;
  bool matches;
  std::string index;
  std::string name;
  std::string size;
  std::string start;
  std::string rest;
};

section_case no_match(std::string line) { return {std::move(line), false, "", "", "", "", ""}; }

void expect_section(const elxr_line_matcher& matcher, const section_case& c) {
  elxr_line_match out = k_untouched;
  const bool matched = matcher.match(c.line, out);
  EXPECT_EQ(matched, c.matches) << printable(c.line);
  if (!matched) {
    expect_untouched(out, c.line);
    return;
  }
  if (c.matches) {
    EXPECT_EQ(out.index, c.index) << printable(c.line);
    EXPECT_EQ(out.name, c.name) << printable(c.line);
    EXPECT_EQ(out.size, c.size) << printable(c.line);
    EXPECT_EQ(out.start, c.start) << printable(c.line);
    EXPECT_EQ(out.rest, c.rest) << printable(c.line);
  }
}

/// Compares the matcher with the reference pattern on one line: the match
/// result and the position and length of every group. Returns the reference's
/// result.
bool expect_agrees(const elxr_line_matcher& matcher, const std::regex& reference,
                   const std::string& line) {
  std::smatch groups;
  const bool expected = std::regex_match(line, groups, reference);
  const std::string_view view(line);
  elxr_line_match out = k_untouched;
  const bool actual = matcher.match(view, out);
  EXPECT_EQ(actual, expected) << printable(line);
  if (!actual) {
    expect_untouched(out, line);
  } else if (expected) {
    const std::string_view captured[] = {out.index, out.name, out.size, out.start, out.rest};
    for (std::size_t g = 1; g <= 5; ++g) {
      const std::string_view& got = captured[g - 1];
      EXPECT_TRUE(groups[g].matched) << "group " << g << " of " << printable(line);
      EXPECT_EQ(got.data() - view.data(), groups.position(g))
          << "group " << g << " of " << printable(line);
      EXPECT_EQ(static_cast<std::ptrdiff_t>(got.size()), groups.length(g))
          << "group " << g << " of " << printable(line);
    }
  }
  return expected;
}

bool expect_symbol_agrees(const symbol_line_matcher& matcher, const std::regex& reference,
                          const std::string& line) {
  std::smatch groups;
  const bool expected = std::regex_match(line, groups, reference);
  const std::string_view view(line);
  std::string_view value = k_sentinel;
  const bool actual = matcher.match(view, value);
  EXPECT_EQ(actual, expected) << printable(line);
  if (!actual) {
    EXPECT_TRUE(same_view(value, k_sentinel)) << printable(line);
  } else if (expected) {
    EXPECT_EQ(value.data() - view.data(), groups.position(1)) << printable(line);
    EXPECT_EQ(static_cast<std::ptrdiff_t>(value.size()), groups.length(1)) << printable(line);
  }
  return expected;
}

std::regex compile(const std::string& text) { return std::regex(text, std::regex::ECMAScript); }

// ---------------------------------------------------------------------------
// Line generation for the differential tests.

// Blanks weighted towards the plain blank; the line feed is rare on purpose
// (a read line never holds one, but the matchers must still agree).
constexpr std::string_view k_blanks = "     \t\t\v\f\r";
constexpr std::string_view k_digits = "0123456789";
constexpr std::string_view k_hex = "0123456789abcdefABCDEF";
constexpr std::string_view k_bad_hex = "gG-x\x80 ";
// The character in front of a listed name.
constexpr std::string_view k_column_lead = "....__ \t\r\n\v\x80\xff,-bx0\0"sv;
// What may follow a name that is almost right.
constexpr std::string_view k_name_tail = "2,_ .sx\x80"sv;
constexpr std::string_view k_rest = "xx  yz-.,01AF\t\x80\xff\0\r\n"sv;
constexpr std::string_view k_punct = "...___-,$#!~@[`{}/:"sv;
constexpr std::string_view k_word = "azAZ09_."sv;
constexpr std::string_view k_name_breaks = "-,$\x80 .\r"sv;
constexpr std::string_view k_mixed = " \t\v\f\r\n0123456789abcdefABXYZgs._-,$:~\x80\xff\0"sv;

class line_maker {
 public:
  explicit line_maker(std::uint32_t seed) : m_rng(seed) {}

  std::size_t below(std::size_t n) { return n == 0 ? 0 : m_rng() % n; }
  bool chance(unsigned percent) { return below(100) < percent; }
  char pick(std::string_view alphabet) { return alphabet[below(alphabet.size())]; }

  std::string run(std::string_view alphabet, std::size_t min, std::size_t max) {
    std::string text;
    const std::size_t length = min + below(max - min + 1);
    for (std::size_t i = 0; i < length; ++i) {
      text += pick(alphabet);
    }
    return text;
  }

  /// One to three random insertions, replacements or deletions.
  void mutate(std::string& line) {
    const std::size_t edits = 1 + below(3);
    for (std::size_t i = 0; i < edits; ++i) {
      const std::size_t at = below(line.size() + 1);
      switch (below(3)) {
        case 0:
          line.insert(line.begin() + static_cast<std::ptrdiff_t>(at), pick(k_mixed));
          break;
        case 1:
          if (at < line.size()) {
            line[at] = pick(k_mixed);
          }
          break;
        default:
          if (at < line.size()) {
            line.erase(at, 1);
          }
          break;
      }
    }
  }

  std::string hex_column() {
    std::string text = run(k_hex, chance(97) ? 1 : 0, 4);
    if (chance(4)) {
      text.insert(below(text.size() + 1), 1, pick(k_bad_hex));
    }
    return text;
  }

  /// Index column and the blanks around it.
  std::string lead() {
    std::string text = run(k_blanks, 0, 3);
    text += chance(95) ? run(k_digits, 1, 3) : run(k_mixed, 0, 2);
    text += run(k_blanks, chance(95) ? 1 : 0, 4);
    return text;
  }

  /// Size, start and rest columns with the blanks between them.
  std::string tail() {
    std::string text = run(k_blanks, chance(95) ? 1 : 0, 3);
    text += hex_column();
    text += run(k_blanks, chance(95) ? 1 : 0, 3);
    text += hex_column();
    text += run(k_blanks, chance(85) ? 1 : 0, 3);
    text += chance(70) ? run(k_rest.substr(0, 14), 0, 8) : run(k_rest, 0, 8);
    return text;
  }

  std::string named_line(const std::vector<std::string>& names) {
    std::string line = lead();
    const std::string& name = names[below(names.size())];
    switch (below(8)) {
      case 0:
        line += pick(k_column_lead) + name.substr(0, below(name.size() + 1));  // a prefix
        break;
      case 1:
        line += pick(k_column_lead) + name + run(k_name_tail, 1, 2);
        break;
      case 2:
        line += name;  // no leading character
        break;
      case 3:
        line += pick(k_column_lead) + name + run(k_blanks, 1, 2) + names[below(names.size())];
        break;
      case 4:
        line += run(k_mixed, 0, 6);
        break;
      default:
        line += pick(k_column_lead) + name;
        break;
    }
    line += tail();
    if (chance(15)) {
      mutate(line);
    }
    return line;
  }

  std::string mem32_line() {
    std::string line = lead();
    line += run(k_punct, 0, 4);
    line += run(k_word, chance(90) ? 1 : 0, 5);
    if (chance(20)) {
      line += pick(k_name_breaks) + run(k_word, 0, 3);
    }
    line += tail();
    if (chance(15)) {
      mutate(line);
    }
    return line;
  }

  /// Mostly lines for own, sometimes for one of the other symbols.
  std::string symbol_line(const std::string& own, const std::vector<std::string>& symbols) {
    std::string line;
    if (chance(5)) {
      line += pick(" \tA0"sv);
    }
    line += run(chance(90) ? "0123456789abcdef"sv : "0123456789abcdefABCDEFg"sv, 1, 5);
    line += run(k_blanks, chance(95) ? 1 : 0, 3);
    line += run(chance(90) ? "ABSZ"sv : "ABSZa1_"sv, chance(95) ? 1 : 0, 3);
    line += run(k_blanks, chance(95) ? 1 : 0, 3);
    const std::string& symbol = chance(60) ? own : symbols[below(symbols.size())];
    switch (below(6)) {
      case 0:
        line += symbol.substr(0, below(symbol.size() + 1));
        break;
      case 1:
        line += symbol + pick(" x\r_"sv);
        break;
      default:
        line += symbol;
        break;
    }
    if (chance(10)) {
      mutate(line);
    }
    return line;
  }

  /// A short line over a small alphabet that holds every class in play.
  std::string noise_line() { return run(" \t\r1 0.bsx_-AF,\x80\n"sv, 0, 24); }

 private:
  std::mt19937 m_rng;
};

/// Runs the differential comparison on count generated lines and checks that
/// both matching and non-matching lines were well represented.
template <typename Make>
void compare_generated(const elxr_line_matcher& matcher, const std::regex& reference,
                       std::uint32_t seed, std::size_t count, Make make) {
  line_maker maker(seed);
  std::size_t matched = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string line = make(maker);
    if (expect_agrees(matcher, reference, line)) {
      ++matched;
    }
    if (::testing::Test::HasFailure()) {
      return;
    }
  }
  EXPECT_GE(matched, count / 5) << "too few generated lines match";
  EXPECT_GE(count - matched, count / 5) << "too few generated lines fail";
}

// ---------------------------------------------------------------------------
// Pattern texts.

TEST(ElxrLineMatcherRegexText, NamedShapeJoinsNamesWithUnescapedAnyCharacter) {
  EXPECT_EQ(named_section_matcher::regex_text({"bss", "data, initialized"}),
            "[[:space:]]*([[:digit:]]+)[[:space:]]+(.bss|.data, initialized)"
            "[[:space:]]+([[:xdigit:]]+)[[:space:]]+([[:xdigit:]]+)[[:space:]]+(.*)");
  EXPECT_EQ(named_section_matcher::regex_text({}),
            "[[:space:]]*([[:digit:]]+)[[:space:]]+()"
            "[[:space:]]+([[:xdigit:]]+)[[:space:]]+([[:xdigit:]]+)[[:space:]]+(.*)");

  const std::string text = named_section_matcher::regex_text(k_elxr_names);
  EXPECT_EQ(text.rfind("[[:space:]]*([[:digit:]]+)[[:space:]]+(.appinfo|.bss|.cfginfo|", 0), 0u);
  const std::string end =
      "|.text|.zbss|.zdata)[[:space:]]+([[:xdigit:]]+)[[:space:]]+([[:xdigit:]]+)"
      "[[:space:]]+(.*)";
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
}

TEST(ElxrLineMatcherRegexText, Mem32AndSymbolShapes) {
  EXPECT_EQ(mem32_section_matcher::regex_text(),
            "[[:space:]]*([[:digit:]]+)[[:space:]]+[[:punct:]]*([a-zA-Z0-9_.]+)"
            "[[:space:]]+([[:xdigit:]]+)[[:space:]]+([[:xdigit:]]+)[[:space:]]+(.*)");
  EXPECT_EQ(symbol_line_matcher::regex_text("__stack_begin"),
            "([0-9a-f]+)[[:space:]]+[A-Z]+[[:space:]]+__stack_begin");
  EXPECT_EQ(symbol_line_matcher::regex_text("__stack_end"),
            "([0-9a-f]+)[[:space:]]+[A-Z]+[[:space:]]+__stack_end");
}

// ---------------------------------------------------------------------------
// Hand-derived cases. Each list is also compared with the reference pattern.

const std::vector<section_case>& named_cases() {
  static const std::vector<section_case> cases = {
      {"  5 .bss            00000120 40000010  00000000  2**3", true, "5", ".bss", "00000120",
       "40000010", "00000000  2**3"},
      {"5 _bss 1 2 ", true, "5", "_bss", "1", "2", ""},
      {"\t\v\f 12 .text 0 aBcDeF z", true, "12", ".text", "0", "aBcDeF", "z"},
      // The blank run gives back its last blank to the any-character.
      {"  5  bss 100 200 x", true, "5", " bss", "100", "200", "x"},
      {"5\t\tbss 1 2 x", true, "5", "\tbss", "1", "2", "x"},
      // A carriage return is no any-character.
      no_match("5\r\rbss 1 2 x"),
      // A carriage return among the blanks in front of the rest is a blank.
      {"5 .bss 1 2\r", true, "5", ".bss", "1", "2", ""},
      {"5 .bss 1 2 \rx", true, "5", ".bss", "1", "2", "x"},
      no_match("5 .bss 1 2 x\r"),
      no_match("5 .bss 1 2 x\ny"),
      no_match("5 .bss 1 2"),
      no_match("5 .bss 1 2x"),
      no_match("5 .text.init 1 2 x"),
      no_match("5 .bss2 1 2 x"),
      no_match("5 .BSS 1 2 x"),
      no_match("5 bss 1 2 x"),
      no_match("5 .bss 1g 2 x"),
      no_match("5 .bss  2 x"),
      no_match(" .bss 1 2 x"),
      no_match("5.bss 1 2 x"),
      no_match("x5 .bss 1 2 x"),
      no_match(""),
      no_match("   "),
      {"0 \x80"
       "data 1 2 \xff",
       true, "0",
       "\x80"
       "data",
       "1", "2", "\xff"},
      {"0 \0data 1 2 \0"s, true, "0", "\0data"s, "1", "2", "\0"s},
      no_match("idx name size start rest"),
  };
  return cases;
}

TEST(NamedSectionMatcher, ElxrLines) {
  const named_section_matcher matcher(k_elxr_names);
  const std::regex reference = compile(named_section_matcher::regex_text(k_elxr_names));
  for (const section_case& c : named_cases()) {
    expect_section(matcher, c);
    expect_agrees(matcher, reference, c.line);
  }
}

TEST(NamedSectionMatcher, NameChoiceFollowsBacktrackingOrder) {
  const std::vector<std::vector<std::string>> lists = {
      k_orm8_names, k_pux4_names, {"b", "bs", "bss"}, {" bss", "bss"}, {" bss"}, {"a", "a g"}};
  const std::vector<std::pair<std::size_t, section_case>> cases = {
      // A name with a comma and a blank is one name; the shorter name cannot
      // be followed by the comma.
      {0, {"3 .data, initialized 10 20 x", true, "3", ".data, initialized", "10", "20", "x"}},
      {0, {"3 .data 10 20 x", true, "3", ".data", "10", "20", "x"}},
      {0, no_match("3 .rodata 10 20 x")},
      {0, no_match("3 .sdata 10 20 x")},
      {1, {"3 .data_begin fe0000 0 x", true, "3", ".data_begin", "fe0000", "0", "x"}},
      {1, no_match("3 .data, initialized 10 20 x")},
      {1, no_match("3 .stack 10 20 x")},
      // Earlier names that are prefixes fail on their tail; the full name wins.
      {2, {"1 .bss 1 2 x", true, "1", ".bss", "1", "2", "x"}},
      {2, {"1 .bs 1 2 x", true, "1", ".bs", "1", "2", "x"}},
      // The any-character further right wins over an earlier listed name.
      {3, {"1   bss 1 2 z", true, "1", " bss", "1", "2", "z"}},
      // Only a name that begins with a blank: the run gives back two blanks.
      {4, {"1   bss 1 2 z", true, "1", "  bss", "1", "2", "z"}},
      {4, no_match("1 .bss 1 2 z")},
      // The first name matches the column but not the tail behind it.
      {5, {"1 .a g 1 2 x", true, "1", ".a g", "1", "2", "x"}},
      {5, {"1 .a 1 2 3", true, "1", ".a", "1", "2", "3"}},
      {5, no_match("1 .a 1 2")},
  };
  for (const auto& [list, c] : cases) {
    SCOPED_TRACE(named_section_matcher::regex_text(lists[list]));
    const named_section_matcher matcher(lists[list]);
    expect_section(matcher, c);
    expect_agrees(matcher, compile(named_section_matcher::regex_text(lists[list])), c.line);
  }
}

TEST(NamedSectionMatcher, EmptyListLeavesAnEmptyNameBetweenTwoBlankRuns) {
  const named_section_matcher matcher({});
  const std::regex reference = compile(named_section_matcher::regex_text({}));
  const std::vector<section_case> cases = {
      {"1  10 20 x", true, "1", "", "10", "20", "x"},
      no_match("1 10 20 x"),
      no_match("1 .bss 10 20 x"),
  };
  for (const section_case& c : cases) {
    expect_section(matcher, c);
    expect_agrees(matcher, reference, c.line);
  }
}

TEST(Mem32SectionMatcher, LeadingPunctuationIsStrippedFromTheName) {
  const mem32_section_matcher matcher;
  const std::regex reference = compile(mem32_section_matcher::regex_text());
  const std::vector<section_case> cases = {
      {"  1 .text 00001000 40001000 x", true, "1", "text", "00001000", "40001000", "x"},
      {"  1 _bss 10 20 x", true, "1", "bss", "10", "20", "x"},
      {"  1 .text.startup 10 20 x", true, "1", "text.startup", "10", "20", "x"},
      {"  1 __stack_area 10 20 x", true, "1", "stack_area", "10", "20", "x"},
      {"  1 .mysection 10 FEBF0000 ", true, "1", "mysection", "10", "FEBF0000", ""},
      {"  1 text 10 20 x", true, "1", "text", "10", "20", "x"},
      {"  1 -text 10 20 x", true, "1", "text", "10", "20", "x"},
      {"  1 .$x 10 20 x", true, "1", "x", "10", "20", "x"},
      // The run gives back one character when nothing else is left.
      {"  1 ... 10 20 x", true, "1", ".", "10", "20", "x"},
      {"  1 ._ 10 20 x", true, "1", "_", "10", "20", "x"},
      {"  1 -_ 10 20 x", true, "1", "_", "10", "20", "x"},
      no_match("  1 .my-section 10 20 x"),
      no_match("  1 .data,init 10 20 x"),
      no_match("  1 .a$b 10 20 x"),
      no_match("  1 ._- 10 20 x"),
      no_match("  1 $ 10 20 x"),
      no_match("  1 .\x80text 10 20 x"),
      no_match("  1 .text\x80 10 20 x"),
      no_match("  1 .text 10 20"),
      no_match("  1 .text 10 20 x\r"),
      no_match("  1  10 20 x"),
  };
  for (const section_case& c : cases) {
    expect_section(matcher, c);
    expect_agrees(matcher, reference, c.line);
  }
}

TEST(SymbolLineMatcher, ValueLowerCaseHexAtTheStartSymbolAtTheEnd) {
  const symbol_line_matcher begin("__stack_begin");
  const std::regex reference = compile(symbol_line_matcher::regex_text("__stack_begin"));
  struct symbol_case {
    std::string line;
    bool matches;
    std::string value;
  };
  const std::vector<symbol_case> cases = {
      {"fedf0000 ABS __stack_begin", true, "fedf0000"},
      {"fedf0000\tABS\v\f __stack_begin", true, "fedf0000"},
      {"0 X  __stack_begin", true, "0"},
      {"FEDF0000 ABS __stack_begin", false, ""},
      {"fedF0000 ABS __stack_begin", false, ""},
      {" fedf0000 ABS __stack_begin", false, ""},
      {"fedf0000 ABS __stack_begin ", false, ""},
      {"fedf0000 ABS __stack_begin\r", false, ""},
      {"fedf0000 ABS __stack_begin_x", false, ""},
      {"fedf0000 ABS __stack_end", false, ""},
      {"fedf0000 abs __stack_begin", false, ""},
      {"fedf0000 A1 __stack_begin", false, ""},
      {"fedf0000ABS __stack_begin", false, ""},
      {"fedf0000 ABS__stack_begin", false, ""},
      {"fedf0000 __stack_begin", false, ""},
      {"fedf0000 ABS x__stack_begin", false, ""},
      {"__stack_begin", false, ""},
      {"", false, ""},
  };
  for (const symbol_case& c : cases) {
    std::string_view value = k_sentinel;
    const bool matched = begin.match(c.line, value);
    EXPECT_EQ(matched, c.matches) << printable(c.line);
    if (matched && c.matches) {
      EXPECT_EQ(value, c.value) << printable(c.line);
    }
    expect_symbol_agrees(begin, reference, c.line);
  }

  // A symbol that begins with a blank takes it from the blank run.
  const symbol_line_matcher blank(" s");
  std::string_view value;
  EXPECT_TRUE(blank.match("1f A  s", value));
  EXPECT_EQ(value, "1f");
  EXPECT_FALSE(blank.match("1f A s", value));
}

// ---------------------------------------------------------------------------
// Lines of the longest length a map line can have (2047 characters).

constexpr std::size_t k_longest_line = 2047;

TEST(ElxrLineMatcherLongLines, PunctuationRunsAreRejectedOrStrippedWhole) {
  const mem32_section_matcher matcher;
  // "._" pairs ending in a hyphen: no name can be formed from any split.
  std::string pairs;
  for (std::size_t i = 0; i < 1023; ++i) {
    pairs += "._";
  }
  ASSERT_EQ((pairs + "-").size(), k_longest_line);
  expect_section(matcher, no_match(pairs + "-"));
  const std::string indexed = "1 " + pairs.substr(2) + "-";
  ASSERT_EQ(indexed.size(), k_longest_line);
  expect_section(matcher, no_match(indexed));

  // The same run followed by columns keeps its last '_' as the name.
  const std::string columns = " 10 20 x";
  const std::string run_only = "1 " + pairs.substr(0, k_longest_line - 2 - columns.size() - 1);
  const std::string underscore_last = run_only + "_" + columns;
  ASSERT_EQ(underscore_last.size(), k_longest_line);
  ASSERT_EQ(underscore_last[underscore_last.size() - columns.size() - 1], '_');
  expect_section(matcher, {underscore_last, true, "1", "_", "10", "20", "x"});

  // A long punctuation run in front of a long name.
  const std::string name(1000, 'a');
  const std::string dots(k_longest_line - 2 - name.size() - columns.size(), '.');
  expect_section(matcher, {"1 " + dots + name + columns, true, "1", name, "10", "20", "x"});
}

TEST(ElxrLineMatcherLongLines, LongBlankRunsAndColumns) {
  const named_section_matcher elxr(k_elxr_names);
  const std::string blanks(2000, ' ');
  const std::string head = "7" + blanks + ".bss 10 20 ";
  const std::string rest(k_longest_line - head.size(), 'r');
  expect_section(elxr, {head + rest, true, "7", ".bss", "10", "20", rest});

  // A run of 2000 blanks in front of "bss": the any-character is its last one.
  const std::string shifted = "7" + blanks + "bss 1 2 " + std::string(38, 'z');
  ASSERT_EQ(shifted.size(), k_longest_line);
  expect_section(elxr, {shifted, true, "7", " bss", "1", "2", std::string(38, 'z')});

  // A name of two blanks fits at every position of the run; only where its
  // end leaves the last blank in front of the size does the tail match. The
  // name column is then three blanks.
  const named_section_matcher two_blanks({"  "});
  const std::string gap(k_longest_line - 1 - 6, ' ');
  expect_section(two_blanks, {"7" + gap + "1 2 z ", true, "7", "   ", "1", "2", "z "});
  expect_section(two_blanks, no_match("7" + gap + "x 1 2 "));

  // Hex columns filling the line.
  const std::string size(1000, 'F');
  const std::string start(k_longest_line - 10 - size.size(), 'a');
  ASSERT_EQ(("1 .text " + size + " " + start + " ").size(), k_longest_line);
  expect_section(elxr,
                 {"1 .text " + size + " " + start + " ", true, "1", ".text", size, start, ""});
  expect_section(elxr, no_match("1 .text " + size + " " + start + "g"));
}

TEST(ElxrLineMatcherLongLines, SymbolLines) {
  const symbol_line_matcher begin("__stack_begin");
  const std::string symbol = "__stack_begin";
  const std::string value(k_longest_line - 5 - symbol.size(), 'f');
  const std::string kinds(k_longest_line - 3 - symbol.size(), 'A');
  const std::string blanks(k_longest_line - 5 - symbol.size(), ' ');
  const std::vector<std::pair<std::string, std::string>> matching = {
      {value + " ABS " + symbol, value},
      {"0 " + kinds + " " + symbol, "0"},
      {"0" + blanks + "ABS " + symbol, "0"},
      {"0 ABS" + blanks + symbol, "0"},
  };
  for (const auto& [line, expected] : matching) {
    ASSERT_EQ(line.size(), k_longest_line);
    std::string_view got;
    EXPECT_TRUE(begin.match(line, got)) << printable(line.substr(0, 40));
    EXPECT_EQ(got, expected);
  }
  const std::string trailing = value.substr(1) + " ABS " + symbol + "x";
  ASSERT_EQ(trailing.size(), k_longest_line);
  std::string_view got = k_sentinel;
  EXPECT_FALSE(begin.match(trailing, got));
}

// ---------------------------------------------------------------------------
// Differential comparison with the reference pattern on generated lines.

TEST(ElxrLineMatcherDifferential, NamedShapeAgreesWithReference) {
  const std::vector<const std::vector<std::string>*> lists = {
      &k_elxr_names, &k_orm8_names, &k_pux4_names, &k_prefix_names, &k_blank_names};
  std::uint32_t seed = 1;
  for (const std::vector<std::string>* names : lists) {
    SCOPED_TRACE(named_section_matcher::regex_text(*names));
    const named_section_matcher matcher(*names);
    const std::regex reference = compile(named_section_matcher::regex_text(*names));
    compare_generated(matcher, reference, seed++, 10000,
                      [names](line_maker& maker) { return maker.named_line(*names); });
    line_maker noise(seed++);
    for (std::size_t i = 0; i < 5000 && !::testing::Test::HasFailure(); ++i) {
      expect_agrees(matcher, reference, noise.noise_line());
    }
  }
}

TEST(ElxrLineMatcherDifferential, EmptyNameListAgreesWithReference) {
  const named_section_matcher matcher({});
  const std::regex reference = compile(named_section_matcher::regex_text({}));
  compare_generated(matcher, reference, 101, 3000, [](line_maker& maker) {
    return maker.lead() + maker.run(k_blanks, 0, 2) + maker.tail();
  });
}

TEST(ElxrLineMatcherDifferential, Mem32ShapeAgreesWithReference) {
  const mem32_section_matcher matcher;
  const std::regex reference = compile(mem32_section_matcher::regex_text());
  compare_generated(matcher, reference, 202, 20000,
                    [](line_maker& maker) { return maker.mem32_line(); });
  line_maker noise(203);
  for (std::size_t i = 0; i < 10000 && !::testing::Test::HasFailure(); ++i) {
    expect_agrees(matcher, reference, noise.noise_line());
  }
}

TEST(ElxrLineMatcherDifferential, SymbolShapeAgreesWithReference) {
  const std::vector<std::string> symbols = {"__stack_begin", "__stack_end", " s", "", "A B", "\tq"};
  std::uint32_t seed = 300;
  for (const std::string& symbol : symbols) {
    SCOPED_TRACE(printable(symbol));
    const symbol_line_matcher matcher(symbol);
    const std::regex reference = compile(symbol_line_matcher::regex_text(symbol));
    line_maker maker(seed++);
    std::size_t matched = 0;
    const std::size_t count = 6000;
    for (std::size_t i = 0; i < count && !::testing::Test::HasFailure(); ++i) {
      if (expect_symbol_agrees(matcher, reference, maker.symbol_line(symbol, symbols))) {
        ++matched;
      }
    }
    EXPECT_GE(matched, count / 5) << "too few generated lines match";
    EXPECT_GE(count - matched, count / 5) << "too few generated lines fail";
  }
}

}  // namespace
