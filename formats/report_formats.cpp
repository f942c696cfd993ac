#include "formats/report_formats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "formats/format_text.h"

namespace {
std::string number(std::uint64_t value) { return std::to_string(value); }
std::string number(std::int64_t value) { return std::to_string(value); }

/// "id" or null for a range index of a counted section.
std::string range_of(const section_fate_record& fate) {
  if (fate.range_index < 0 || !is_counted(fate.fate)) {
    return {};
  }
  return range_id(fate.fate == section_fate::counted_program,
                  static_cast<std::size_t>(fate.range_index));
}

std::optional<double> quotient(double part, double whole) {
  if (whole == 0) {
    return std::nullopt;
  }
  return part * 100.0 / whole;
}

/// A range as every format lists it.
struct range_row {
  std::string id;
  const char* kind;
  std::size_t index;
  const range_usage* usage;
};

std::vector<range_row> range_rows(const memory_analysis& memory) {
  std::vector<range_row> rows;
  for (std::size_t i = 0; i < memory.program_usage.size(); ++i) {
    rows.push_back({range_id(true, i), "program", i, &memory.program_usage[i]});
  }
  for (std::size_t i = 0; i < memory.memory_usage.size(); ++i) {
    rows.push_back({range_id(false, i), "memory", i, &memory.memory_usage[i]});
  }
  return rows;
}

// ---- JSON ------------------------------------------------------------------

std::string json_key(const char* key) { return json_string(key) + ": "; }

std::string json_input(const report_input& input) {
  return "{" + json_key("path") + json_string(input.path) + ", " + json_key("bytes") +
         number(input.bytes) + ", " + json_key("sha256") + json_string(input.sha256) + "}";
}

std::string json_terms(const std::vector<std::string>& terms) {
  std::string out = "[";
  for (std::size_t i = 0; i < terms.size(); ++i) {
    out += (i == 0 ? "" : ", ") + json_string(terms[i]);
  }
  return out + "]";
}

std::string json_load_copies(std::size_t sections, std::uint64_t bytes) {
  return "{" + json_key("sections") + number(std::uint64_t{sections}) + ", " + json_key("bytes") +
         number(bytes) + "}";
}

/// ", "attributed": A, "unattributed": U", both null when the run read no image.
std::string json_attribution(bool with_image, std::uint64_t attributed,
                             std::uint64_t unattributed) {
  if (!with_image) {
    return ", \"attributed\": null, \"unattributed\": null";
  }
  return ", " + json_key("attributed") + number(attributed) + ", " + json_key("unattributed") +
         number(unattributed);
}

std::string json_range(const range_row& row, bool with_image) {
  const range_usage& usage = *row.usage;
  return "{" + json_key("id") + json_string(row.id) + ", " + json_key("kind") +
         json_string(row.kind) + ", " + json_key("index") + number(std::uint64_t{row.index}) +
         ", " + json_key("label") + (usage.label ? json_string(*usage.label) : "null") + ", " +
         json_key("start") + number(std::uint64_t{usage.range.start}) + ", " + json_key("size") +
         number(std::uint64_t{usage.range.size}) + ", " + json_key("used") +
         number(usage.used_rounded()) + ", " + json_key("free") + number(usage.free()) + ", " +
         json_key("used_pct") + json_number(usage.used_pct()) + ", " + json_key("sections") +
         number(std::uint64_t{usage.section_count}) + ", " + json_key("load_copies") +
         json_load_copies(usage.load_copy_sections, usage.load_copy_bytes) + ", " +
         json_key("footprint") + number(usage.footprint()) +
         json_attribution(with_image, usage.attributed_bytes, usage.unattributed_bytes()) + "}";
}

std::string json_totals(const memory_analysis& memory) {
  const bool with_image = memory.image.given;
  const std::int64_t program_free = static_cast<std::int64_t>(memory.program_total) -
                                    static_cast<std::int64_t>(memory.program_used);
  std::string out =
      "{" + json_key("program") + "{" + json_key("total") + number(memory.program_total) + ", " +
      json_key("used") + number(memory.program_used) + ", " + json_key("free") +
      number(program_free) + ", " + json_key("used_pct") + json_number(memory.program_used_pct()) +
      ", " + json_key("sections") + number(std::uint64_t{memory.program_sections.size()}) + ", " +
      json_key("average") + json_number(memory.program_average()) + ", " + json_key("load_copies") +
      json_load_copies(memory.program_load_copy_sections, memory.program_load_copy_bytes) + ", " +
      json_key("footprint") + number(memory.program_footprint()) +
      json_attribution(with_image, memory.program_attributed, memory.program_unattributed()) +
      "}, ";
  out += json_key("memory") + "{" + json_key("total") + number(memory.memory_total) + ", " +
         json_key("used_bytes") + number(memory.memory_used_bytes) + ", " + json_key("used_bits") +
         number(memory.memory_used_bits) + ", " + json_key("used") +
         json_number(memory.memory_used()) + ", " + json_key("free") +
         json_number(static_cast<double>(memory.memory_total) - memory.memory_used()) + ", " +
         json_key("used_pct") + json_number(memory.memory_used_pct()) + ", " +
         json_key("sections") + number(std::uint64_t{memory.memory_sections.size()}) + ", " +
         json_key("average") + json_number(memory.memory_average()) +
         json_attribution(with_image, memory.memory_attributed, memory.memory_unattributed()) +
         "}}";
  return out;
}

std::string json_group(const memory_analysis& memory, std::size_t index) {
  const search_breakdown::entry& entry = memory.breakdown.entries[index];
  return "{" + json_key("index") + number(std::uint64_t{index}) + ", " + json_key("search") +
         json_string(entry.text) + ", " + json_key("all") + json_terms(entry.all_terms) + ", " +
         json_key("any") + json_terms(entry.any_terms) + ", " + json_key("none") +
         json_terms(entry.none_terms) + ", " + json_key("bytes") + number(entry.bytes) + ", " +
         json_key("pct_of_program") +
         json_number(
             quotient(static_cast<double>(entry.bytes), static_cast<double>(memory.program_used))) +
         ", " + json_key("sections") + number(std::uint64_t{entry.sections.size()}) +
         json_attribution(memory.image.given, entry.attributed_bytes, entry.unattributed_bytes()) +
         "}";
}

std::string search_text(const search_breakdown& breakdown, std::uint32_t entry) {
  return entry < breakdown.entries.size() ? breakdown.entries[entry].text : std::string();
}

std::string json_match(const search_breakdown& breakdown, const ambiguous_match_record& match) {
  return "{" + json_key("section") + json_string(match.name.str()) + ", " + json_key("search") +
         json_string(search_text(breakdown, match.entry)) + ", " + json_key("earlier_search") +
         json_string(search_text(breakdown, match.claimed_by)) + "}";
}

void append_number(std::string& out, std::uint64_t value) {
  char digits[24];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, end.ptr);
}

/// One section object, appended to a buffer the caller reuses: listings
/// have hundreds of thousands of sections.
void append_json_section(std::string& out, const section_fate_record& fate, bool with_image) {
  const bool counted = is_counted(fate.fate);
  out += "{\"name\": ";
  append_json_string(out, fate.name);
  out += ", \"start\": ";
  append_number(out, fate.start);
  out += ", \"load_address\": ";
  if (fate.detail.load_address) {
    append_number(out, *fate.detail.load_address);
  } else {
    out += "null";
  }
  out += ", \"size\": ";
  append_number(out, fate.size);
  out += fate.size_unit == 1 ? ", \"unit\": \"bits\", \"line\": "
                             : ", \"unit\": \"bytes\", \"line\": ";
  if (fate.map_line == 0) {
    out += "null";
  } else {
    append_number(out, fate.map_line);
  }
  out += counted ? ", \"fate\": \"counted\", \"range\": " : ", \"fate\": \"dropped\", \"range\": ";
  if (counted && fate.range_index >= 0) {
    out += fate.fate == section_fate::counted_program ? "\"program" : "\"memory";
    append_number(out, static_cast<std::uint64_t>(fate.range_index));
    out += '"';
  } else {
    out += "null";
  }
  out += ", \"group\": ";
  if (fate.group < 0) {
    out += "null";
  } else {
    append_number(out, static_cast<std::uint64_t>(fate.group));
  }
  out += ", \"reason\": ";
  if (counted) {
    out += "null";
  } else {
    append_json_string(out, fate_keyword(fate.fate));
  }
  if (counted && with_image) {
    out += ", \"attributed\": ";
    append_number(out, fate.attributed);
    out += ", \"unattributed\": ";
    append_number(out, fate.unattributed());
  } else {
    out += ", \"attributed\": null, \"unattributed\": null";
  }
  out += '}';
}

/// One symbol object, appended like a section.
void append_json_symbol(std::string& out, const symbol_record& symbol) {
  out += "{\"name\": ";
  append_json_string(out, symbol.name);
  out += ", \"display\": ";
  append_json_string(out, symbol.display);
  out += ", \"key\": ";
  append_json_string(out, symbol.key);
  out += ", \"kind\": ";
  append_json_string(out, symbol_kind_keyword(symbol.kind));
  out += ", \"binding\": ";
  append_json_string(out, symbol_binding_keyword(symbol.binding));
  out += ", \"file\": ";
  if (symbol.file.empty()) {
    out += "null";
  } else {
    append_json_string(out, symbol.file);
  }
  out += ", \"section\": ";
  append_number(out, std::uint64_t{symbol.section});
  out += ", \"address\": ";
  append_number(out, symbol.address);
  out += ", \"size\": ";
  append_number(out, symbol.size);
  out += ", \"bytes\": ";
  append_number(out, symbol.bytes);
  out += ", \"aliases\": [";
  for (std::size_t i = 0; i < symbol.aliases.size(); ++i) {
    if (i > 0) {
      out += ", ";
    }
    append_json_string(out, symbol.aliases[i]);
  }
  out += "]}";
}

/// A top-level array of records appended one a line, written in pieces of about 64 KiB: the
/// whole list is never held.
template <typename record, typename append_record>
void write_json_records(std::ostream& out, const char* key, const std::vector<record>& records,
                        const append_record& append) {
  constexpr std::size_t k_piece = 64 * 1024;
  out << json_key(key) << '[';
  std::string buffer;
  buffer.reserve(k_piece + 1024);
  for (std::size_t i = 0; i < records.size(); ++i) {
    buffer += i == 0 ? "\n    " : ",\n    ";
    append(buffer, records[i]);
    if (buffer.size() >= k_piece || i + 1 == records.size()) {
      out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      buffer.clear();
    }
  }
  out << (records.empty() ? "]" : "\n  ]");
}

std::string json_image(const image_account& image) {
  if (!image.given) {
    return "null";
  }
  std::string unmatched = "[";
  for (std::size_t i = 0; i < image.unmatched_sections.size(); ++i) {
    unmatched += (i == 0 ? "" : ", ") + number(std::uint64_t{image.unmatched_sections[i]});
  }
  unmatched += "]";
  return "{" + json_key("as_map") + (image.as_map ? "true" : "false") + ", " +
         json_key("matched_sections") + number(std::uint64_t{image.matched_sections}) + ", " +
         json_key("unmatched_sections") + unmatched + ", " + json_key("overlapping_symbols") +
         number(std::uint64_t{image.overlapping_symbols}) + ", " + json_key("overlap_bytes") +
         number(image.overlap_bytes) + ", " + json_key("cut_symbols") +
         number(std::uint64_t{image.cut_symbols}) + "}";
}

std::string json_eep_block(std::uint64_t total, std::uint64_t used, std::uint64_t free) {
  return "{" + json_key("total") + number(total) + ", " + json_key("used") + number(used) + ", " +
         json_key("free") + number(free) + ", " + json_key("used_pct") +
         json_number(quotient(static_cast<double>(used), static_cast<double>(total))) + "}";
}

std::string json_eeprom(const analysis_result& result) {
  if (!result.has_eep || result.eep.failure.failed()) {
    return "null";
  }
  const eep_sizes& sizes = result.eep.sizes;
  const eep_totals_exact totals = compute_eep_totals_exact(sizes);
  return "{" + json_key("once_data_size") + number(std::uint64_t{sizes.once_data_size}) + ", " +
         json_key("triple_data_size") + number(std::uint64_t{sizes.triple_data_size}) + ", " +
         json_key("once_data_free") + number(std::uint64_t{sizes.once_data_free}) + ", " +
         json_key("triple_data_free") + number(std::uint64_t{sizes.triple_data_free}) + ", " +
         json_key("overall") +
         json_eep_block(totals.overall_total, totals.overall_used, totals.overall_free) + ", " +
         json_key("once") + json_eep_block(totals.once_total, totals.once_used, totals.once_free) +
         ", " + json_key("triple") +
         json_eep_block(totals.triple_total, totals.triple_used, totals.triple_free) + "}";
}

std::string json_diagnostic(const report_diagnostic& diagnostic) {
  return "{" + json_key("code") + json_string(diagnostic.code) + ", " + json_key("severity") +
         json_string(diagnostic.severity) + ", " + json_key("file") + json_string(diagnostic.file) +
         ", " + json_key("line") + number(std::uint64_t{diagnostic.line}) + ", " +
         json_key("column") + number(std::uint64_t{diagnostic.column}) + ", " +
         json_key("message") + json_string(diagnostic.message) + "}";
}

/// An array member of the top-level object, one element a line, each made
/// and written on its own.
template <typename element_text>
void write_json_array(std::ostream& out, const char* key, std::size_t count,
                      const element_text& element, const char* indent = "    ",
                      const char* closing = "  ") {
  out << json_key(key) << '[';
  for (std::size_t i = 0; i < count; ++i) {
    out << (i == 0 ? "\n" : ",\n") << indent << element(i);
  }
  if (count > 0) {
    out << '\n' << closing;
  }
  out << ']';
}
/// The "matches" array of the ambiguous matches. A listing with hundreds of
/// thousands of sections of a few names repeats a few distinct matches: each
/// object is made once (a name is claimed by one entry, so the name and the
/// entry that matched again make it), and they are written in large pieces.
void write_json_matches(std::ostream& out, const search_breakdown& breakdown) {
  constexpr std::size_t k_piece = 64 * 1024;
  std::unordered_map<std::uint64_t, std::string> made;
  std::string buffer;
  out << json_key("matches") << '[';
  for (std::size_t i = 0; i < breakdown.ambiguous.size(); ++i) {
    const ambiguous_match_record& match = breakdown.ambiguous[i];
    std::string& text = made[std::uint64_t{match.name.id()} << 32 | match.entry];
    if (text.empty()) {
      text = json_match(breakdown, match);
    }
    buffer += i == 0 ? "\n    " : ",\n    ";
    buffer += text;
    if (buffer.size() >= k_piece) {
      out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      buffer.clear();
    }
  }
  out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  if (!breakdown.ambiguous.empty()) {
    out << "\n  ";
  }
  out << ']';
}
}  // namespace

std::string range_id(bool program, std::size_t index) {
  return (program ? "program" : "memory") + std::to_string(index);
}

void write_json_report(std::ostream& out, const analysis_result& result,
                       const report_context& context) {
  const memory_analysis& memory = result.memory;
  out << "{\n";
  out << "  " << json_key("schema") << "\"vemora-report\",\n";
  out << "  " << json_key("schema_version") << json_string(k_report_schema_version) << ",\n";
  out << "  " << json_key("tool") << "{" << json_key("name") << json_string(context.tool_name)
      << ", " << json_key("version") << json_string(context.tool_version) << "},\n";
  out << "  " << json_key("keyword") << json_string(context.keyword) << ",\n";
  out << "  " << json_key("inputs") << "{" << json_key("memory_definition")
      << json_input(context.memory_definition) << ", " << json_key("map") << json_input(context.map)
      << ", " << json_key("eeprom_source")
      << (context.eeprom_source ? json_input(*context.eeprom_source) : "null") << ", "
      << json_key("image") << (context.image ? json_input(*context.image) : "null") << "},\n";

  const std::vector<range_row> rows = range_rows(memory);
  out << "  ";
  write_json_array(out, "ranges", rows.size(), [&rows, &memory](std::size_t i) {
    return json_range(rows[i], memory.image.given);
  });
  out << ",\n";
  out << "  " << json_key("totals") << json_totals(memory) << ",\n";
  out << "  ";
  write_json_array(out, "groups", memory.breakdown.entries.size(),
                   [&memory](std::size_t i) { return json_group(memory, i); });
  out << ",\n";
  out << "  " << json_key("accounted_bytes") << number(memory.breakdown.accounted_exact) << ",\n";
  out << "  " << json_key("ambiguous") << "{" << json_key("bytes")
      << number(memory.breakdown.ambiguous_bytes_exact) << ", ";
  write_json_matches(out, memory.breakdown);
  out << "},\n";
  out << "  ";
  const bool with_image = memory.image.given;
  write_json_records(out, "sections", memory.fates,
                     [with_image](std::string& buffer, const section_fate_record& fate) {
                       append_json_section(buffer, fate, with_image);
                     });
  out << ",\n  ";
  write_json_records(out, "symbols", memory.symbols, append_json_symbol);
  out << ",\n";
  out << "  " << json_key("image") << json_image(memory.image) << ",\n";

  out << "  " << json_key("dropped") << "{";
  bool first = true;
  for (std::size_t i = 0; i < k_fate_count; ++i) {
    const auto fate = static_cast<section_fate>(i);
    const fate_sum& sum = memory.by_fate[i];
    if (is_counted(fate) || sum.sections == 0) {
      continue;
    }
    out << (first ? "" : ", ") << json_string(fate_keyword(fate)) << ": {" << json_key("sections")
        << number(std::uint64_t{sum.sections}) << ", " << json_key("bytes") << number(sum.bytes)
        << "}";
    first = false;
  }
  out << "},\n";
  out << "  " << json_key("eeprom") << json_eeprom(result) << ",\n";

  // A failed run lists its failure messages as errors after the definition's
  // findings, so that a report written anyway never passes for a clean one.
  std::vector<report_diagnostic> diagnostics = context.diagnostics;
  for (const std::string& message : result.failure().messages) {
    diagnostics.push_back({"", "error", "", 0, 0, message});
  }
  out << "  ";
  write_json_array(out, "diagnostics", diagnostics.size(),
                   [&diagnostics](std::size_t i) { return json_diagnostic(diagnostics[i]); });
  if (!context.diff_json.empty()) {
    out << ",\n  " << json_key("diff") << context.diff_json;
  }
  out << "\n}\n";
}

void write_json_diagnostics(std::ostream& out, const std::vector<report_diagnostic>& diagnostics) {
  out << "{\n  ";
  write_json_array(out, "diagnostics", diagnostics.size(),
                   [&diagnostics](std::size_t i) { return json_diagnostic(diagnostics[i]); });
  out << "\n}\n";
}

// ---- CSV -------------------------------------------------------------------

namespace {
constexpr const char* k_csv_line_end = "\r\n";
}  // namespace

void write_sections_csv(std::ostream& out, const analysis_result& result) {
  out << "name,start,size,unit,line,fate,range,group,reason,load_address" << k_csv_line_end;
  for (const section_fate_record& fate : result.memory.fates) {
    const bool counted = is_counted(fate.fate);
    out << csv_field(fate.name) << ',' << hex_address(fate.start) << ',' << fate.size << ','
        << (fate.size_unit == 1 ? "bits" : "bytes") << ','
        << (fate.map_line == 0 ? std::string() : number(fate.map_line)) << ','
        << (counted ? "counted" : "dropped") << ',' << range_of(fate) << ','
        << (fate.group < 0 ? std::string() : number(std::int64_t{fate.group})) << ','
        << (counted ? std::string_view() : fate_keyword(fate.fate)) << ','
        << (fate.detail.load_address ? hex_address(*fate.detail.load_address) : std::string())
        << k_csv_line_end;
  }
}

void write_ranges_csv(std::ostream& out, const analysis_result& result) {
  out << "id,kind,label,start,size,used,free,used_pct,sections,load_copy_bytes,footprint"
      << k_csv_line_end;
  for (const range_row& row : range_rows(result.memory)) {
    const range_usage& usage = *row.usage;
    const std::string pct = json_number(usage.used_pct());
    out << row.id << ',' << row.kind << ',' << (usage.label ? csv_field(*usage.label) : "") << ','
        << hex_address(usage.range.start) << ',' << usage.range.size << ',' << usage.used_rounded()
        << ',' << usage.free() << ',' << (pct == "null" ? "" : pct) << ',' << usage.section_count
        << ',' << usage.load_copy_bytes << ',' << usage.footprint() << k_csv_line_end;
  }
}

// ---- Markdown --------------------------------------------------------------

namespace {
constexpr std::size_t k_markdown_symbols = 10;

/// Per range its largest symbols (bytes, then symbol order) and the split of its used bytes.
void write_markdown_symbols(std::ostream& out, const memory_analysis& memory,
                            const std::vector<range_row>& rows) {
  for (const range_row& row : rows) {
    std::vector<std::size_t> held;
    for (std::size_t i = 0; i < memory.symbols.size(); ++i) {
      if (memory.range_of(memory.symbols[i]) == row.usage) {
        held.push_back(i);
      }
    }
    const std::size_t shown = std::min(held.size(), k_markdown_symbols);
    std::partial_sort(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(shown), held.end(),
                      [&memory](std::size_t a, std::size_t b) {
                        const std::uint64_t x = memory.symbols[a].bytes;
                        const std::uint64_t y = memory.symbols[b].bytes;
                        return x != y ? x > y : a < b;
                      });
    out << "### Largest symbols of " << row.id << "\n\n";
    if (shown == 0) {
      out << "No symbol.\n\n";
    } else {
      out << "| Symbol | Kind | Section | Bytes | % of used |\n";
      out << "|---|---|---|---:|---:|\n";
      for (std::size_t i = 0; i < shown; ++i) {
        const symbol_record& symbol = memory.symbols[held[i]];
        out << "| " << markdown_cell(symbol.display) << " | " << symbol_kind_keyword(symbol.kind)
            << " | " << markdown_cell(memory.fates[symbol.section].name.str()) << " | "
            << symbol.bytes << " | " << percent_text(memory.share_of_range(symbol)) << " |\n";
      }
      out << '\n';
    }
    out << row.id << ": " << plural_text(held.size(), "symbol", "symbols") << ", "
        << plural_text(row.usage->attributed_bytes, "byte", "bytes") << " attributed, "
        << plural_text(row.usage->unattributed_bytes(), "byte", "bytes") << " unattributed.\n\n";
  }
}
}  // namespace

void write_markdown_report(std::ostream& out, const analysis_result& result,
                           const report_context& context) {
  const memory_analysis& memory = result.memory;
  const std::string short_hash =
      context.map.sha256.empty() ? "unknown" : context.map.sha256.substr(0, 12);
  out << "# Memory usage of " << markdown_cell(context.map.path) << " (sha256 " << short_hash
      << ")\n\n";

  out << "## Ranges\n\n";
  const std::vector<range_row> rows = range_rows(memory);
  if (rows.empty()) {
    out << "No range.\n\n";
  } else {
    out << "| Range | Label | Start | Size | Used | Free | Used % |\n";
    out << "|---|---|---:|---:|---:|---:|---:|\n";
    for (const range_row& row : rows) {
      const range_usage& usage = *row.usage;
      out << "| " << row.id << " | " << (usage.label ? markdown_cell(*usage.label) : "") << " | "
          << hex_address(usage.range.start) << " | " << usage.range.size << " | "
          << usage.used_rounded() << " | " << usage.free() << " | "
          << percent_text(usage.used_pct()) << " |\n";
    }
    out << '\n';
  }

  if (memory.image.given) {
    write_markdown_symbols(out, memory, rows);
  }

  out << "## Totals\n\n";
  out << "| Area | Total | Used | Free | Used % | Sections |\n";
  out << "|---|---:|---:|---:|---:|---:|\n";
  out << "| Program | " << memory.program_total << " | " << memory.program_used << " | "
      << static_cast<std::int64_t>(memory.program_total) -
             static_cast<std::int64_t>(memory.program_used)
      << " | " << percent_text(memory.program_used_pct()) << " | " << memory.program_sections.size()
      << " |\n";
  out << "| Memory | " << memory.memory_total << " | " << amount_text(memory.memory_used()) << " | "
      << amount_text(static_cast<double>(memory.memory_total) - memory.memory_used()) << " | "
      << percent_text(memory.memory_used_pct()) << " | " << memory.memory_sections.size()
      << " |\n\n";

  out << "## SEARCH breakdown\n\n";
  const search_breakdown& breakdown = memory.breakdown;
  if (breakdown.entries.empty()) {
    out << "No SEARCH entry.\n\n";
  } else {
    const double program = static_cast<double>(memory.program_used);
    out << "| # | Search | Bytes | % of program | Sections |\n";
    out << "|---:|---|---:|---:|---:|\n";
    for (std::size_t i = 0; i < breakdown.entries.size(); ++i) {
      const search_breakdown::entry& entry = breakdown.entries[i];
      out << "| " << i << " | " << markdown_cell(entry.text) << " | " << entry.bytes << " | "
          << percent_text(quotient(static_cast<double>(entry.bytes), program)) << " | "
          << entry.sections.size() << " |\n";
    }
    out << "|  | Accounted for in search | " << breakdown.accounted_exact << " | "
        << percent_text(quotient(static_cast<double>(breakdown.accounted_exact), program))
        << " |  |\n\n";
    if (!breakdown.ambiguous.empty()) {
      out << "Ambiguous matches: " << breakdown.ambiguous.size() << ", "
          << plural_text(breakdown.ambiguous_bytes_exact, "byte", "bytes")
          << " counted once only.\n\n";
    }
  }

  out << "## Dropped sections\n\n";
  if (memory.dropped().sections == 0) {
    out << "No section was dropped.\n";
    return;
  }
  out << "| Reason | Sections | Bytes |\n";
  out << "|---|---:|---:|\n";
  for (std::size_t i = 0; i < k_fate_count; ++i) {
    const auto fate = static_cast<section_fate>(i);
    const fate_sum& sum = memory.by_fate[i];
    if (!is_counted(fate) && sum.sections > 0) {
      out << "| " << fate_keyword(fate) << " | " << sum.sections << " | " << sum.bytes << " |\n";
    }
  }
}
