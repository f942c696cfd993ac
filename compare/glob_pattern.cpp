#include "compare/glob_pattern.h"

std::optional<glob_pattern> glob_pattern::parse(std::string_view text, std::string& error) {
  glob_pattern pattern;
  for (std::size_t at = 0; at < text.size(); ++at) {
    token one;
    const char c = text[at];
    if (c == '*') {
      // A run of stars matches what one does.
      if (pattern.m_tokens.empty() || pattern.m_tokens.back().kind != token_kind::any_run) {
        one.kind = token_kind::any_run;
        pattern.m_tokens.push_back(one);
      }
      continue;
    }
    if (c == '?') {
      one.kind = token_kind::any_one;
    } else if (c == '\\') {
      if (at + 1 == text.size()) {
        error = "a \"\\\" at the end takes no character";
        return std::nullopt;
      }
      one.literal = text[++at];
    } else if (c == '[') {
      const std::size_t open = at++;
      one.kind = token_kind::set;
      if (at < text.size() && (text[at] == '!' || text[at] == '^')) {
        one.negated = true;
        ++at;
      }
      // A "]" first in the set is one of its members.
      const std::size_t first = at;
      while (at < text.size() && (text[at] != ']' || at == first)) {
        const auto low = static_cast<unsigned char>(text[at]);
        if (at + 2 < text.size() && text[at + 1] == '-' && text[at + 2] != ']') {
          const auto high = static_cast<unsigned char>(text[at + 2]);
          if (high < low) {
            error = "the range \"" + std::string(text.substr(at, 3)) + "\" runs backwards";
            return std::nullopt;
          }
          for (unsigned member = low; member <= high; ++member) {
            one.members += static_cast<char>(member);
          }
          at += 3;
        } else {
          one.members += text[at++];
        }
      }
      if (at == text.size()) {
        error = "the \"[\" at " + std::to_string(open + 1) + " is not closed by \"]\"";
        return std::nullopt;
      }
    } else {
      one.literal = c;
    }
    pattern.m_tokens.push_back(std::move(one));
  }
  return pattern;
}

bool glob_pattern::matches_one(const token& one, char c) const {
  switch (one.kind) {
    case token_kind::literal:
      return one.literal == c;
    case token_kind::any_one:
      return true;
    case token_kind::set:
      return (one.members.find(c) != std::string::npos) != one.negated;
    case token_kind::any_run:
      break;
  }
  return false;
}

bool glob_pattern::matches(std::string_view name) const {
  // Each star takes as little as it can; on a mismatch the last star takes one character more.
  // Only the last star ever needs to grow, so this never takes longer than pattern x name.
  std::size_t token_at = 0;
  std::size_t name_at = 0;
  std::size_t star = m_tokens.size();
  std::size_t star_name = 0;
  while (name_at < name.size()) {
    if (token_at < m_tokens.size() && m_tokens[token_at].kind == token_kind::any_run) {
      star = token_at++;
      star_name = name_at;
    } else if (token_at < m_tokens.size() && matches_one(m_tokens[token_at], name[name_at])) {
      ++token_at;
      ++name_at;
    } else if (star < m_tokens.size()) {
      token_at = star + 1;
      name_at = ++star_name;
    } else {
      return false;
    }
  }
  while (token_at < m_tokens.size() && m_tokens[token_at].kind == token_kind::any_run) {
    ++token_at;
  }
  return token_at == m_tokens.size();
}
