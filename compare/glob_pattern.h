// A shell-style name pattern, as a budget names symbols: "*" stands for any
// run of characters, "?" for one, "[...]" for one of a set ("[a-z_]", "[!0-9]"),
// and "\" takes the next character as it is ("operator new\[\]").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class glob_pattern {
 public:
  /// The pattern, or none with the reason in error for an unclosed "[", a range that runs
  /// backwards ("[z-a]") or a trailing "\".
  static std::optional<glob_pattern> parse(std::string_view text, std::string& error);

  /// Whether the whole name matches, byte by byte (a "?" takes one byte).
  bool matches(std::string_view name) const;

 private:
  enum class token_kind { literal, any_one, any_run, set };
  struct token {
    token_kind kind = token_kind::literal;
    char literal = 0;
    bool negated = false;
    std::string members;  ///< a set's characters, its ranges spelt out
  };
  bool matches_one(const token& one, char c) const;

  std::vector<token> m_tokens;
};
