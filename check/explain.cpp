#include "check/explain.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "check/summary.h"

namespace {
std::string hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

const char* unit_of(const section_fate_record& record) {
  return record.size_unit == 1 ? "bits" : "bytes";
}

std::string sums_text(const fate_sum& sum) {
  return std::to_string(sum.sections) + (sum.sections == 1 ? " section, " : " sections, ") +
         std::to_string(sum.bytes) + " bytes";
}

std::string search_text(const memory_analysis& memory, std::int32_t group) {
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

nlohmann::ordered_json sum_json(const fate_sum& sum) {
  nlohmann::ordered_json object;
  object["sections"] = sum.sections;
  object["bytes"] = sum.bytes;
  return object;
}

nlohmann::ordered_json section_json(const section_fate_record& record) {
  nlohmann::ordered_json object;
  object["name"] = utf8_name(record.name);
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

void write_csv_row(std::ostream& out, const section_fate_record& record) {
  const bool counted = is_counted(record.fate);
  out << csv_field(record.name) << ',' << hex32(record.start) << ',' << record.size << ','
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
  return check_range_id(record.fate == section_fate::counted_program,
                        static_cast<std::size_t>(record.range_index));
}

bool shown(const section_fate_record& record, const explain_filter& filter) {
  if (filter.counted && *filter.counted != is_counted(record.fate)) {
    return false;
  }
  if (filter.reason && *filter.reason != record.fate) {
    return false;
  }
  if (filter.section && record.name.find(*filter.section) == std::string::npos) {
    return false;
  }
  return !filter.range || *filter.range == range_id_of(record);
}

std::string explain_line(const memory_analysis& memory, const section_fate_record& record) {
  std::string line = record.name + "  start " + hex32(record.start) + "  size " +
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
              search_text(memory, record.group) + ")";
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
    line += "; shown: " + std::to_string(shown_count) + " of " + std::to_string(all.sections) +
            (all.sections == 1 ? " section" : " sections");
  }
  return line;
}

std::string utf8_name(const std::string& name) {
  std::string text;
  text.reserve(name.size());
  const auto latin1 = [&text](unsigned char byte) {
    text.push_back(static_cast<char>(0xC0U | (byte >> 6U)));
    text.push_back(static_cast<char>(0x80U | (byte & 0x3FU)));
  };
  std::size_t i = 0;
  while (i < name.size()) {
    const auto lead = static_cast<unsigned char>(name[i]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80U) {
      text.push_back(name[i]);
      ++i;
      continue;
    }
    if (lead >= 0xC2U && lead <= 0xDFU) {
      length = 2;
      code = lead & 0x1FU;
    } else if (lead >= 0xE0U && lead <= 0xEFU) {
      length = 3;
      code = lead & 0x0FU;
    } else if (lead >= 0xF0U && lead <= 0xF4U) {
      length = 4;
      code = lead & 0x07U;
    }
    bool valid = length > 0 && i + length <= name.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(name[i + k]);
      valid = (next & 0xC0U) == 0x80U;
      code = (code << 6U) | (next & 0x3FU);
    }
    // Overlong forms, UTF-16 surrogates and code points beyond U+10FFFF are no UTF-8.
    valid = valid && !(length == 3 && code < 0x800U) && !(length == 4 && code < 0x10000U) &&
            !(code >= 0xD800U && code <= 0xDFFFU) && code <= 0x10FFFFU;
    if (valid) {
      text.append(name, i, length);
      i += length;
    } else {
      latin1(lead);
      ++i;
    }
  }
  return text;
}

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') {
      quoted += '"';
    }
    quoted += c;
  }
  return quoted + '"';
}

void write_explanation(std::ostream& out, const memory_analysis& memory,
                       const explain_filter& filter, explain_format format) {
  std::size_t count = 0;
  switch (format) {
    case explain_format::text:
      for (const section_fate_record& record : memory.fates) {
        if (shown(record, filter)) {
          out << explain_line(memory, record) << '\n';
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
