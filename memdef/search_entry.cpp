#include "memdef/search_entry.h"

#include "text/hex_number.h"

namespace {
bool contains(std::string_view name, const std::string& term) {
  return name.find(term) != std::string_view::npos;
}
}  // namespace

search_entry::search_entry(std::string_view text) {
  std::size_t pos = 0;
  const std::size_t n = text.size();
  for (;;) {
    while (pos < n && is_space_char(text[pos])) {
      ++pos;
    }
    if (pos >= n) {
      break;
    }
    const std::size_t begin = pos;
    while (pos < n && !is_space_char(text[pos])) {
      ++pos;
    }
    const std::string_view token = text.substr(begin, pos - begin);
    if (token[0] == '!') {
      none_terms.emplace_back(token.substr(1));
    } else if (token[0] == '|') {
      any_terms.emplace_back(token.substr(1));
    } else {
      all_terms.emplace_back(token);
    }
  }
  valid = !any_terms.empty() || !all_terms.empty() || !none_terms.empty();

  for (const std::string& term : all_terms) {
    m_display_text += term + " ";
  }
  for (const std::string& term : any_terms) {
    m_display_text += "|" + term + " ";
  }
  for (const std::string& term : none_terms) {
    m_display_text += "!" + term + " ";
  }
}

bool search_entry::matches(std::string_view name) const {
  bool all_condition = !all_terms.empty();
  for (const std::string& term : all_terms) {
    if (!contains(name, term)) {
      all_condition = false;
      break;
    }
  }
  bool any_condition = false;
  for (const std::string& term : any_terms) {
    if (contains(name, term)) {
      any_condition = true;
      break;
    }
  }
  if (!all_condition && !any_condition) {
    return false;
  }
  for (const std::string& term : none_terms) {
    if (contains(name, term)) {  // an empty term occurs in every name
      return false;
    }
  }
  return true;
}

bool search_entry::add_size(std::uint32_t n) {
  if (!valid) {
    return false;
  }
  total += n;
  return true;
}
