#include "check/explain.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "check/summary.h"
#include "compare/compare_text.h"
#include "formats/format_text.h"

namespace {
const char* unit_of(const section_fate_record& record) {
  return record.size_unit == 1 ? "bits" : "bytes";
}

std::string sums_text(const fate_sum& sum) {
  return plural_text(sum.sections, "section", "sections") + ", " +
         plural_text(sum.bytes, "byte", "bytes");
}

nlohmann::ordered_json sum_json(const fate_sum& sum) {
  nlohmann::ordered_json object;
  object["sections"] = sum.sections;
  object["bytes"] = sum.bytes;
  return object;
}

nlohmann::ordered_json section_json(const section_fate_record& record) {
  nlohmann::ordered_json object;
  object["name"] = utf8_with_latin1_fallback(record.name);
  object["start"] = record.start;
  object["size"] = record.size;
  object["unit"] = unit_of(record);
  object["line"] =
      record.map_line == 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(record.map_line);
  const bool counted = is_counted(record.fate);
  object["fate"] = counted ? "counted" : "dropped";
  const std::string range = range_id_of(record);
  object["range"] = range.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(range);
  object["group"] =
      record.group < 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(record.group);
  object["reason"] =
      counted ? nlohmann::ordered_json() : nlohmann::ordered_json(fate_keyword(record.fate));
  return object;
}

// The symbols of a counted section, bytes right-aligned under each other, names as
// `vemora-check symbols` gives them.
void write_section_symbols(std::ostream& out, const memory_analysis& memory,
                           const section_fate_record& record) {
  std::size_t width = 0;
  const std::size_t end = std::min<std::size_t>(
      memory.symbols.size(), std::size_t{record.first_symbol} + record.symbol_count);
  const std::size_t begin = record.symbol_count == 0 ? end : record.first_symbol;
  for (std::size_t i = begin; i < end; ++i) {
    width = std::max(width, std::to_string(memory.symbols[i].bytes).size());
  }
  for (std::size_t i = begin; i < end; ++i) {
    const symbol_record& symbol = memory.symbols[i];
    const std::string bytes = std::to_string(symbol.bytes);
    out << "    " << std::string(width - bytes.size(), ' ') << bytes << "  "
        << compare_text::terminal_text(symbol.name);
    if (symbol.display != symbol.name) {
      out << " (" << compare_text::terminal_text(symbol.display) << ')';
    }
    out << '\n';
  }
  out << "    unattributed " << record.unattributed() << ' ' << unit_of(record) << '\n';
}

void write_csv_row(std::ostream& out, const section_fate_record& record) {
  const bool counted = is_counted(record.fate);
  out << csv_field(record.name) << ',' << hex_address(record.start) << ',' << record.size << ','
      << unit_of(record) << ',';
  if (record.map_line != 0) {
    out << record.map_line;
  }
  out << ',' << (counted ? "counted" : "dropped") << ',' << range_id_of(record) << ',';
  if (record.group >= 0) {
    out << record.group;
  }
  out << ',';
  if (!counted) {
    out << fate_keyword(record.fate);
  }
  out << "\r\n";
}
}  // namespace

std::string search_entry_text(const memory_analysis& memory, std::int32_t group) {
  const auto& entries = memory.breakdown.entries;
  if (group < 0 || static_cast<std::size_t>(group) >= entries.size()) {
    return std::string();
  }
  std::string text = entries[static_cast<std::size_t>(group)].text;
  while (!text.empty() && text.back() == ' ') {
    text.pop_back();
  }
  return text;
}

std::optional<section_fate> reason_of_keyword(const std::string& keyword) {
  for (std::size_t i = 0; i < k_fate_count; ++i) {
    const auto fate = static_cast<section_fate>(i);
    if (!is_counted(fate) && fate_keyword(fate) == keyword) {
      return fate;
    }
  }
  return std::nullopt;
}

std::vector<std::string> reason_keywords() {
  std::vector<std::string> keywords;
  for (std::size_t i = 0; i < k_fate_count; ++i) {
    const auto fate = static_cast<section_fate>(i);
    if (!is_counted(fate)) {
      keywords.emplace_back(fate_keyword(fate));
    }
  }
  return keywords;
}

std::string range_id_of(const section_fate_record& record) {
  if (!is_counted(record.fate) || record.range_index < 0) {
    return std::string();
  }
  return range_id(record.fate == section_fate::counted_program,
                  static_cast<std::size_t>(record.range_index));
}

bool shown(const section_fate_record& record, const explain_filter& filter) {
  if (filter.counted && *filter.counted != is_counted(record.fate)) {
    return false;
  }
  if (filter.reason && *filter.reason != record.fate) {
    return false;
  }
  if (filter.section && record.name.str().find(*filter.section) == std::string::npos) {
    return false;
  }
  return !filter.range || *filter.range == range_id_of(record);
}

std::string explain_line(const memory_analysis& memory, const section_fate_record& record) {
  std::string line = record.name.str() + "  start " + hex_address(record.start) + "  size " +
                     std::to_string(record.size) + ' ' + unit_of(record) + "  line " +
                     (record.map_line == 0 ? std::string("-") : std::to_string(record.map_line)) +
                     "  ";
  if (!is_counted(record.fate)) {
    return line + "dropped: " + std::string(fate_keyword(record.fate));
  }
  line += "counted in " + range_id_of(record);
  if (record.fate == section_fate::counted_program) {
    if (record.group >= 0) {
      line += ", SEARCH " + std::to_string(record.group) + " (" +
              search_entry_text(memory, record.group) + ")";
    } else {
      line += ", in no SEARCH entry";
    }
  }
  return line;
}

std::string sum_rule_line(const memory_analysis& memory, std::size_t shown_count) {
  const fate_sum all = memory.recognised();
  std::string line = "recognised " + sums_text(all) + " = counted " + sums_text(memory.counted()) +
                     " + dropped " + sums_text(memory.dropped());
  if (shown_count != all.sections) {
    line += "; shown: " + std::to_string(shown_count) + " of " +
            plural_text(all.sections, "section", "sections");
  }
  return line;
}

void write_explanation(std::ostream& out, const memory_analysis& memory,
                       const explain_filter& filter, explain_format format, bool symbols) {
  std::size_t count = 0;
  switch (format) {
    case explain_format::text:
      for (const section_fate_record& record : memory.fates) {
        if (shown(record, filter)) {
          out << explain_line(memory, record) << '\n';
          if (symbols && is_counted(record.fate)) {
            write_section_symbols(out, memory, record);
          }
          ++count;
        }
      }
      out << sum_rule_line(memory, count) << '\n';
      return;
    case explain_format::csv:
      out << "name,start,size,unit,line,fate,range,group,reason\r\n";
      for (const section_fate_record& record : memory.fates) {
        if (shown(record, filter)) {
          write_csv_row(out, record);
        }
      }
      return;
    case explain_format::json:
      // One section object at a time: the whole list is never held as JSON.
      out << "{\n  \"sections\": [";
      for (const section_fate_record& record : memory.fates) {
        if (shown(record, filter)) {
          out << (count == 0 ? "\n    " : ",\n    ") << section_json(record).dump();
          ++count;
        }
      }
      out << (count == 0 ? "],\n" : "\n  ],\n");
      out << "  \"shown\": " << count << ",\n";
      out << "  \"recognised\": " << sum_json(memory.recognised()).dump() << ",\n";
      out << "  \"counted\": " << sum_json(memory.counted()).dump() << ",\n";
      out << "  \"dropped\": " << sum_json(memory.dropped()).dump() << "\n}\n";
      return;
  }
}
