#include "lint/lint.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "mapfile/c_map_file_elxr.h"

namespace {
// Sections named in one summing finding; the rest are counted only.
constexpr std::size_t k_names_shown = 5;
// Names (VL101) and sections (VL102) told one finding each; the rest are
// summed in one more, so a map read with the wrong keyword gives a page, not
// a finding per function.
constexpr std::size_t k_single_findings = 20;

lint_finding finding_at(std::string_view code, finding_severity severity, const std::string& file,
                        std::size_t line, std::size_t column, std::string message) {
  return {std::string(code), severity, file, line, column, std::move(message)};
}

std::string plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string bytes_text(std::uint64_t bytes) {
  return hex_text(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::string percent_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%", value);
  return text;
}

std::string range_text(const char* keyword, const memory_range& range) {
  return std::string(keyword) + " " + hex_text(range.start) + " " + hex_text(range.size);
}

// "line N" of a range or an entry of the reader's lists, when the lint's
// reading of the file found it there.
keyword_place place_of(const std::vector<keyword_place>& places, std::size_t index) {
  return index < places.size() ? places[index] : keyword_place{};
}

std::string line_text(const keyword_place& place) {
  return place.line == 0 ? std::string() : " (line " + std::to_string(place.line) + ")";
}

std::string section_text(const section_fate_record& fate) {
  return quoted_text(fate.name.str()) + (fate.map_line == 0
                                             ? std::string(" (made up by the reader)")
                                             : " (line " + std::to_string(fate.map_line) + ")");
}

std::string names_text(const std::vector<std::string>& names, std::size_t total) {
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < k_names_shown; ++i) {
    text += (i == 0 ? "" : ", ") + names[i];
  }
  if (total > k_names_shown) {
    text += " and " + std::to_string(total - k_names_shown) + " more";
  }
  return text;
}

std::vector<lint_finding> definition_part(const definition_diagnosis& diagnosis,
                                          const std::string& file) {
  std::vector<lint_finding> findings;
  findings.reserve(diagnosis.findings.size());
  for (const definition_finding& finding : diagnosis.findings) {
    const finding_rule rule = rule_of(finding.kind);
    findings.push_back(
        finding_at(rule.code, rule.severity, file, finding.line, finding.column, finding.message));
  }
  return findings;
}

// VL101: lines of a section line's shape whose name the keyword's reader does
// not take, one finding per name at its first line.
void name_not_accepted(const memory_analysis& analysis, const map_lint_input& map,
                       std::vector<lint_finding>& out) {
  struct named {
    const section_fate_record* first = nullptr;
    std::size_t sections = 0;
    std::uint64_t bytes = 0;
  };
  std::map<std::string, std::size_t> index_of;
  std::vector<named> names;
  for (const section_fate_record& fate : analysis.fates) {
    // Every reader drops a name holding "debug", whichever keyword reads it.
    if (fate.fate != section_fate::name_not_accepted ||
        fate.name.str().find("debug") != std::string::npos) {
      continue;
    }
    const auto inserted = index_of.emplace(fate.name.str(), names.size());
    if (inserted.second) {
      names.push_back({&fate, 0, 0});
    }
    named& name = names[inserted.first->second];
    ++name.sections;
    name.bytes += fate.size;
  }
  std::size_t rest_sections = 0;
  std::uint64_t rest_bytes = 0;
  for (std::size_t i = k_single_findings; i < names.size(); ++i) {
    rest_sections += names[i].sections;
    rest_bytes += names[i].bytes;
  }
  if (names.size() > k_single_findings) {
    const section_fate_record& first = *names[k_single_findings].first;
    out.push_back(finding_at("VL101", finding_severity::warning, map.map_file,
                             static_cast<std::size_t>(first.map_line), first.map_line == 0 ? 0 : 1,
                             std::to_string(names.size() - k_single_findings) +
                                 " more names that " + map.keyword + " does not take, from " +
                                 quoted_text(first.name.str()) +
                                 " on: " + plural(rest_sections, "section", "sections") + " (" +
                                 bytes_text(rest_bytes) + ") left out"));
    names.resize(k_single_findings);
  }
  for (const named& name : names) {
    const std::string& text = name.first->name.str();
    const std::vector<std::string> others = keywords_accepting(text, map.keyword);
    std::string message = "the line has the shape of a section line, but " + map.keyword +
                          " does not take the name " + quoted_text(text) + ": " +
                          plural(name.sections, "section", "sections") + " of that name (" +
                          bytes_text(name.bytes) + (name.sections == 1 ? ") is" : ") are") +
                          " left out";
    if (others.empty()) {
      message += "; no other keyword takes it either";
    } else {
      std::string list;
      for (const std::string& other : others) {
        list += (list.empty() ? "" : ", ") + other;
      }
      message += "; " + list + (others.size() == 1 ? " takes it" : " take it");
    }
    out.push_back(finding_at("VL101", finding_severity::warning, map.map_file,
                             static_cast<std::size_t>(name.first->map_line),
                             name.first->map_line == 0 ? 0 : 1, std::move(message)));
  }
}

// VL102: each section that straddles a range boundary, with its bytes inside
// and outside the first range it overlaps (program ranges first, as placement).
void straddling(const memory_analysis& analysis, const definition_diagnosis& diagnosis,
                const map_lint_input& map, std::vector<lint_finding>& out) {
  const auto find_overlap = [](const std::vector<memory_range>& ranges, std::uint64_t start,
                               std::uint64_t end) -> std::ptrdiff_t {
    for (std::size_t i = 0; i < ranges.size(); ++i) {
      const std::uint64_t range_end = std::uint64_t{ranges[i].start} + ranges[i].size;
      if (ranges[i].size != 0 && start < range_end && ranges[i].start < end) {
        return static_cast<std::ptrdiff_t>(i);
      }
    }
    return -1;
  };
  const c_memory_def& definition = analysis.definition;
  std::size_t told = 0;
  const section_fate_record* first_rest = nullptr;
  std::size_t rest_sections = 0;
  std::uint64_t rest_bytes = 0;
  for (const section_fate_record& fate : analysis.fates) {
    if (fate.fate != section_fate::straddles_range) {
      continue;
    }
    if (told == k_single_findings) {
      first_rest = first_rest == nullptr ? &fate : first_rest;
      ++rest_sections;
      rest_bytes += fate.size;
      continue;
    }
    ++told;
    const std::uint64_t start = fate.start;
    const std::uint64_t end = start + fate.size;
    bool program = true;
    std::ptrdiff_t index = find_overlap(definition.program_ranges, start, end);
    if (index < 0) {
      program = false;
      index = find_overlap(definition.memory_ranges, start, end);
    }
    std::string message = "the section " + section_text(fate) + " at " + hex_text(fate.start) +
                          ", " + bytes_text(fate.size) + ", lies across a range boundary";
    if (index >= 0) {
      const std::size_t i = static_cast<std::size_t>(index);
      const memory_range& range =
          program ? definition.program_ranges[i] : definition.memory_ranges[i];
      const std::uint64_t inside = std::min(end, std::uint64_t{range.start} + range.size) -
                                   std::max(start, std::uint64_t{range.start});
      message +=
          " of " + range_text(program ? "PROGRAM" : "MEMORY", range) +
          line_text(place_of(program ? diagnosis.program_lines : diagnosis.memory_lines, i)) +
          ": " + hex_text(inside) + " inside it, " + hex_text(fate.size - inside) + " outside";
    }
    message += "; a range counts only a section it holds whole, so it is counted nowhere";
    out.push_back(finding_at("VL102", finding_severity::warning, map.map_file,
                             static_cast<std::size_t>(fate.map_line), fate.map_line == 0 ? 0 : 1,
                             std::move(message)));
  }
  if (first_rest != nullptr) {
    out.push_back(finding_at("VL102", finding_severity::warning, map.map_file,
                             static_cast<std::size_t>(first_rest->map_line),
                             first_rest->map_line == 0 ? 0 : 1,
                             plural(rest_sections, "more section", "more sections") + " (" +
                                 bytes_text(rest_bytes) + ") lie across a range boundary, from " +
                                 section_text(*first_rest) + " on: each is counted nowhere"));
  }
}

// VL103: the sections outside every range, summed in one finding at the first.
void outside(const memory_analysis& analysis, const map_lint_input& map,
             std::vector<lint_finding>& out) {
  const section_fate_record* first = nullptr;
  std::vector<std::string> names;
  std::size_t sections = 0;
  std::uint64_t bytes = 0;
  for (const section_fate_record& fate : analysis.fates) {
    if (fate.fate != section_fate::outside_ranges) {
      continue;
    }
    first = first == nullptr ? &fate : first;
    if (names.size() < k_names_shown) {
      names.push_back(section_text(fate) + " at " + hex_text(fate.start));
    }
    ++sections;
    bytes += fate.size;
  }
  if (first == nullptr) {
    return;
  }
  out.push_back(
      finding_at("VL103", finding_severity::note, map.map_file,
                 static_cast<std::size_t>(first->map_line), first->map_line == 0 ? 0 : 1,
                 plural(sections, "section", "sections") + " (" + bytes_text(bytes) +
                     (sections == 1 ? ") lies outside every PROGRAM and MEMORY range and is"
                                    : ") lie outside every PROGRAM and MEMORY range and are") +
                     " counted nowhere: " + names_text(names, sections)));
}

// VL007 with a map: a SEARCH entry that no counted program section matches,
// unless the definition alone says so already.
void searches_unmatched(const memory_analysis& analysis, const definition_diagnosis& diagnosis,
                        const std::string& file, std::vector<lint_finding>& out) {
  std::set<std::size_t> told;
  for (const definition_finding& finding : diagnosis.findings) {
    if (finding.kind == definition_finding_kind::search_never_matches) {
      told.insert(finding.line);
    }
  }
  std::vector<bool> matched(analysis.searches.size(), false);
  const std::vector<search_breakdown::entry>& entries = analysis.breakdown.entries;
  for (std::size_t i = 0; i < entries.size() && i < matched.size(); ++i) {
    matched[i] = !entries[i].sections.empty();
  }
  for (const ambiguous_match_record& match : analysis.breakdown.ambiguous) {
    if (match.entry < matched.size()) {
      matched[match.entry] = true;
    }
  }
  const finding_rule rule = rule_of(definition_finding_kind::search_never_matches);
  for (std::size_t i = 0; i < matched.size(); ++i) {
    const keyword_place place = place_of(diagnosis.search_lines, i);
    if (matched[i] || place.line == 0 || told.count(place.line) > 0) {
      continue;
    }
    out.push_back(finding_at(rule.code, rule.severity, file, place.line, place.column,
                             "no counted program section of the map matches the SEARCH entry " +
                                 quoted_text(analysis.searches[i].display_text()) +
                                 ": it counts 0 bytes"));
  }
}

// VL104: per SEARCH entry and the entry that claimed the names first, the
// names matched again and their bytes, which count for the first one only.
void ambiguous(const memory_analysis& analysis, const definition_diagnosis& diagnosis,
               const std::string& file, std::vector<lint_finding>& out) {
  struct pair_sum {
    std::uint32_t entry = 0;
    std::uint32_t claimed_by = 0;
    std::size_t sections = 0;
    std::uint64_t bytes = 0;
    std::vector<std::string> names;
    std::set<std::uint32_t> name_ids;
  };
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::size_t> index_of;
  std::vector<pair_sum> pairs;
  for (const ambiguous_match_record& match : analysis.breakdown.ambiguous) {
    const auto inserted =
        index_of.emplace(std::make_pair(match.entry, match.claimed_by), pairs.size());
    if (inserted.second) {
      pairs.push_back({match.entry, match.claimed_by, 0, 0, {}, {}});
    }
    pair_sum& sum = pairs[inserted.first->second];
    ++sum.sections;
    sum.bytes += match.size;
    if (sum.name_ids.insert(match.name.id()).second && sum.names.size() < k_names_shown) {
      sum.names.push_back(quoted_text(match.name.str()));
    }
  }
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const pair_sum& a, const pair_sum& b) { return a.entry < b.entry; });
  const auto entry_text = [&analysis](std::uint32_t entry) {
    return entry < analysis.searches.size() ? quoted_text(analysis.searches[entry].display_text())
                                            : std::string("?");
  };
  for (const pair_sum& sum : pairs) {
    const keyword_place place = place_of(diagnosis.search_lines, sum.entry);
    std::string message = "the SEARCH entry " + entry_text(sum.entry) + " matches " +
                          plural(sum.sections, "section", "sections") + " (" +
                          bytes_text(sum.bytes) + ") ";
    if (sum.entry == sum.claimed_by) {
      message += "of names it claimed already with an earlier section: ";
    } else {
      message += "whose names the SEARCH entry " + entry_text(sum.claimed_by) +
                 line_text(place_of(diagnosis.search_lines, sum.claimed_by)) + " claimed first: ";
    }
    message += names_text(sum.names, sum.name_ids.size()) +
               "; matched twice, those bytes count for the first claim only and are set aside as "
               "ambiguous";
    out.push_back(finding_at("VL104", finding_severity::warning, file, place.line, place.column,
                             std::move(message)));
  }
}

// VL105: a program or memory range with more used than its size.
void overfull(const std::vector<range_usage>& usage, const std::vector<keyword_place>& places,
              const char* keyword, const std::string& file, std::vector<lint_finding>& out) {
  for (std::size_t i = 0; i < usage.size(); ++i) {
    const range_usage& range = usage[i];
    const std::uint64_t used = range.used_rounded();
    if (used <= range.range.size) {
      continue;
    }
    const keyword_place place = place_of(places, i);
    const std::optional<double> pct = range.used_pct();
    out.push_back(finding_at(
        "VL105", finding_severity::warning, file, place.line, place.column,
        "the range " + range_text(keyword, range.range) +
            " is overfull: " + plural(range.section_count, "section", "sections") + " use " +
            bytes_text(used) + (pct ? " (" + percent_text(*pct) + ")" : std::string()) + ", " +
            bytes_text(used - range.range.size) + " more than its size"));
  }
}

/// The first range that holds the bytes [start, start + size), program
/// ranges first as placement takes them; its text and line, or none.
struct holding_range {
  bool found = false;
  bool program = true;
  std::size_t index = 0;
};

holding_range range_holding(const c_memory_def& definition, std::uint32_t start,
                            std::uint32_t size) {
  section_record probe;
  probe.start = start;
  probe.size = size;
  if (definition.find_range(probe, definition.program_ranges)) {
    return {true, true, static_cast<std::size_t>(probe.range_index)};
  }
  if (definition.find_range(probe, definition.memory_ranges)) {
    return {true, false, static_cast<std::size_t>(probe.range_index)};
  }
  return {};
}

std::string holding_text(const memory_analysis& analysis, const definition_diagnosis& diagnosis,
                         const holding_range& held) {
  const c_memory_def& definition = analysis.definition;
  const memory_range& range =
      held.program ? definition.program_ranges[held.index] : definition.memory_ranges[held.index];
  return range_text(held.program ? "PROGRAM" : "MEMORY", range) +
         line_text(
             place_of(held.program ? diagnosis.program_lines : diagnosis.memory_lines, held.index));
}

/// One finding per section for the first ones of a rule, then one more that
/// sums the rest, from the first of them on.
class finding_batch {
 public:
  finding_batch(const char* code, finding_severity severity, const map_lint_input& map,
                std::vector<lint_finding>& out)
      : m_code(code), m_severity(severity), m_map(map), m_out(out) {}

  /// Whether the section gets a finding of its own; the rest are summed.
  bool single(const section_fate_record& fate) {
    if (m_told < k_single_findings) {
      ++m_told;
      return true;
    }
    m_first_rest = m_first_rest == nullptr ? &fate : m_first_rest;
    ++m_rest_sections;
    m_rest_bytes += fate.size;
    return false;
  }
  void add(const section_fate_record& fate, std::string message) {
    m_out.push_back(finding_at(m_code, m_severity, m_map.map_file,
                               static_cast<std::size_t>(fate.map_line), fate.map_line == 0 ? 0 : 1,
                               std::move(message)));
  }
  /// The sum of the rest: "N more sections (B bytes) " + what.
  void finish(const std::string& what) {
    if (m_first_rest != nullptr) {
      add(*m_first_rest, plural(m_rest_sections, "more section", "more sections") + " (" +
                             bytes_text(m_rest_bytes) + ") from " + section_text(*m_first_rest) +
                             " on: " + what);
    }
  }

 private:
  const char* m_code;
  finding_severity m_severity;
  const map_lint_input& m_map;
  std::vector<lint_finding>& m_out;
  std::size_t m_told = 0;
  const section_fate_record* m_first_rest = nullptr;
  std::size_t m_rest_sections = 0;
  std::uint64_t m_rest_bytes = 0;
};

// VL106: a listing made with the attribute words on each section line. The
// reader then takes every section's next line for its attribute line, so
// every other section is lost: one finding for the whole listing.
void wide_listing(const memory_analysis& analysis, const map_lint_input& map,
                  std::vector<lint_finding>& out) {
  const section_fate_record* first = nullptr;
  std::size_t sections = 0;
  for (const section_fate_record& fate : analysis.fates) {
    if (fate.has(k_trait_wide_listing)) {
      first = first == nullptr ? &fate : first;
      ++sections;
    }
  }
  if (first == nullptr) {
    return;
  }
  out.push_back(finding_at(
      "VL106", finding_severity::error, map.map_file, static_cast<std::size_t>(first->map_line), 1,
      "the section line of " + section_text(*first) +
          " carries the attribute words itself (a listing made with -w): the reader takes the "
          "line after each section line for its attribute line, so the section lines in between "
          "are lost (" +
          plural(sections, "section line", "section lines") +
          " with attribute words were read); list the sections without -w (objdump -h)"));
}

// VL107: a section that takes memory (ALLOC), dropped by a name rule, whose
// bytes lie inside a range.
void dropped_by_name_in_range(const memory_analysis& analysis,
                              const definition_diagnosis& diagnosis, const map_lint_input& map,
                              std::vector<lint_finding>& out) {
  finding_batch batch("VL107", finding_severity::warning, map, out);
  for (const section_fate_record& fate : analysis.fates) {
    // Only a section that takes memory (ALLOC) has bytes in the range: a
    // note or a debug section at address 0 takes none.
    const bool by_name =
        fate.fate == section_fate::excluded_name || fate.fate == section_fate::debug_name;
    if (!by_name || !fate.has(k_trait_alloc) || fate.size == 0) {
      continue;
    }
    const holding_range held = range_holding(analysis.definition, fate.start, fate.size);
    if (!held.found || !batch.single(fate)) {
      continue;
    }
    batch.add(fate, "the section " + section_text(fate) + " at " + hex_text(fate.start) + ", " +
                        bytes_text(fate.size) + ", lies inside " +
                        holding_text(analysis, diagnosis, held) + ", but " + map.keyword +
                        " drops it by its name (" + std::string(fate_keyword(fate.fate)) +
                        "): its bytes are counted nowhere");
  }
  batch.finish("each lies inside a range and is dropped by its name, counted nowhere");
}

// VL108: a counted section whose attribute line lacks ALLOC takes no memory
// in the image, yet its bytes are counted.
void counted_without_alloc(const memory_analysis& analysis, const map_lint_input& map,
                           std::vector<lint_finding>& out) {
  finding_batch batch("VL108", finding_severity::warning, map, out);
  for (const section_fate_record& fate : analysis.fates) {
    if (!is_counted(fate.fate) || !fate.has(k_trait_attributes) || fate.has(k_trait_alloc) ||
        !batch.single(fate)) {
      continue;
    }
    batch.add(fate, "the section " + section_text(fate) + ", " + bytes_text(fate.size) +
                        ", is counted in " +
                        (fate.fate == section_fate::counted_program ? "program" : "memory") +
                        std::to_string(fate.range_index) +
                        ", but its attribute line has no ALLOC: its bytes are not in the image");
  }
  batch.finish("each is counted, but none has ALLOC: their bytes are not in the image");
}

// VL109: the load copies the analysis found in a program range.
void load_copies(const memory_analysis& analysis, const definition_diagnosis& diagnosis,
                 const map_lint_input& map, std::vector<lint_finding>& out) {
  finding_batch batch("VL109", finding_severity::note, map, out);
  for (const section_fate_record& fate : analysis.fates) {
    if (fate.load_copy_range < 0 || !fate.load_copy_in_program || !batch.single(fate)) {
      continue;
    }
    const holding_range held = {true, true, static_cast<std::size_t>(fate.load_copy_range)};
    batch.add(fate, "the initial values of the section " + section_text(fate) + ", " +
                        bytes_text(fate.size) + ", are loaded at " +
                        hex_text(*fate.detail.load_address) + " in " +
                        holding_text(analysis, diagnosis, held) + ", away from its run address " +
                        hex_text(fate.start) + ": a load copy, counted in the range's footprint");
  }
  batch.finish("load copies in a program range, counted in its footprint");
}

// VL110: an address or size column beyond 32 bits, which the reader reads as 0.
void wide_values(const memory_analysis& analysis, const map_lint_input& map,
                 std::vector<lint_finding>& out) {
  finding_batch batch("VL110", finding_severity::error, map, out);
  for (const section_fate_record& fate : analysis.fates) {
    const std::uint8_t wide =
        fate.detail.traits & (k_trait_wide_start | k_trait_wide_size | k_trait_wide_load);
    if (wide == 0 || !batch.single(fate)) {
      continue;
    }
    std::string columns;
    const auto name_column = [&columns](const char* column) {
      columns += (columns.empty() ? "" : " and ") + std::string(column);
    };
    if ((wide & k_trait_wide_start) != 0) {
      name_column("address");
    }
    if ((wide & k_trait_wide_size) != 0) {
      name_column("size");
    }
    if ((wide & k_trait_wide_load) != 0) {
      name_column("load address");
    }
    if (analysis.image.as_map) {
      batch.add(fate, "the " + columns + " of the section " + section_text(fate) +
                          " in the image lies beyond 32 bits, where no range of the definition "
                          "reaches: the section is dropped (" +
                          std::string(fate_keyword(fate.fate)) + ")");
      continue;
    }
    batch.add(fate, "the " + columns + " of the section " + section_text(fate) +
                        " holds more than 32 bits: the reader reads such a column as 0, so the "
                        "section's place or size is wrong (" +
                        std::string(fate_keyword(fate.fate)) + ")");
  }
  batch.finish("each with a column of more than 32 bits, read as 0");
}

// VL112 to VL114: what the image's symbols and sections say of the attribution.
void image_findings(const memory_analysis& analysis, const map_lint_input& map,
                    std::vector<lint_finding>& out) {
  const image_account& image = analysis.image;
  if (!image.given) {
    return;
  }
  if (image.overlapping_symbols > 0 || image.cut_symbols > 0) {
    std::string message = "in the image " + image.path + ", ";
    if (image.overlapping_symbols > 0) {
      message += plural(image.overlapping_symbols, "symbol overlaps", "symbols overlap") +
                 " the symbols before them by " + bytes_text(image.overlap_bytes) + " in all";
    }
    if (image.cut_symbols > 0) {
      message += std::string(image.overlapping_symbols > 0 ? " and " : "") +
                 plural(image.cut_symbols, "symbol reaches", "symbols reach") +
                 " beyond its section";
    }
    out.push_back(finding_at("VL112", finding_severity::note, map.map_file, 0, 0,
                             message + ": each byte is counted once, for the first symbol"));
  }
  if (image.foreign()) {
    out.push_back(finding_at(
        "VL114", finding_severity::error, map.map_file, 0, 0,
        "not one counted section of the map has a section of its name and address in the image " +
            image.path + ": it is not this map's image, so no symbol is attributed"));
    return;
  }
  finding_batch batch("VL113", finding_severity::warning, map, out);
  for (const std::size_t index : image.unmatched_sections) {
    const section_fate_record& fate = analysis.fates[index];
    if (batch.single(fate)) {
      batch.add(fate, "the counted section " + section_text(fate) + " at " + hex_text(fate.start) +
                          " has no section of its name and address in the image " + image.path +
                          ": its " + bytes_text(fate.size) + " are unattributed");
    }
  }
  batch.finish("each without its section in the image, unattributed");
}

// VL111: lines longer than the reader takes, cut there.
void cut_lines(const memory_analysis& analysis, const map_lint_input& map,
               std::vector<lint_finding>& out) {
  const std::vector<std::uint64_t>& lines = analysis.cut_map_lines;
  for (std::size_t i = 0; i < lines.size() && i < k_single_findings; ++i) {
    out.push_back(finding_at(
        "VL111", finding_severity::warning, map.map_file, static_cast<std::size_t>(lines[i]), 1,
        "the line is longer than the " + std::to_string(c_map_file::k_elxr_line_length) +
            " characters the reader takes: it is read cut there, and a section on it may be "
            "lost or misread"));
  }
  if (lines.size() > k_single_findings) {
    out.push_back(
        finding_at("VL111", finding_severity::warning, map.map_file,
                   static_cast<std::size_t>(lines[k_single_findings]), 1,
                   plural(lines.size() - k_single_findings, "more line", "more lines") +
                       " from this one on are longer than the reader takes and read cut"));
  }
}

struct keyword_pattern {
  const char* keyword;
  const elxr_line_matcher* pattern;
};

// The section-line patterns of the elxr readers, which each reader class
// builds once and never changes; a reader made for the asking lends it.
const std::vector<keyword_pattern>& elxr_patterns() {
  static const std::vector<keyword_pattern> patterns = [] {
    std::vector<keyword_pattern> made;
    for (const char* keyword : {"Tev2", "Orm8", "Pux4", "Tev2_mem32_unlimited"}) {
      const std::unique_ptr<c_map_file> reader = make_map_reader(keyword, std::string());
      if (const auto* elxr = dynamic_cast<const c_map_file_elxr*>(reader.get())) {
        made.push_back({keyword, &elxr->section_pattern()});
      }
    }
    return made;
  }();
  return patterns;
}

std::size_t sort_line(const lint_finding& finding) {
  return finding.line == 0 ? static_cast<std::size_t>(-1) : finding.line;
}
}  // namespace

std::string no_listing_text(map_form form, const std::string& keyword) {
  switch (form) {
    case map_form::listing:
      break;
    case map_form::elf_file:
      return "is an ELF file (it starts with the ELF magic), not a section listing: give the "
             "listing of its sections (objdump -h), or read the image itself with the keyword " +
             std::string(k_image_keyword);
    case map_form::linker_map:
      return "is a GNU ld map file (\"Memory Configuration\", \"Linker script and memory map\"), "
             "not a section listing: give the listing of the image's sections (objdump -h)";
    case map_form::binary_file:
      return "is not a text file (NUL bytes in its first block), so no section listing";
    case map_form::no_listing:
      break;
  }
  return "holds no section line of the shape " + keyword +
         " reads, nor a listing's header line (Idx Name Size VMA LMA): no section listing";
}

std::vector<std::string> keywords_accepting(std::string_view section_name,
                                            const std::string& keyword) {
  // A line of the shape the readers look for, with nothing but the name to
  // decide; the name has no blank, so a whole-line match takes it whole.
  const std::string line = "0 " + std::string(section_name) + " 0 0 ";
  std::vector<std::string> accepting;
  for (const keyword_pattern& other : elxr_patterns()) {
    elxr_line_match match;
    // A reader that takes the line but drops the name by its name rules
    // takes nothing.
    if (keyword != other.keyword && other.pattern->match(line, match) &&
        c_map_file_elxr::name_rule(match.name) == section_fate::counted_program) {
      accepting.emplace_back(other.keyword);
    }
  }
  return accepting;
}

std::vector<lint_finding> lint_findings(const definition_diagnosis& diagnosis,
                                        const std::string& definition_file,
                                        const map_lint_input& map) {
  std::vector<lint_finding> findings = definition_part(diagnosis, definition_file);
  const memory_analysis* analysis = map.analysis;
  if (analysis == nullptr || analysis->failure.failed()) {
    return findings;
  }
  searches_unmatched(*analysis, diagnosis, definition_file, findings);
  ambiguous(*analysis, diagnosis, definition_file, findings);
  overfull(analysis->program_usage, diagnosis.program_lines, "PROGRAM", definition_file, findings);
  overfull(analysis->memory_usage, diagnosis.memory_lines, "MEMORY", definition_file, findings);
  std::stable_sort(
      findings.begin(), findings.end(), [](const lint_finding& a, const lint_finding& b) {
        return sort_line(a) != sort_line(b) ? sort_line(a) < sort_line(b) : a.column < b.column;
      });

  std::vector<lint_finding> map_findings;
  if (analysis->form != map_form::listing) {
    findings.push_back(finding_at("VL100", finding_severity::error, map.map_file, 0, 0,
                                  "the map " + no_listing_text(analysis->form, map.keyword)));
    return findings;
  }
  wide_listing(*analysis, map, map_findings);
  name_not_accepted(*analysis, map, map_findings);
  straddling(*analysis, diagnosis, map, map_findings);
  outside(*analysis, map, map_findings);
  dropped_by_name_in_range(*analysis, diagnosis, map, map_findings);
  counted_without_alloc(*analysis, map, map_findings);
  load_copies(*analysis, diagnosis, map, map_findings);
  wide_values(*analysis, map, map_findings);
  cut_lines(*analysis, map, map_findings);
  image_findings(*analysis, map, map_findings);
  std::stable_sort(
      map_findings.begin(), map_findings.end(),
      [](const lint_finding& a, const lint_finding& b) { return sort_line(a) < sort_line(b); });
  findings.insert(findings.end(), std::make_move_iterator(map_findings.begin()),
                  std::make_move_iterator(map_findings.end()));
  return findings;
}

lint_run lint_inputs(const input_source& definition, const std::optional<input_source>& map,
                     const std::string& keyword, const std::optional<input_source>& image) {
  lint_run run;
  const definition_diagnosis diagnosis = diagnose_memory_def_file(definition);
  if (!diagnosis.readable) {
    run.unreadable = lint_unreadable::definition;
    return run;
  }
  // A file that is no text and holds no range line gives one finding, not
  // one for every line it seems to have.
  const bool no_range_line = std::any_of(
      diagnosis.findings.begin(), diagnosis.findings.end(), [](const definition_finding& finding) {
        return finding.kind == definition_finding_kind::no_range_lines;
      });
  const map_form definition_form = no_range_line ? sniff_map_form(definition) : map_form::listing;
  if (definition_form == map_form::elf_file || definition_form == map_form::binary_file) {
    run.findings.push_back(
        finding_at("VL013", finding_severity::error, definition.path, 0, 0,
                   std::string("the file ") +
                       (definition_form == map_form::elf_file
                            ? "is an ELF file (it starts with the ELF magic)"
                            : "is not a text file (NUL bytes in its first block)") +
                       ", so no memory definition: nothing of it was read as one"));
    return run;
  }
  const bool refused = std::any_of(diagnosis.findings.begin(), diagnosis.findings.end(),
                                   [](const definition_finding& finding) {
                                     return finding.kind == definition_finding_kind::no_range_lines;
                                   });
  memory_analysis analysis;
  map_lint_input map_input;
  if (map && !refused) {
    analysis_request request;
    request.type_keyword = keyword;
    request.definition_path = definition.path;
    request.definition_text = definition.text;
    request.map_path = map->path;
    request.map_text = map->text;
    request.image_keywords = true;
    if (image) {
      request.image_path = image->path;
      request.image_text = image->text;
    }
    request.collect_fates = true;
    analysis = analyse_memory(request);
    if (analysis.failure.failed()) {
      // An image that cannot be read fails the analysis after the map was read, so only the
      // image's own reason says which of the two it was.
      run.image_error = analysis.failure.image_error;
      const bool image_beside = image && keyword != k_image_keyword;
      run.unreadable =
          image_beside && !run.image_error.empty() ? lint_unreadable::image : lint_unreadable::map;
      return run;
    }
    map_input = {&analysis, keyword, map->path};
  }
  run.findings = lint_findings(diagnosis, definition.path, map_input);
  return run;
}

bool at_least(finding_severity severity, finding_severity threshold) {
  // The enumeration runs from the gravest down.
  return static_cast<int>(severity) <= static_cast<int>(threshold);
}

severity_counts count_by_severity(const std::vector<lint_finding>& findings) {
  severity_counts counts;
  for (const lint_finding& finding : findings) {
    switch (finding.severity) {
      case finding_severity::error:
        ++counts.errors;
        break;
      case finding_severity::warning:
        ++counts.warnings;
        break;
      case finding_severity::note:
        ++counts.notes;
        break;
    }
  }
  return counts;
}
