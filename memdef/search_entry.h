// One SEARCH line of the memory definition file: a small expression over
// section names. Plain terms must all occur in a name, "|" terms are
// alternatives to them, and a "!" term excludes every name it occurs in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class search_entry {
 public:
  /// Builds the entry from a SEARCH line's argument text.
  explicit search_entry(std::string_view text);

  /// Whether the entry covers the name (case-sensitive substring tests).
  bool matches(std::string_view name) const;

  /// All-terms, then "|" any-terms, then "!" none-terms, each followed by one
  /// blank, as the report prints the entry.
  const std::string& display_text() const { return m_display_text; }

  /// Adds n to total (wrapping modulo 2^32) when the entry is valid.
  bool add_size(std::uint32_t n);

  std::vector<std::string> any_terms;
  std::vector<std::string> all_terms;
  std::vector<std::string> none_terms;
  bool valid = false;
  std::uint32_t total = 0;

 private:
  std::string m_display_text;
};

/// The SEARCH entries of one definition file, in file order.
using search_list = std::vector<search_entry>;
