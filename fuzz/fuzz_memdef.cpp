// Fuzz target: the memory definition file reader. Ranges may come only from
// range lines and SEARCH entries only from SEARCH lines with a term; both
// must equal a plain reading of the lines (first-"/" comment rule, first
// keyword in order, argument text after as many characters as the keyword
// has, strtoull-style numbers). Search entries must match as their terms say,
// and find_range must pick the first range that holds a record exactly. The
// diagnostics of the same bytes must agree with what the reader kept, and
// the lint must give one finding for each, in every one of its forms.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "formats/lint_formats.h"
#include "fuzz/fuzz_support.h"
#include "lint/lint.h"
#include "memdef/c_memory_def.h"
#include "memdef/definition_diagnostics.h"

namespace {
using namespace fuzz_support;

struct reference_entry {
  std::vector<std::string> any_terms;
  std::vector<std::string> all_terms;
  std::vector<std::string> none_terms;
};

struct reference_definition {
  std::vector<memory_range> ranges[4];  // program, memory, eeprom, reserved
  std::vector<reference_entry> entries;
};

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A number that cannot be read, or that does not fit in 32 bits, leaves it
// and every later number of the line at 0.
bool read_number(const std::string& text, std::size_t& pos, std::uint32_t& value) {
  const c_hex_number number = read_c_hex(text, pos);
  if (!number.has_digits || number.beyond_32_bits) {
    return false;
  }
  value = number.negative ? 0u - number.magnitude : number.magnitude;
  pos = number.end;
  return true;
}

void reference_line(std::string line, reference_definition& out) {
  const std::size_t slash = line.find('/');
  if (slash != std::string::npos && slash + 1 < line.size() && line[slash + 1] == '/') {
    line.erase(slash);
  }
  static const std::string keywords[] = {"SEARCH", "PROGRAM", "MEMORY", "EEPROM", "RESERVED"};
  for (int kind = 0; kind < 5; ++kind) {
    if (line.find(keywords[kind]) == std::string::npos) {
      continue;
    }
    const std::string args = line.substr(keywords[kind].size());
    if (kind == 0) {
      reference_entry entry;
      std::size_t pos = 0;
      while (pos < args.size()) {
        if (is_blank(args[pos])) {
          ++pos;
          continue;
        }
        std::size_t end = pos;
        while (end < args.size() && !is_blank(args[end])) {
          ++end;
        }
        const std::string token = args.substr(pos, end - pos);
        if (token[0] == '!') {
          entry.none_terms.push_back(token.substr(1));
        } else if (token[0] == '|') {
          entry.any_terms.push_back(token.substr(1));
        } else {
          entry.all_terms.push_back(token);
        }
        pos = end;
      }
      if (!entry.any_terms.empty() || !entry.all_terms.empty() || !entry.none_terms.empty()) {
        out.entries.push_back(entry);
      }
      return;
    }
    memory_range range;
    std::size_t pos = 0;
    if (read_number(args, pos, range.start)) {
      read_number(args, pos, range.size);
    }
    out.ranges[kind - 1].push_back(range);
    return;
  }
}

std::size_t count_of(const definition_diagnosis& diagnosis, definition_finding_kind kind) {
  return static_cast<std::size_t>(
      std::count_if(diagnosis.findings.begin(), diagnosis.findings.end(),
                    [kind](const definition_finding& f) { return f.kind == kind; }));
}

// Findings point into the file, in line order, the whole-file one last, and
// the counts that the kept ranges decide match them.
void check_diagnosis(std::string_view bytes, const std::string& path,
                     const c_memory_def& definition, bool ok) {
  const definition_diagnosis diagnosis = diagnose_memory_def_text(bytes);
  const definition_diagnosis from_file = diagnose_memory_def_file(path);
  FUZZ_CHECK(diagnosis.readable && from_file.readable);
  const std::vector<text_line> probes = split_lines(bytes, c_memory_def::k_max_line + 1);
  FUZZ_CHECK(diagnosis.line_count == probes.size());
  FUZZ_CHECK(from_file.line_count == diagnosis.line_count);
  FUZZ_CHECK(from_file.findings.size() == diagnosis.findings.size());

  std::size_t previous = 0;
  std::size_t cut_lines = 0;
  for (std::size_t i = 0; i < diagnosis.findings.size(); ++i) {
    const definition_finding& f = diagnosis.findings[i];
    FUZZ_CHECK(!f.message.empty());
    FUZZ_CHECK(f.kind == from_file.findings[i].kind && f.line == from_file.findings[i].line &&
               f.column == from_file.findings[i].column);
    if (f.kind == definition_finding_kind::no_range_lines) {
      FUZZ_CHECK(i + 1 == diagnosis.findings.size() && f.line == 0 && f.column == 0);
      continue;
    }
    FUZZ_CHECK(f.line >= 1 && f.line <= diagnosis.line_count && f.line >= previous);
    FUZZ_CHECK(f.column >= 1 && f.column <= c_memory_def::k_max_line + 1);
    if (f.kind == definition_finding_kind::line_cut) {
      FUZZ_CHECK(probes[f.line - 1].text.size() > c_memory_def::k_max_line);
      ++cut_lines;
    } else {
      FUZZ_CHECK(f.column <= probes[f.line - 1].text.size() + 1);
    }
    if (f.kind == definition_finding_kind::overlap) {
      FUZZ_CHECK(f.overlap.other_line >= 1 && f.overlap.other_line != f.line &&
                 f.overlap.other_line <= diagnosis.line_count);
    }
    previous = f.line;
  }
  FUZZ_CHECK(cut_lines == static_cast<std::size_t>(std::count_if(
                              probes.begin(), probes.end(), [](const text_line& line) {
                                return line.text.size() > c_memory_def::k_max_line;
                              })));
  FUZZ_CHECK((count_of(diagnosis, definition_finding_kind::no_range_lines) == 1) == !ok);

  std::size_t empty = 0;
  std::size_t beyond = 0;
  for (const std::vector<memory_range>* ranges :
       {&definition.program_ranges, &definition.memory_ranges, &definition.eeprom_ranges,
        &definition.reserved_ranges}) {
    for (const memory_range& range : *ranges) {
      empty += range.size == 0 ? 1 : 0;
      beyond += std::uint64_t{range.start} + range.size > 0x100000000ull ? 1 : 0;
    }
  }
  FUZZ_CHECK(count_of(diagnosis, definition_finding_kind::zero_size) == empty);
  FUZZ_CHECK(count_of(diagnosis, definition_finding_kind::beyond_4g) == beyond);

  const std::vector<lint_finding> findings = lint_findings(from_file, path);
  FUZZ_CHECK(findings.size() == diagnosis.findings.size());
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const finding_rule rule = rule_of(diagnosis.findings[i].kind);
    FUZZ_CHECK(findings[i].code == rule.code && findings[i].severity == rule.severity);
    FUZZ_CHECK(findings[i].line == diagnosis.findings[i].line && findings[i].file == path);
  }
  std::ostringstream text;
  write_lint_text(text, findings);
  const severity_counts counts = count_by_severity(findings);
  FUZZ_CHECK(counts.errors + counts.warnings + counts.notes == findings.size());
  const std::string lines = text.str();
  FUZZ_CHECK(lines.size() > 1 && lines.back() == '\n' &&
             lines.find(severity_count_line(counts)) != std::string::npos);
  std::ostringstream github;
  write_lint_github(github, findings);
  const std::string commands = github.str();
  FUZZ_CHECK(static_cast<std::size_t>(std::count(commands.begin(), commands.end(), '\n')) ==
             findings.size());
  std::ostringstream json;
  write_lint_json(json, findings);
  const nlohmann::json document = nlohmann::json::parse(json.str(), nullptr, false);
  FUZZ_CHECK(!document.is_discarded() && document["diagnostics"].size() == findings.size());
}

bool occurs(const std::string& name, const std::string& term) {
  return name.find(term) != std::string::npos;
}

bool reference_matches(const reference_entry& entry, const std::string& name) {
  const bool all = !entry.all_terms.empty() &&
                   std::all_of(entry.all_terms.begin(), entry.all_terms.end(),
                               [&name](const std::string& t) { return occurs(name, t); });
  const bool any = std::any_of(entry.any_terms.begin(), entry.any_terms.end(),
                               [&name](const std::string& t) { return occurs(name, t); });
  const bool none = std::any_of(entry.none_terms.begin(), entry.none_terms.end(),
                                [&name](const std::string& t) { return occurs(name, t); });
  return (all || any) && !none;
}

std::string reference_display(const reference_entry& entry) {
  std::string text;
  for (const std::string& t : entry.all_terms) {
    text += t + " ";
  }
  for (const std::string& t : entry.any_terms) {
    text += "|" + t + " ";
  }
  for (const std::string& t : entry.none_terms) {
    text += "!" + t + " ";
  }
  return text;
}

bool same_ranges(const std::vector<memory_range>& a, const std::vector<memory_range>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](const memory_range& x, const memory_range& y) {
                                              return x.start == y.start && x.size == y.size;
                                            });
}

// Records at and around the edges of the first ranges.
void check_find_range(const c_memory_def& definition, const std::vector<memory_range>& ranges) {
  const std::size_t count = std::min<std::size_t>(ranges.size(), 256);
  for (std::size_t i = 0; i < count; ++i) {
    const memory_range& range = ranges[i];
    const std::uint32_t probes[][2] = {
        {range.start, range.size},           {range.start, range.size + 1u},
        {range.start - 1u, range.size},      {range.start + range.size - 1u, 1},
        {range.start + range.size, 1},       {range.start, 0},
        {range.start + 1u, range.size - 1u}, {range.start, 0xFFFFFFFFu},
    };
    for (const auto& probe : probes) {
      section_record record;
      record.start = probe[0];
      record.size = probe[1];
      const int expected = first_holding_range(ranges, record);
      const bool found = definition.find_range(record, ranges);
      FUZZ_CHECK(found == (expected >= 0));
      FUZZ_CHECK(record.range_index == (found ? expected : -1));
    }
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = write_scratch("memory.def", bytes);

  reference_definition expected;
  const std::vector<text_line> lines = split_lines(bytes, 511);
  for (const text_line& line : lines) {
    reference_line(line.text, expected);
  }

  c_memory_def definition;
  search_list searches;
  const bool ok = definition.read(path, searches);

  FUZZ_CHECK(same_ranges(definition.program_ranges, expected.ranges[0]));
  FUZZ_CHECK(same_ranges(definition.memory_ranges, expected.ranges[1]));
  FUZZ_CHECK(same_ranges(definition.eeprom_ranges, expected.ranges[2]));
  FUZZ_CHECK(same_ranges(definition.reserved_ranges, expected.ranges[3]));
  FUZZ_CHECK(ok == (!expected.ranges[0].empty() || !expected.ranges[1].empty() ||
                    !expected.ranges[2].empty() || !expected.ranges[3].empty()));

  FUZZ_CHECK(searches.size() == expected.entries.size());
  for (std::size_t i = 0; i < searches.size(); ++i) {
    const search_entry& entry = searches[i];
    FUZZ_CHECK(entry.valid);
    FUZZ_CHECK(entry.total == 0);
    FUZZ_CHECK(entry.all_terms == expected.entries[i].all_terms);
    FUZZ_CHECK(entry.any_terms == expected.entries[i].any_terms);
    FUZZ_CHECK(entry.none_terms == expected.entries[i].none_terms);
    FUZZ_CHECK(entry.display_text() == reference_display(expected.entries[i]));
  }

  // Names to match: fixed ones, the terms themselves and the lines.
  std::vector<std::string> names = {"", ".text", ".data", "ComStack", "CanIf", "ComTest"};
  for (std::size_t i = 0; i < searches.size() && names.size() < 48; ++i) {
    for (const std::string& term : searches[i].all_terms) {
      names.push_back(term);
    }
    for (const std::string& term : searches[i].any_terms) {
      names.push_back(term + "_x");
    }
  }
  for (std::size_t i = 0; i < lines.size() && i < 16; ++i) {
    names.push_back(lines[i].text);
  }
  for (std::size_t i = 0; i < searches.size() && i < 16; ++i) {
    for (const std::string& name : names) {
      FUZZ_CHECK(searches[i].matches(name) == reference_matches(expected.entries[i], name));
    }
    search_entry copy = searches[i];
    FUZZ_CHECK(copy.add_size(0xFFFFFFF0u));
    FUZZ_CHECK(copy.add_size(0x20u));
    FUZZ_CHECK(copy.total == 0x10u);
  }

  check_diagnosis(bytes, path, definition, ok);

  check_find_range(definition, definition.program_ranges);
  check_find_range(definition, definition.memory_ranges);
  check_find_range(definition, definition.reserved_ranges);

  const std::size_t reserved = definition.reserved_ranges.size();
  const memory_range past = definition.reserved_range(reserved);
  FUZZ_CHECK(past.start == 0 && past.size == 0);
  if (reserved > 0) {
    FUZZ_CHECK(definition.reserved_range(reserved - 1).start ==
               definition.reserved_ranges.back().start);
  }
  FUZZ_CHECK(read_whole_file(path) == bytes);
  return 0;
}
