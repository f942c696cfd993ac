// The analysis as machine-readable reports: JSON (with its JSON Schema), CSV
// of the sections and of the ranges, and Markdown for a pipeline's summary.
// Each writer prints the one analysis it is given and computes no figure of
// its own; the JSON is written as it goes, one section at a time.
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

/// One finding about the definition file, as a report lists it.
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
  std::vector<report_diagnostic> diagnostics;
};

/// The JSON report (schema "vemora-report", version k_report_schema_version).
/// The analysis must have been made with collect_fates.
void write_json_report(std::ostream& out, const analysis_result& result,
                       const report_context& context);

/// The JSON Schema of that report, as the repository keeps it.
std::string_view report_schema();

constexpr const char* k_report_schema_version = "1.0.0";

/// One row per section: name,start,size,unit,line,fate,range,group,reason.
void write_sections_csv(std::ostream& out, const analysis_result& result);

/// One row per range: id,kind,label,start,size,used,free,used_pct,sections.
void write_ranges_csv(std::ostream& out, const analysis_result& result);

/// The Markdown summary: the map and its short sha256, the ranges, the area
/// totals, the SEARCH breakdown and the dropped bytes by reason.
void write_markdown_report(std::ostream& out, const analysis_result& result,
                           const report_context& context);

/// The id of a range in every format: "program0", "memory1" ...
std::string range_id(bool program, std::size_t index);
