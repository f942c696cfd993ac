// The section-line patterns compiled with std::regex, behind the matcher
// interface, so the benchmarks can run the same pipeline with the regex
// engine the purpose-built matchers replace.
#pragma once

#include <regex>
#include <string>

#include "mapfile/c_map_file_elxr.h"
#include "mapfile/c_map_file_elxr_mem32_unlimited.h"
#include "mapfile/elxr_line_matcher.h"

class regex_line_matcher : public elxr_line_matcher {
 public:
  explicit regex_line_matcher(const std::string& text) : m_regex(text, std::regex::ECMAScript) {}

  bool match(std::string_view line, elxr_line_match& out) const override {
    std::match_results<std::string_view::const_iterator> groups;
    if (!std::regex_match(line.begin(), line.end(), groups, m_regex)) {
      return false;
    }
    const auto view = [&](int i) {
      return std::string_view(line.data() + groups.position(i),
                              static_cast<std::size_t>(groups.length(i)));
    };
    out = {view(1), view(2), view(3), view(4), view(5)};
    return true;
  }

 private:
  std::regex m_regex;
};

/// The Tev2 reader, matching with std::regex.
class regex_elxr_reader : public c_map_file_elxr {
 public:
  explicit regex_elxr_reader(std::string name) : c_map_file_elxr(std::move(name)) {}
  const elxr_line_matcher& section_pattern() const override {
    static const regex_line_matcher pattern(named_section_matcher::regex_text(section_names()));
    return pattern;
  }
};

/// The 32-bit reader, matching with std::regex.
class regex_mem32_reader : public c_map_file_elxr_mem32_unlimited {
 public:
  explicit regex_mem32_reader(std::string name)
      : c_map_file_elxr_mem32_unlimited(std::move(name)) {}
  const elxr_line_matcher& section_pattern() const override {
    static const regex_line_matcher pattern(mem32_section_matcher::regex_text());
    return pattern;
  }
};
