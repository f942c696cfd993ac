#include "memdef/definition_diagnostics.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <queue>
#include <set>
#include <utility>

#include "text/hex_number.h"
#include "text/line_reader.h"

namespace {
constexpr std::size_t k_max_line = c_memory_def::k_max_line;
// Lines are taken one character longer than the reader keeps them, so that a
// cut shows; the first k_max_line characters are exactly what the reader sees.
constexpr std::size_t k_probe_length = k_max_line + 1;
constexpr line_kind k_kinds[] = {line_search, line_program, line_memory, line_eeprom,
                                 line_reserved};

std::string_view trim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && is_space_char(text[begin])) {
    ++begin;
  }
  std::size_t end = text.size();
  while (end > begin && is_space_char(text[end - 1])) {
    --end;
  }
  return text.substr(begin, end - begin);
}

bool same_letters_any_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
    if (x != b[i]) {  // keywords are upper case
      return false;
    }
  }
  return true;
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string range_text(line_kind kind, const memory_range& range) {
  return std::string(c_memory_def::keyword_text(kind)) + " " + hex_text(range.start) + " " +
         hex_text(range.size);
}

// Placement groups of the overlap search. A RESERVED range counts as used
// program memory only when a PROGRAM range holds it whole.
enum placement_group { group_program, group_memory, group_reserved_counted, group_reserved_stray };

struct placed_range {
  std::size_t line = 0;
  std::size_t column = 0;
  line_kind kind = line_none;
  memory_range range;
  std::uint64_t end = 0;
  placement_group group = group_program;
};

class c_diagnoser {
 public:
  void add_line(std::string_view probe);
  definition_diagnosis finish();

 private:
  definition_finding& add(definition_finding_kind kind, std::size_t column, line_kind read_as);
  void check_comment(line_kind kind, const line_reading& reading);
  void check_keyword_position(line_kind kind, const line_reading& reading,
                              const memory_range& range);
  void check_range(line_kind kind, const line_reading& reading, const memory_range& range);
  void check_text_after_numbers(line_kind kind, const line_reading& reading);
  void check_search(const line_reading& reading, const search_list& searches);
  void check_other(const line_reading& reading);
  void find_overlaps();
  void add_overlap(const placed_range& a, const placed_range& b);

  std::size_t m_line = 0;
  std::size_t m_range_lines = 0;
  std::vector<definition_finding> m_findings;
  std::vector<placed_range> m_placed;  ///< PROGRAM, MEMORY and RESERVED ranges in file order
  std::vector<keyword_place> m_program_lines;
  std::vector<keyword_place> m_memory_lines;
  std::vector<keyword_place> m_search_lines;
};

definition_finding& c_diagnoser::add(definition_finding_kind kind, std::size_t column,
                                     line_kind read_as) {
  definition_finding finding;
  finding.kind = kind;
  finding.line = m_line;
  finding.column = column;
  finding.read_as = read_as;
  m_findings.push_back(std::move(finding));
  return m_findings.back();
}

void c_diagnoser::add_line(std::string_view probe) {
  ++m_line;
  const std::string_view line = probe.substr(0, k_max_line);
  memory_range range;
  search_list searches;
  line_reading reading;
  const line_kind kind = c_memory_def::parse_line(line, range, searches, &reading);

  if (probe.size() > k_max_line) {
    definition_finding& cut = add(definition_finding_kind::line_cut, k_max_line + 1, kind);
    cut.text.assign(line);
    cut.message = "the line is longer than " + std::to_string(k_max_line) +
                  " characters: it is read up to column " + std::to_string(k_max_line) +
                  " and the rest of it is dropped";
  }
  check_comment(kind, reading);
  switch (kind) {
    case line_program:
    case line_memory:
    case line_eeprom:
    case line_reserved:
      check_range(kind, reading, range);
      break;
    case line_search:
      check_search(reading, searches);
      break;
    case line_none:
      check_other(reading);
      break;
  }
}

void c_diagnoser::check_comment(line_kind kind, const line_reading& reading) {
  if (reading.comment || reading.first_slash == std::string_view::npos) {
    return;
  }
  const std::size_t pair = reading.text.find("//", reading.first_slash + 1);
  if (pair == std::string_view::npos) {
    return;
  }
  definition_finding& finding = add(definition_finding_kind::comment_not_cut, pair + 1, kind);
  finding.text.assign(reading.text.substr(pair));
  finding.message = "\"//\" at column " + std::to_string(pair + 1) +
                    " is not a comment: only the line's first \"/\" (column " +
                    std::to_string(reading.first_slash + 1) +
                    ") can begin one, and it is not doubled, so " + quoted_text(finding.text) +
                    " is read as part of the line";
}

void c_diagnoser::check_keyword_position(line_kind kind, const line_reading& reading,
                                         const memory_range& range) {
  if (reading.keyword_at == 0) {
    return;
  }
  const std::size_t argument_column = reading.keyword.size() + 1;
  definition_finding& finding =
      add(definition_finding_kind::keyword_not_at_start, reading.keyword_at + 1, kind);
  finding.keyword.assign(reading.keyword);
  finding.text.assign(reading.arguments);
  finding.range = range;
  finding.argument_column = argument_column;
  std::string message = std::string(reading.keyword) + " does not begin the line: its " +
                        (kind == line_search ? "terms" : "numbers") + " are read from column " +
                        std::to_string(argument_column) + " on (" + quoted_text(reading.arguments) +
                        ")";
  if (kind != line_search) {
    message += ", which gives start " + hex_text(range.start) + " and size " + hex_text(range.size);
  }
  // A keyword that stands before the deciding one loses to the fixed order.
  for (const line_kind other : k_kinds) {
    const std::string_view text = c_memory_def::keyword_text(other);
    const std::size_t at = reading.text.find(text);
    if (other != kind && at != std::string_view::npos && at < reading.keyword_at) {
      message += "; the line counts as " + std::string(reading.keyword) + " although " +
                 std::string(text) + " stands before it, because " + std::string(reading.keyword) +
                 " is looked for first";
      break;
    }
  }
  finding.message = std::move(message);
}

void c_diagnoser::check_range(line_kind kind, const line_reading& reading,
                              const memory_range& range) {
  ++m_range_lines;
  if (kind == line_program) {
    m_program_lines.push_back({m_line, reading.keyword_at + 1});
  } else if (kind == line_memory) {
    m_memory_lines.push_back({m_line, reading.keyword_at + 1});
  }
  check_keyword_position(kind, reading, range);
  const std::string keyword(reading.keyword);
  const std::size_t keyword_column = reading.keyword_at + 1;

  for (std::size_t i = 0; i < 2; ++i) {
    const number_reading& number = reading.numbers[i];
    if (number.state == number_state::read || number.state == number_state::skipped) {
      continue;
    }
    definition_finding& finding =
        add(definition_finding_kind::bad_number, reading.keyword.size() + number.at + 1, kind);
    finding.keyword = keyword;
    finding.range = range;
    finding.argument_column = reading.keyword.size() + 1;
    finding.number_index = i;
    finding.number = number.state;
    std::string_view word = reading.arguments.substr(number.at);
    std::size_t end = 0;
    while (end < word.size() && !is_space_char(word[end])) {
      ++end;
    }
    word = word.substr(0, end);
    finding.text.assign(word);
    const std::string what = i == 0 ? "start" : "size";
    const std::string outcome =
        i == 0 ? "the start and the size are taken as 0" : "the size is taken as 0";
    switch (number.state) {
      case number_state::missing:
        finding.message = "the " + keyword + " line has no " + what + ": " + outcome;
        break;
      case number_state::malformed:
        finding.message =
            "the " + what + " " + quoted_text(word) + " is not a hexadecimal number: " + outcome;
        break;
      default:
        finding.message =
            "the " + what + " " + quoted_text(word) + " does not fit in 32 bits: " + outcome;
        break;
    }
    break;  // only one number can fail: the ones after it are not read
  }
  check_text_after_numbers(kind, reading);

  const std::string written = range_text(kind, range);
  if (range.size == 0) {
    definition_finding& finding = add(definition_finding_kind::zero_size, keyword_column, kind);
    finding.keyword = keyword;
    finding.range = range;
    finding.message = "the range " + written + " has size 0: it can never hold a section";
  }
  const std::uint64_t end = std::uint64_t{range.start} + range.size;
  if (end > 0x100000000ull) {
    definition_finding& finding = add(definition_finding_kind::beyond_4g, keyword_column, kind);
    finding.keyword = keyword;
    finding.range = range;
    finding.message = "the range " + written + " ends at " + hex_text(end) +
                      ", beyond the 32-bit address space (" + hex_text(0x100000000ull) +
                      "); its size still counts in full";
  }

  if (kind != line_eeprom) {  // EEPROM ranges take no part in placement
    placed_range placed;
    placed.line = m_line;
    placed.column = keyword_column;
    placed.kind = kind;
    placed.range = range;
    placed.end = end;
    m_placed.push_back(placed);
  }
}

// Whatever follows the size is never read: a third number, or words that
// were meant as a comment but have no "//".
void c_diagnoser::check_text_after_numbers(line_kind kind, const line_reading& reading) {
  if (reading.numbers[1].state != number_state::read) {
    return;
  }
  const std::string_view args = reading.arguments;
  std::size_t at = reading.numbers[1].end;
  while (at < args.size() && is_space_char(args[at])) {
    ++at;
  }
  if (at == args.size()) {
    return;
  }
  definition_finding& finding =
      add(definition_finding_kind::text_after_numbers, reading.keyword.size() + at + 1, kind);
  finding.keyword.assign(reading.keyword);
  finding.argument_column = reading.keyword.size() + 1;
  finding.text.assign(trim(args.substr(at)));
  const bool number = scan_hex(args, at, true).has_digits;
  finding.message = (number ? "a third number " : "the text ") + quoted_text(finding.text) +
                    " after the size is ignored: " + (reading.keyword == "EEPROM" ? "an " : "a ") +
                    std::string(reading.keyword) +
                    " line takes a start and a size, and only a \"//\" comment may follow them";
}

void c_diagnoser::check_search(const line_reading& reading, const search_list& searches) {
  check_keyword_position(line_search, reading, memory_range{});
  if (!searches.empty()) {  // the reader keeps the entry
    m_search_lines.push_back({m_line, reading.keyword_at + 1});
  }
  const std::string_view args = reading.arguments;
  const std::size_t offset = reading.keyword.size();
  search_problem problem = search_problem::none;
  std::size_t at = 0;  // in args
  if (searches.empty()) {
    problem = search_problem::no_terms;
    at = std::string_view::npos;
  } else {
    const search_entry& entry = searches.front();
    const bool lone_bang = std::any_of(entry.none_terms.begin(), entry.none_terms.end(),
                                       [](const std::string& term) { return term.empty(); });
    if (lone_bang) {
      problem = search_problem::empty_none_term;
      // The first "!" that is a whole term by itself.
      for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == '!' && (i == 0 || is_space_char(args[i - 1])) &&
            (i + 1 == args.size() || is_space_char(args[i + 1]))) {
          at = i;
          break;
        }
      }
    } else if (entry.all_terms.empty() && entry.any_terms.empty()) {
      problem = search_problem::none_terms_only;
      while (at < args.size() && is_space_char(args[at])) {
        ++at;
      }
    }
  }
  if (problem == search_problem::none) {
    return;
  }
  const std::size_t column =
      at == std::string_view::npos ? reading.keyword_at + 1 : offset + at + 1;
  definition_finding& finding =
      add(definition_finding_kind::search_never_matches, column, line_search);
  finding.keyword.assign(reading.keyword);
  finding.text.assign(args);
  finding.argument_column = offset + 1;
  finding.search = problem;
  switch (problem) {
    case search_problem::no_terms:
      finding.message = "the SEARCH line has no term: it is dropped";
      break;
    case search_problem::empty_none_term:
      finding.message =
          "the lone \"!\" is an empty exclusion that every name contains: the "
          "SEARCH entry " +
          quoted_text(trim(args)) + " never matches a section";
      break;
    default:
      finding.message = "the SEARCH entry " + quoted_text(trim(args)) +
                        " has only \"!\" terms, which exclude and never include: it never "
                        "matches a section";
      break;
  }
}

void c_diagnoser::check_other(const line_reading& reading) {
  const std::string_view text = reading.text;
  std::size_t begin = 0;
  while (begin < text.size() && is_space_char(text[begin])) {
    ++begin;
  }
  if (begin == text.size()) {
    return;  // blank, or nothing but a comment
  }
  std::size_t end = begin;
  while (end < text.size() && is_letter(text[end])) {
    ++end;
  }
  const std::string_view word = text.substr(begin, end - begin);
  for (const line_kind kind : k_kinds) {
    const std::string_view keyword = c_memory_def::keyword_text(kind);
    if (same_letters_any_case(word, keyword)) {
      definition_finding& finding =
          add(definition_finding_kind::keyword_wrong_case, begin + 1, line_none);
      finding.keyword.assign(keyword);
      finding.text.assign(word);
      finding.message = quoted_text(word) + " is not a keyword, keywords are upper case (" +
                        std::string(keyword) + "): the line is ignored";
      return;
    }
  }
  definition_finding& finding = add(definition_finding_kind::unknown_line, begin + 1, line_none);
  finding.text.assign(trim(text));
  finding.message = "the line holds none of SEARCH, PROGRAM, MEMORY, EEPROM, RESERVED: " +
                    quoted_text(finding.text) + " is ignored";
}

void c_diagnoser::add_overlap(const placed_range& a, const placed_range& b) {
  // The finding goes to the later line, or to a RESERVED range that does not count.
  const bool a_first =
      a.group == group_reserved_stray || (b.group != group_reserved_stray && a.line > b.line);
  const placed_range& self = a_first ? a : b;
  const placed_range& other = a_first ? b : a;

  overlap_detail detail;
  detail.other_line = other.line;
  detail.other_kind = other.kind;
  detail.other_range = other.range;
  std::string relation;
  if (self.range.start == other.range.start && self.end == other.end) {
    detail.relation = overlap_relation::same_range;
    relation = " is the same range as ";
  } else if (self.range.start <= other.range.start && other.end <= self.end) {
    detail.relation = overlap_relation::holds_other;
    relation = " holds ";
  } else if (other.range.start <= self.range.start && self.end <= other.end) {
    detail.relation = overlap_relation::inside_other;
    relation = " lies inside ";
  } else {
    detail.relation = overlap_relation::partial;
    relation = " overlaps in part ";
  }

  std::string outcome;
  if (self.group == group_reserved_stray) {
    detail.placement = overlap_placement::reserved_not_counted;
    outcome =
        "no PROGRAM range holds the RESERVED range whole, so it is not counted as used "
        "program memory at all";
  } else if (self.group == group_reserved_counted) {
    detail.placement = overlap_placement::counted_twice;
    outcome = "both count as used program memory, so the bytes they share are counted twice";
  } else {
    const placed_range* winner = nullptr;
    const placed_range* loser = nullptr;
    if (self.kind == other.kind) {
      detail.placement = overlap_placement::earlier_line_wins;
      winner = &other;  // the other range stands earlier in the file
      loser = &self;
    } else {
      detail.placement = overlap_placement::program_wins;
      winner = self.kind == line_program ? &self : &other;
      loser = self.kind == line_program ? &other : &self;
    }
    detail.winner_line = winner->line;
    const std::string why = detail.placement == overlap_placement::earlier_line_wins
                                ? "it comes first"
                                : "PROGRAM ranges are looked at before MEMORY ranges";
    if (winner->range.start <= loser->range.start && loser->end <= winner->end) {
      outcome = "the range of line " + std::to_string(loser->line) +
                " never gets a section, since the range of line " + std::to_string(winner->line) +
                " holds it and " + why;
    } else {
      outcome = "of the two, the range of line " + std::to_string(winner->line) +
                " wins a section inside both, since " + why;
    }
  }

  definition_finding finding;
  finding.kind = definition_finding_kind::overlap;
  finding.line = self.line;
  finding.column = self.column;
  finding.read_as = self.kind;
  finding.keyword.assign(c_memory_def::keyword_text(self.kind));
  finding.range = self.range;
  finding.overlap = detail;
  finding.message = range_text(self.kind, self.range) + " (line " + std::to_string(self.line) +
                    ")" + relation + range_text(other.kind, other.range) + " (line " +
                    std::to_string(other.line) + "): " + outcome;
  m_findings.push_back(std::move(finding));
}

// One sweep over the ranges by start: a range meets every range that began
// before it and has not ended yet. Each range is paired, per placement group,
// with the earliest line among those, so the findings stay one or two per
// line however many ranges pile up.
void c_diagnoser::find_overlaps() {
  c_memory_def definition;
  for (const placed_range& placed : m_placed) {
    if (placed.kind == line_program) {
      definition.program_ranges.push_back(placed.range);
    }
  }
  std::vector<placed_range> ranges;
  for (placed_range placed : m_placed) {
    if (placed.range.size == 0) {
      continue;  // holds nothing; told as zero_size
    }
    if (placed.kind == line_program) {
      placed.group = group_program;
    } else if (placed.kind == line_memory) {
      placed.group = group_memory;
    } else {
      std::int32_t index = -1;
      placed.group = definition.find_range(placed.range.start, placed.range.size, index,
                                           definition.program_ranges)
                         ? group_reserved_counted
                         : group_reserved_stray;
    }
    ranges.push_back(placed);
  }
  std::stable_sort(ranges.begin(), ranges.end(), [](const placed_range& a, const placed_range& b) {
    return a.range.start < b.range.start;
  });

  // Groups whose overlaps matter, per group.
  static constexpr bool k_partners[4][4] = {
      {true, true, false, true},    // PROGRAM: PROGRAM, MEMORY, stray RESERVED
      {true, true, false, false},   // MEMORY: PROGRAM, MEMORY
      {false, false, true, false},  // counted RESERVED: counted RESERVED
      {true, false, false, false},  // stray RESERVED: PROGRAM
  };
  std::set<std::pair<std::size_t, std::size_t>> active[4];  // (line, index) by group
  using ending = std::pair<std::uint64_t, std::size_t>;     // (end, index)
  std::priority_queue<ending, std::vector<ending>, std::greater<ending>> endings;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    const placed_range& range = ranges[i];
    while (!endings.empty() && endings.top().first <= range.range.start) {
      const placed_range& ended = ranges[endings.top().second];
      active[ended.group].erase({ended.line, endings.top().second});
      endings.pop();
    }
    for (int group = 0; group < 4; ++group) {
      if (k_partners[range.group][group] && !active[group].empty()) {
        add_overlap(range, ranges[active[group].begin()->second]);
      }
    }
    active[range.group].insert({range.line, i});
    endings.push({range.end, i});
  }
}

definition_diagnosis c_diagnoser::finish() {
  find_overlaps();
  std::stable_sort(m_findings.begin(), m_findings.end(),
                   [](const definition_finding& a, const definition_finding& b) {
                     return a.line != b.line ? a.line < b.line : a.column < b.column;
                   });
  if (m_range_lines == 0) {
    definition_finding finding;
    finding.kind = definition_finding_kind::no_range_lines;
    finding.message =
        "the file has no PROGRAM, MEMORY, EEPROM or RESERVED line: the report refuses it as an "
        "invalid memory definition file";
    m_findings.push_back(std::move(finding));
  }
  definition_diagnosis result;
  result.readable = true;
  result.line_count = m_line;
  result.findings = std::move(m_findings);
  result.program_lines = std::move(m_program_lines);
  result.memory_lines = std::move(m_memory_lines);
  result.search_lines = std::move(m_search_lines);
  return result;
}
}  // namespace

std::string hex_text(std::uint64_t value) {
  static constexpr char k_digits[] = "0123456789ABCDEF";
  std::string digits;
  do {
    digits.insert(digits.begin(), k_digits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return "0x" + digits;
}

// Control characters written out, so that a message never carries them to a
// terminal or into a CI log's command syntax.
std::string quoted_text(std::string_view text, std::size_t limit) {
  std::string out = "\"";
  const std::size_t n = std::min(text.size(), limit);
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += "0123456789ABCDEF"[c >> 4];
      out += "0123456789ABCDEF"[c & 0xF];
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(c);
    }
  }
  if (n < text.size()) {
    out += "...";
  }
  return out + "\"";
}

finding_rule rule_of(definition_finding_kind kind) {
  switch (kind) {
    case definition_finding_kind::overlap:
      return {"VL001", finding_severity::warning};
    case definition_finding_kind::keyword_not_at_start:
      return {"VL002", finding_severity::warning};
    case definition_finding_kind::keyword_wrong_case:
      return {"VL003", finding_severity::warning};
    case definition_finding_kind::bad_number:
      return {"VL004", finding_severity::error};
    case definition_finding_kind::zero_size:
      return {"VL005", finding_severity::warning};
    case definition_finding_kind::beyond_4g:
      return {"VL006", finding_severity::warning};
    case definition_finding_kind::search_never_matches:
      return {"VL007", finding_severity::warning};
    case definition_finding_kind::comment_not_cut:
      return {"VL008", finding_severity::warning};
    case definition_finding_kind::unknown_line:
      return {"VL009", finding_severity::note};
    case definition_finding_kind::line_cut:
      return {"VL010", finding_severity::warning};
    case definition_finding_kind::no_range_lines:
      return {"VL011", finding_severity::error};
    case definition_finding_kind::text_after_numbers:
      return {"VL012", finding_severity::warning};
  }
  return {"VL000", finding_severity::error};
}

std::string_view severity_name(finding_severity severity) {
  switch (severity) {
    case finding_severity::error:
      return "error";
    case finding_severity::warning:
      return "warning";
    case finding_severity::note:
      return "note";
  }
  return "error";
}

definition_diagnosis diagnose_memory_def_text(std::string_view text) {
  c_diagnoser diagnoser;
  std::size_t pos = 0;
  std::string_view line;
  while (next_text_line(text, pos, k_probe_length, line)) {
    diagnoser.add_line(line);
  }
  return diagnoser.finish();
}

definition_diagnosis diagnose_memory_def_file(const input_source& source) {
  line_reader reader(k_probe_length);
  if (!reader.open(source)) {
    return definition_diagnosis{};
  }
  c_diagnoser diagnoser;
  std::string_view line;
  while (reader.next(line)) {
    diagnoser.add_line(line);
  }
  reader.close();
  return diagnoser.finish();
}
