#include "mapfile/elxr_line_matcher.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "text/byte_word.h"

// Every quantified piece of these shapes is a run of one character class that
// is directly followed by a piece that cannot start with a character of that
// class. Backtracking into such a run never helps, so each run is taken whole
// in one forward scan. The only real choice points are the blank run in front
// of a section name, which may give back characters to the any-character and
// to names that begin with blanks, and the leading punctuation of a mem32
// name column; both are resolved below without trying every split.

namespace {

#if defined(__GNUC__) || defined(__clang__)
#define VEMORA_INLINE inline __attribute__((always_inline))
#elif defined(_MSC_VER)
#define VEMORA_INLINE __forceinline
#else
#define VEMORA_INLINE inline
#endif

constexpr std::size_t k_none = std::string_view::npos;

// Classes of the classic locale, by byte value; bytes from 0x80 up belong to
// none of them. One table lookup per character keeps the scans short.
enum char_class : unsigned char {
  k_space = 1,
  k_digit = 2,
  k_xdigit = 4,
  k_lower_hex = 8,
  k_upper = 16,
  k_punct = 32,
  k_name = 64,  ///< characters of a mem32 section name: letters, digits, '_' and '.'
};

constexpr unsigned char classify(unsigned u) {
  unsigned char bits = 0;
  if (u == ' ' || (u >= '\t' && u <= '\r')) {
    bits |= k_space;
  }
  const bool digit = u >= '0' && u <= '9';
  const bool lower = u >= 'a' && u <= 'z';
  const bool upper = u >= 'A' && u <= 'Z';
  if (digit) {
    bits |= k_digit;
  }
  if (digit || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')) {
    bits |= k_xdigit;
  }
  if (digit || (u >= 'a' && u <= 'f')) {
    bits |= k_lower_hex;
  }
  if (upper) {
    bits |= k_upper;
  }
  if ((u >= 0x21 && u <= 0x2F) || (u >= 0x3A && u <= 0x40) || (u >= 0x5B && u <= 0x60) ||
      (u >= 0x7B && u <= 0x7E)) {
    bits |= k_punct;
  }
  if (digit || lower || upper || u == '_' || u == '.') {
    bits |= k_name;
  }
  return bits;
}

struct class_table {
  unsigned char bits[256] = {};
  constexpr class_table() {
    for (unsigned u = 0; u < 256; ++u) {
      bits[u] = classify(u);
    }
  }
};
constexpr class_table k_classes;

constexpr bool in_class(char c, unsigned char mask) {
  return (k_classes.bits[static_cast<unsigned char>(c)] & mask) != 0;
}
constexpr bool is_space(char c) { return in_class(c, k_space); }
constexpr bool is_name_char(char c) { return in_class(c, k_name); }
/// The any-character matches everything but the two line terminators.
constexpr bool is_line_end(char c) { return c == '\n' || c == '\r'; }

/// Position after the run of characters of one class that starts at pos.
VEMORA_INLINE std::size_t skip(std::string_view line, std::size_t pos, unsigned char mask) {
  while (pos < line.size() && in_class(line[pos], mask)) {
    ++pos;
  }
  return pos;
}

constexpr std::uint64_t space_marks(std::uint64_t word) { return byte_word::equal_to(word, ' '); }

/// skip() for a class whose characters byte_word marks: eight at a time
/// while eight are left. Listings pad their columns with long runs of blanks
/// and write numbers as runs of eight digits.
template <std::uint64_t (*marks)(std::uint64_t)>
VEMORA_INLINE std::size_t skip_fast(std::string_view line, std::size_t pos, unsigned char mask) {
  while (pos + 8 <= line.size()) {
    const unsigned run =
        byte_word::first_marked(~marks(byte_word::load(line.data() + pos)) & byte_word::k_highs);
    pos += run;
    if (run < 8) {
      return pos;
    }
  }
  return skip(line, pos, mask);
}

/// Blank runs are runs of spaces nearly always: those go eight at a time,
/// any other blank one at a time.
VEMORA_INLINE std::size_t skip_blanks(std::string_view line, std::size_t pos) {
  return skip(line, skip_fast<space_marks>(line, pos, k_space), k_space);
}
VEMORA_INLINE std::size_t skip_digits(std::string_view line, std::size_t pos) {
  return skip_fast<byte_word::decimal_digits>(line, pos, k_digit);
}
VEMORA_INLINE std::size_t skip_xdigits(std::string_view line, std::size_t pos) {
  return skip_fast<byte_word::hex_digits>(line, pos, k_xdigit);
}

/// Position of the first blank at or after pos, or the end of the line.
VEMORA_INLINE std::size_t find_blank(std::string_view line, std::size_t pos) {
  while (pos + 8 <= line.size()) {
    const unsigned run =
        byte_word::first_marked(byte_word::spaces(byte_word::load(line.data() + pos)));
    pos += run;
    if (run < 8) {
      return pos;
    }
  }
  while (pos < line.size() && !is_space(line[pos])) {
    ++pos;
  }
  return pos;
}

/// Where the rest column may start at the earliest: after the last line
/// terminator, since the rest must not contain one.
std::size_t rest_floor(std::string_view line) {
  for (std::size_t pos = line.size(); pos > 0; --pos) {
    if (is_line_end(line[pos - 1])) {
      return pos;
    }
  }
  return 0;
}

/// Whether a line terminator stands at or after pos.
VEMORA_INLINE bool holds_line_end(std::string_view line, std::size_t pos) {
  for (; pos + 8 <= line.size(); pos += 8) {
    const std::uint64_t word = byte_word::load(line.data() + pos);
    if ((byte_word::equal_to(word, '\r') | byte_word::equal_to(word, '\n')) != 0) {
      return true;
    }
  }
  for (; pos < line.size(); ++pos) {
    if (is_line_end(line[pos])) {
      return true;
    }
  }
  return false;
}

/// Whether text holds name at pos. Names are short, so a plain loop beats a
/// call to compare.
bool holds_at(std::string_view text, std::size_t pos, const std::string& name) {
  if (text.size() - pos < name.size()) {
    return false;
  }
  const char* here = text.data() + pos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (here[i] != name[i]) {
      return false;
    }
  }
  return true;
}

/// Leading blanks, the decimal index and the blank run behind it.
struct lead_columns {
  std::string_view index;
  std::size_t gap_begin = 0;  ///< first blank behind the index
  std::size_t gap_end = 0;    ///< first character after those blanks
};

VEMORA_INLINE bool match_lead(std::string_view line, lead_columns& out) {
  const std::size_t index_begin = skip_blanks(line, 0);
  const std::size_t index_end = skip_digits(line, index_begin);
  if (index_end == index_begin) {
    return false;
  }
  const std::size_t gap_end = skip_blanks(line, index_end);
  if (gap_end == index_end) {
    return false;
  }
  out.index = line.substr(index_begin, index_end - index_begin);
  out.gap_begin = index_end;
  out.gap_end = gap_end;
  return true;
}

/// The columns behind a section name: blanks, size, blanks, start, blanks and
/// the rest of the line.
struct tail_columns {
  std::string_view size;
  std::string_view start;
  std::string_view rest;
};

/// Matches the tail from pos to the end of the line. The blank run in front of
/// the rest is taken whole: giving back blanks to the rest cannot remove a
/// line terminator that stands further right.
VEMORA_INLINE bool match_tail(std::string_view line, std::size_t pos, std::size_t floor,
                              tail_columns& out) {
  const std::size_t size_begin = skip_blanks(line, pos);
  if (size_begin == pos) {
    return false;
  }
  const std::size_t size_end = skip_xdigits(line, size_begin);
  if (size_end == size_begin) {
    return false;
  }
  const std::size_t start_begin = skip_blanks(line, size_end);
  if (start_begin == size_end) {
    return false;
  }
  const std::size_t start_end = skip_xdigits(line, start_begin);
  if (start_end == start_begin) {
    return false;
  }
  const std::size_t rest_begin = skip_blanks(line, start_end);
  // With no floor given, the rest itself is searched for a line terminator.
  if (rest_begin == start_end ||
      (floor == k_none ? holds_line_end(line, rest_begin) : rest_begin < floor)) {
    return false;
  }
  out.size = line.substr(size_begin, size_end - size_begin);
  out.start = line.substr(start_begin, start_end - start_begin);
  out.rest = line.substr(rest_begin);
  return true;
}

/// Whether every character from pos up to end is a blank; looks no further.
bool blanks_up_to(std::string_view line, std::size_t pos, std::size_t end) {
  for (; pos < end; ++pos) {
    if (!is_space(line[pos])) {
      return false;
    }
  }
  return true;
}

/// Tail results of one name tried at falling positions. All positions inside
/// one blank run share the same tail, so a run is scanned only once, which
/// keeps names that begin with blanks linear in the line length.
class tail_memo {
 public:
  bool match(std::string_view line, std::size_t pos, std::size_t floor, tail_columns& out) {
    if (pos >= line.size() || !is_space(line[pos])) {
      return false;
    }
    if (m_low != k_none && pos < m_low && blanks_up_to(line, pos, m_low)) {
      m_low = pos;
      if (m_ok) {
        out = m_tail;
      }
      return m_ok;
    }
    m_low = pos;
    m_ok = match_tail(line, pos, floor, m_tail);
    if (m_ok) {
      out = m_tail;
    }
    return m_ok;
  }

 private:
  std::size_t m_low = k_none;  ///< lowest position known to lie in the cached blank run
  bool m_ok = false;
  tail_columns m_tail;
};

constexpr const char* k_lead_text = "[[:space:]]*([[:digit:]]+)[[:space:]]+";
constexpr const char* k_tail_text =
    "[[:space:]]+([[:xdigit:]]+)[[:space:]]+([[:xdigit:]]+)[[:space:]]+(.*)";

}  // namespace

// Names are literal text: they must hold no character that is special in a
// pattern (letters, digits, '_', ',' and blanks are fine), otherwise the
// pattern text would mean something else than the name.
named_section_matcher::named_section_matcher(std::vector<std::string> names)
    : m_names(std::move(names)) {
  if (m_names.empty()) {
    m_by_first_char = false;
  }
  for (std::size_t i = 0; i < m_names.size() && m_by_first_char; ++i) {
    if (m_names[i].empty() || is_space(m_names[i][0])) {
      m_by_first_char = false;
    } else {
      const std::string& name = m_names[i];
      const bool spaced = std::any_of(name.begin(), name.end(), is_space);
      m_first_char_names[static_cast<unsigned char>(name[0])].push_back(
          {static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(name.size()), spaced});
    }
  }
}

bool named_section_matcher::match_by_first_char(std::string_view line, std::size_t gap_begin,
                                                std::size_t gap_end, elxr_line_match& out) const {
  // The any-character first takes the character behind the blank run, then,
  // when the run gives back one blank, the run's last blank (the run keeps at
  // least one). A name cannot start further left, on a blank.
  const std::size_t candidates[2] = {gap_end, gap_end - 1};
  for (const std::size_t any : candidates) {
    if (any < gap_begin + 1 || any + 1 >= line.size() || is_line_end(line[any])) {
      continue;
    }
    const std::size_t begin = any + 1;
    const std::vector<candidate>& names_here =
        m_first_char_names[static_cast<unsigned char>(line[begin])];
    if (names_here.empty()) {
      continue;
    }
    // Blanks must follow a name, so a name without blanks can only be the
    // whole word that starts here: most names are ruled out by their length.
    const std::size_t word_end = find_blank(line, begin);
    for (const candidate& c : names_here) {
      const std::string& name = m_names[c.index];
      if ((!c.spaced && c.size != word_end - begin) || !holds_at(line, begin, name)) {
        continue;
      }
      tail_columns tail;
      if (match_tail(line, begin + name.size(), k_none, tail)) {
        out.name = line.substr(any, name.size() + 1);
        out.size = tail.size;
        out.start = tail.start;
        out.rest = tail.rest;
        return true;
      }
    }
  }
  return false;
}

bool match_section_shape(std::string_view line, elxr_line_match& out) {
  // Each column is a run of one class bounded by blanks.
  std::size_t pos = skip(line, 0, k_space);
  const std::size_t index = pos;
  pos = skip(line, pos, k_digit);
  const std::size_t index_end = pos;
  const std::size_t name = skip(line, pos, k_space);
  if (index_end == index || name == index_end) {
    return false;
  }
  const std::size_t name_end = find_blank(line, name);
  const std::size_t size = skip(line, name_end, k_space);
  if (name_end == name || size == name_end) {
    return false;
  }
  const std::size_t size_end = skip(line, size, k_xdigit);
  const std::size_t start = skip(line, size_end, k_space);
  if (size_end == size || start == size_end) {
    return false;
  }
  const std::size_t start_end = skip(line, start, k_xdigit);
  if (start_end == start || start_end >= line.size() || !is_space(line[start_end])) {
    return false;
  }
  out.index = line.substr(index, index_end - index);
  out.name = line.substr(name, name_end - name);
  out.size = line.substr(size, size_end - size);
  out.start = line.substr(start, start_end - start);
  out.rest = line.substr(start_end + 1);
  return true;
}

bool named_section_matcher::match(std::string_view line, elxr_line_match& out) const {
  lead_columns lead;
  if (!match_lead(line, lead)) {
    return false;
  }
  if (m_by_first_char) {
    if (!match_by_first_char(line, lead.gap_begin, lead.gap_end, out)) {
      return false;
    }
    out.index = lead.index;
    return true;
  }
  const std::size_t floor = rest_floor(line);
  tail_columns tail;

  if (m_names.empty()) {
    // The group is empty and stands between two blank runs, so the run behind
    // the index needs two blanks; the first keeps all but the last.
    if (lead.gap_end - lead.gap_begin < 2 || !match_tail(line, lead.gap_end - 1, floor, tail)) {
      return false;
    }
    out = {lead.index, line.substr(lead.gap_end - 1, 0), tail.size, tail.start, tail.rest};
    return true;
  }

  // The blank run behind the index keeps at least one blank; the
  // any-character stands at the first character after the run or, when the
  // run gives back characters, on one of its blanks. Positions are tried from
  // the right, and at one position the names in list order. Each name is
  // looked for from the right, and a later name only counts where it stands
  // further right than the best match so far.
  const std::size_t last_any = lead.gap_end < line.size() ? lead.gap_end : lead.gap_end - 1;
  bool found = false;
  std::size_t best_any = 0;
  std::size_t best_end = 0;
  tail_columns best_tail;
  for (const std::string& name : m_names) {
    std::size_t lowest_any = found ? best_any + 1 : lead.gap_begin + 1;
    // A name that reaches past the blank run covers its blanks with its own
    // leading blanks, so only names made of blanks alone may start further
    // left; for the usual names only the last two positions are left.
    const std::size_t name_blanks = skip(name, 0, k_space);
    if (name_blanks < name.size() && lead.gap_end > name_blanks + 1) {
      lowest_any = std::max(lowest_any, lead.gap_end - name_blanks - 1);
    }
    tail_memo memo;
    for (std::size_t any = last_any; any >= lowest_any; --any) {
      const std::size_t name_begin = any + 1;
      if (is_line_end(line[any]) || !holds_at(line, name_begin, name)) {
        continue;
      }
      const std::size_t name_end = name_begin + name.size();
      if (memo.match(line, name_end, floor, tail)) {
        found = true;
        best_any = any;
        best_end = name_end;
        best_tail = tail;
        break;
      }
    }
  }
  if (!found) {
    return false;
  }
  out = {lead.index, line.substr(best_any, best_end - best_any), best_tail.size, best_tail.start,
         best_tail.rest};
  return true;
}

std::string named_section_matcher::regex_text(const std::vector<std::string>& names) {
  std::string text = k_lead_text;
  text += '(';
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i != 0) {
      text += '|';
    }
    text += '.';
    text += names[i];
  }
  text += ')';
  text += k_tail_text;
  return text;
}

bool mem32_section_matcher::match(std::string_view line, elxr_line_match& out) const {
  lead_columns lead;
  if (!match_lead(line, lead)) {
    return false;
  }
  // The leading punctuation run gives back characters only while the name
  // still has none. A name that starts inside the run either stops at a
  // punctuation character other than '_' and '.', where no blank can follow,
  // or runs on to the same end as a name that starts behind the run. The tail
  // is thus the same for every split, and only the rightmost start counts.
  const std::size_t punct_end = skip(line, lead.gap_end, k_punct);
  const std::size_t name_end = skip(line, punct_end, k_name);
  std::size_t name_begin = punct_end;
  if (name_end == punct_end) {
    if (punct_end == lead.gap_end || !is_name_char(line[punct_end - 1])) {
      return false;
    }
    name_begin = punct_end - 1;
  }
  tail_columns tail;
  if (!match_tail(line, name_end, k_none, tail)) {
    return false;
  }
  out = {lead.index, line.substr(name_begin, name_end - name_begin), tail.size, tail.start,
         tail.rest};
  return true;
}

std::string mem32_section_matcher::regex_text() {
  return std::string(k_lead_text) + "[[:punct:]]*([a-zA-Z0-9_.]+)" + k_tail_text;
}

// The symbol is literal text, like the section names.
symbol_line_matcher::symbol_line_matcher(std::string symbol) : m_symbol(std::move(symbol)) {}

bool symbol_line_matcher::match(std::string_view line, std::string_view& value) const {
  const std::size_t value_end = skip(line, 0, k_lower_hex);
  if (value_end == 0) {
    return false;
  }
  const std::size_t kind_begin = skip(line, value_end, k_space);
  if (kind_begin == value_end) {
    return false;
  }
  const std::size_t kind_end = skip(line, kind_begin, k_upper);
  if (kind_end == kind_begin) {
    return false;
  }
  const std::size_t blanks_end = skip(line, kind_end, k_space);
  // The symbol ends the line. It starts behind at least one blank and at the
  // latest right after the blank run; a symbol that starts earlier begins
  // with the blanks it takes from the run.
  if (m_symbol.size() > line.size()) {
    return false;
  }
  const std::size_t symbol_begin = line.size() - m_symbol.size();
  if (symbol_begin <= kind_end || symbol_begin > blanks_end ||
      line.substr(symbol_begin) != m_symbol) {
    return false;
  }
  value = line.substr(0, value_end);
  return true;
}

std::string symbol_line_matcher::regex_text(const std::string& symbol) {
  return "([0-9a-f]+)[[:space:]]+[A-Z]+[[:space:]]+" + symbol;
}
