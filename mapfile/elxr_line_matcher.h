// Purpose-built matchers for the fixed line shapes of elxr map listings.
// Each gives exactly the match result and the captures of the regular
// expression whose text regex_text() returns (ECMAScript, POSIX classes of
// the classic locale, whole-line match, leftmost-first backtracking), but in
// linear time, without recursion and without allocating per line: a general
// regex engine recurses once per character and backtracks quadratically on
// long runs of punctuation. The regex texts serve as the reference in tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// Captures of a section line; views into the matched line.
struct elxr_line_match {
  std::string_view index;  ///< group 1: decimal running index
  std::string_view name;   ///< group 2: section name
  std::string_view size;   ///< group 3: first hexadecimal column
  std::string_view start;  ///< group 4: second hexadecimal column
  std::string_view rest;   ///< group 5: rest of the line, possibly empty
};

/// A compiled section-line pattern.
class elxr_line_matcher {
 public:
  virtual ~elxr_line_matcher() = default;
  /// Whole-line match; fills out only on success.
  virtual bool match(std::string_view line, elxr_line_match& out) const = 0;
};

/// The section-line shape with a list of known names: index, any one
/// character directly followed by one of the names, size, start, rest.
class named_section_matcher : public elxr_line_matcher {
 public:
  explicit named_section_matcher(std::vector<std::string> names);
  bool match(std::string_view line, elxr_line_match& out) const override;

  /// "[[:space:]]*([[:digit:]]+)[[:space:]]+(.name1|.name2|...)"
  /// "[[:space:]]+([[:xdigit:]]+)[[:space:]]+([[:xdigit:]]+)[[:space:]]+(.*)"
  static std::string regex_text(const std::vector<std::string>& names);

 private:
  /// Whether a name can start only on the first character after the blank
  /// run behind the index or on the one after it (no name is empty or begins
  /// with a blank); then the names are looked up by their first character.
  /// Fills every capture but the index on success.
  bool match_by_first_char(std::string_view line, std::size_t gap_begin, std::size_t gap_end,
                           elxr_line_match& out) const;

  std::vector<std::string> m_names;
  bool m_by_first_char = true;
  struct candidate {
    std::uint32_t index;  ///< into m_names
    std::uint32_t size;   ///< of the name
    bool spaced;          ///< whether the name holds a blank
  };
  /// The names beginning with each character, in list order.
  std::vector<candidate> m_first_char_names[256];
};

/// The section-line shape of the 32-bit reader: any name of letters, digits,
/// '_' and '.', with leading punctuation stripped from the capture.
class mem32_section_matcher : public elxr_line_matcher {
 public:
  bool match(std::string_view line, elxr_line_match& out) const override;

  /// "[[:space:]]*([[:digit:]]+)[[:space:]]+[[:punct:]]*([a-zA-Z0-9_.]+)"
  /// "[[:space:]]+([[:xdigit:]]+)[[:space:]]+([[:xdigit:]]+)[[:space:]]+(.*)"
  static std::string regex_text();
};

/// Whether the line has the shape of a section line with any name: blanks,
/// a decimal index, blanks, a name column without blanks, blanks, two
/// hexadecimal columns and a blank. Fills index, name, size and start; rest
/// is what follows that blank. Serves to tell which lines a reader left out
/// for their name.
bool match_section_shape(std::string_view line, elxr_line_match& out);

/// A symbol line "([0-9a-f]+)[[:space:]]+[A-Z]+[[:space:]]+" + symbol, matched
/// against the whole line; value receives group 1.
class symbol_line_matcher {
 public:
  explicit symbol_line_matcher(std::string symbol);
  bool match(std::string_view line, std::string_view& value) const;

  static std::string regex_text(const std::string& symbol);

 private:
  std::string m_symbol;
};
