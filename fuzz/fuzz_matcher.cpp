// Fuzz target: the purpose-built elxr line matchers against std::regex on the
// pattern texts they stand for. Every line of the input (cut to a length
// std::regex handles) must give the same match result and the same captures,
// position and length, for the three name lists of the readers, the 32-bit
// shape and both stack symbol lines. A first line that starts with "#" names
// a list of its own ("|"-separated) to try the shape with other names.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mapfile/elxr_line_matcher.h"

namespace {
using namespace fuzz_support;

struct section_shape {
  const elxr_line_matcher* matcher;
  const std::regex* pattern;
};

std::size_t offset_in(const std::string& line, std::string_view part) {
  return static_cast<std::size_t>(part.data() - line.data());
}

void check_capture(const std::string& line, const std::smatch& expected, int group,
                   std::string_view actual) {
  FUZZ_CHECK(expected[group].matched);
  FUZZ_CHECK(static_cast<std::size_t>(expected.position(group)) == offset_in(line, actual));
  FUZZ_CHECK(static_cast<std::size_t>(expected.length(group)) == actual.size());
}

void check_section_shape(const section_shape& shape, const std::string& line) {
  std::smatch expected;
  const bool expected_match = std::regex_match(line, expected, *shape.pattern);
  elxr_line_match actual;
  const bool matched = shape.matcher->match(line, actual);
  FUZZ_CHECK(matched == expected_match);
  if (matched) {
    check_capture(line, expected, 1, actual.index);
    check_capture(line, expected, 2, actual.name);
    check_capture(line, expected, 3, actual.size);
    check_capture(line, expected, 4, actual.start);
    check_capture(line, expected, 5, actual.rest);
  }
}

void check_symbol_shape(const symbol_line_matcher& matcher, const std::regex& pattern,
                        const std::string& line) {
  std::smatch expected;
  const bool expected_match = std::regex_match(line, expected, pattern);
  std::string_view value;
  const bool matched = matcher.match(line, value);
  FUZZ_CHECK(matched == expected_match);
  if (matched) {
    check_capture(line, expected, 1, value);
  }
}

// Only characters that stand for themselves in a pattern.
std::vector<std::string> names_of(std::string_view text) {
  std::vector<std::string> names(1);
  for (const char c : text) {
    if (c == '|') {
      if (names.size() == 8) {
        break;
      }
      names.emplace_back();
    } else if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '_' || c == ',' || c == ' ' || c == '\t') &&
               names.back().size() < 24) {
      names.back() += c;
    }
  }
  return names;
}

struct named_shape {
  explicit named_shape(const std::vector<std::string>& names)
      : matcher(names), pattern(named_section_regex(names), std::regex::ECMAScript) {
    FUZZ_CHECK(named_section_matcher::regex_text(names) == named_section_regex(names));
  }
  named_section_matcher matcher;
  std::regex pattern;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const named_shape tev2(tev2_names());
  static const named_shape orm8(orm8_names());
  static const named_shape pux4(pux4_names());
  static const mem32_section_matcher mem32;
  static const std::regex mem32_pattern(mem32_section_regex(), std::regex::ECMAScript);
  static const symbol_line_matcher stack_begin("__stack_begin");
  static const symbol_line_matcher stack_end("__stack_end");
  static const std::regex begin_pattern("([0-9a-f]+)[[:space:]]+[A-Z]+[[:space:]]+__stack_begin",
                                        std::regex::ECMAScript);
  static const std::regex end_pattern("([0-9a-f]+)[[:space:]]+[A-Z]+[[:space:]]+__stack_end",
                                      std::regex::ECMAScript);
  static const bool texts_checked = [] {
    FUZZ_CHECK(mem32_section_matcher::regex_text() == mem32_section_regex());
    FUZZ_CHECK(symbol_line_matcher::regex_text("__stack_begin") ==
               "([0-9a-f]+)[[:space:]]+[A-Z]+[[:space:]]+__stack_begin");
    return true;
  }();
  (void)texts_checked;

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  for (std::size_t pos = 0; pos <= bytes.size();) {
    const std::size_t lf = std::min(bytes.find('\n', pos), bytes.size());
    lines.emplace_back(bytes.substr(pos, lf - pos));
    pos = lf + 1;
  }

  std::unique_ptr<named_shape> custom;
  if (!lines.empty() && !lines[0].empty() && lines[0][0] == '#') {
    custom = std::make_unique<named_shape>(names_of(std::string_view(lines[0]).substr(1)));
  }

  std::vector<section_shape> shapes = {{&tev2.matcher, &tev2.pattern},
                                       {&orm8.matcher, &orm8.pattern},
                                       {&pux4.matcher, &pux4.pattern},
                                       {&mem32, &mem32_pattern}};
  if (custom) {
    shapes.push_back({&custom->matcher, &custom->pattern});
  }
  for (std::string& line : lines) {
    if (line.size() > k_regex_line_limit) {
      line.resize(k_regex_line_limit);
    }
    for (const section_shape& shape : shapes) {
      check_section_shape(shape, line);
    }
    check_symbol_shape(stack_begin, begin_pattern, line);
    check_symbol_shape(stack_end, end_pattern, line);
  }
  return 0;
}
