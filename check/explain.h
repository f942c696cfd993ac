// What `vemora-check explain` prints: every recognised section with its place
// in the map and where it was counted or why it was dropped, then the sum
// rule (recognised = counted + dropped) over the whole analysis. Filters pick
// the sections shown; the closing sums stay those of the whole map, so a
// filtered view never passes for the full picture.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/analysis.h"

enum class explain_format { text, json, csv };

/// Which sections are shown; every filter given must hold.
struct explain_filter {
  std::optional<bool> counted;         ///< true: counted only; false: dropped only
  std::optional<section_fate> reason;  ///< a dropped section's reason
  std::optional<std::string> section;  ///< text the name holds
  std::optional<std::string> range;    ///< id of the range that counted it
};

/// The text of a SEARCH entry without its trailing blanks; empty for no entry.
std::string search_entry_text(const memory_analysis& memory, std::int32_t group);

/// The reason of that keyword ("debug_name" ...), or none; "program" and
/// "memory" are fates, not reasons.
std::optional<section_fate> reason_of_keyword(const std::string& keyword);

/// Every reason keyword, in the order of the fates.
std::vector<std::string> reason_keywords();

/// The id of the range that counted the section, or empty.
std::string range_id_of(const section_fate_record& record);

bool shown(const section_fate_record& record, const explain_filter& filter);

/// One line of the text form, without its line end.
std::string explain_line(const memory_analysis& memory, const section_fate_record& record);

/// The closing line of the text form, without its line end.
std::string sum_rule_line(const memory_analysis& memory, std::size_t shown_count);

/// With symbols (text form only), each counted section's line is followed by its symbols in
/// address order (bytes, name) and a line with its unattributed bytes.
void write_explanation(std::ostream& out, const memory_analysis& memory,
                       const explain_filter& filter, explain_format format, bool symbols = false);
