// The analysis as machine-readable reports: JSON (with its JSON Schema), CSV
// of the sections and of the ranges, and Markdown for a pipeline's summary.
// Each writer prints the one analysis it is given and computes no figure of
// its own; the JSON is written as it goes, one section at a time, so that a
// listing of a million sections never sits in memory as a document.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis.h"

/// One input file of a report as the caller found it.
struct report_input {
  std::string path;  ///< as given on the command line
  std::uint64_t bytes = 0;
  std::string sha256;  ///< 64 lower-case hexadecimal digits
};

/// One finding about the definition file or the map, as a report lists it.
struct report_diagnostic {
  std::string code;      ///< "VL001" ...
  std::string severity;  ///< "error", "warning" or "note"
  std::string file;
  std::size_t line = 0;    ///< 1-based; 0 for the whole file
  std::size_t column = 0;  ///< 1-based; 0 for the whole file
  std::string message;
};

/// What a report says besides the analysis.
struct report_context {
  std::string tool_name = "vemora-check";
  std::string tool_version;  ///< "2.9.0" ...
  std::string keyword;
  report_input memory_definition;
  report_input map;
  std::optional<report_input> eeprom_source;
  /// The linked ELF image read beside a listing (with "Elf" the map is the image).
  std::optional<report_input> image;
  std::vector<report_diagnostic> diagnostics;
  /// The JSON of the change since a baseline, written last as "diff"; none when empty.
  std::string diff_json;
};

/// The JSON report (schema "vemora-report", version k_report_schema_version;
/// formats/vemora-report.schema.json describes every key). The analysis must
/// have been made with collect_fates, or "sections" and "dropped" are empty.
/// Layout: one top-level key a line, one range, group, ambiguous match,
/// section and diagnostic a line. Figures are exact (no 32-bit wrap); a
/// quotient whose divisor is 0 is null, as is any NaN or infinity. Strings
/// are valid UTF-8: a byte that is not valid UTF-8 is written as \u00XX, its
/// Latin-1 reading. "eeprom" is null when no EEPROM source was read or its
/// scan failed. "symbols" follows "sections", one symbol a line ([] when the
/// run read no image), then "image" (null without one); the "attributed" and
/// "unattributed" bytes of every counted section, range, group and area total
/// are null without an image.
/// A run that failed still gives a valid report, never one that passes for a
/// clean run: every failure message follows the context's diagnostics as a
/// diagnostic of severity "error" with an empty code, file and position 0,
/// and a failed memory side lists no range, group or section, with totals 0
/// and their percentages null. vemora-check exits 3 on such a run and need
/// not write it at all. Write failures show in the state of out.
void write_json_report(std::ostream& out, const analysis_result& result,
                       const report_context& context);

/// The findings alone, as the document {"diagnostics": [...]}: the array has
/// the keys and the layout of the report's, one diagnostic a line.
void write_json_diagnostics(std::ostream& out, const std::vector<report_diagnostic>& diagnostics);

/// The JSON Schema of that report, as the repository keeps it.
std::string_view report_schema();

constexpr const char* k_report_schema_version = "1.3.0";

/// CSV as RFC 4180 has it: CR LF after every row, the header row first (frozen
/// for a schema major version), numbers unquoted, a field quoted (its quotes
/// doubled) only when it holds a comma, quote, CR or LF, no value as an empty
/// field, addresses as "0x" and eight upper-case hexadecimal digits, sizes in
/// decimal, percentages as the JSON writes them; text is valid UTF-8 (bytes
/// that are not become their Latin-1 character).
/// One row per section, in map order:
/// name,start,size,unit,line,fate,range,group,reason,load_address (columns
/// added later stand last).
void write_sections_csv(std::ostream& out, const analysis_result& result);

/// One row per range:
/// id,kind,label,start,size,used,free,used_pct,sections,load_copy_bytes,footprint.
void write_ranges_csv(std::ostream& out, const analysis_result& result);

/// The Markdown summary: a first line with the map's path and the first 12
/// digits of its sha256, then tables of the ranges, the area totals, the
/// SEARCH breakdown (with the ambiguous matches) and the dropped bytes by
/// reason. Percentages have two decimals ("n/a" without a divisor), memory
/// amounts as many decimals as their eighths of a byte need; "|" in a cell is
/// written "\|" and line breaks as blanks.
void write_markdown_report(std::ostream& out, const analysis_result& result,
                           const report_context& context);

/// The id of a range in every format: "program0", "memory1" ...
std::string range_id(bool program, std::size_t index);
