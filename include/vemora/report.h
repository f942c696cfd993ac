// The faces of an analysis: the console report as the vemora program prints
// it, the JSON report (schema "vemora-report"), the CSV tables of the
// sections and of the ranges, and the Markdown summary. Each writer prints
// the one analysis it is given and computes no figure of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "vemora/analysis.h"

namespace vemora {

/// The console report options.
struct console_options {
  /// When SEARCH entries matched a name more than once, the vemora program
  /// writes the result file "Vemora.amb" beside the map. A library caller
  /// gets that file only when it asks and the map is a file; the report's
  /// warning names the file either way.
  bool write_result_file = false;
  /// Whether the EEP size report follows the memory report when the
  /// analysis has an EEPROM side.
  bool eep_report = true;
};

/// Prints the memory report and the EEP size report byte for byte as the
/// vemora program prints them after its banner, failure messages included.
/// True when the program would succeed.
bool write_console(std::ostream& out, const analysis& result, const console_options& options = {});

/// One input as a report names it.
struct input_identity {
  std::string path;
  std::uint64_t bytes = 0;
  std::string sha256;  ///< 64 lower-case hexadecimal digits
};

/// What the JSON and Markdown reports say besides the analysis. An identity
/// left out is made from the input when the report is written: its name, its
/// size and its SHA-256, read from the file again or from the text (a text
/// given by input::view() must then still be valid). An input that cannot be
/// read then (the analysis failed on it) gets 0 bytes and the digest of none.
struct report_details {
  std::string tool_name = "vemora-library";
  std::string tool_version = std::string(version());
  std::optional<input_identity> definition;
  std::optional<input_identity> map;
  std::optional<input_identity> eeprom_source;
  /// The image beside a listing (request::elf); with map_format::elf the map
  /// is the image and map names it.
  std::optional<input_identity> image;
};

/// The JSON report; formats/vemora-report.schema.json of the sources
/// describes every key. Figures are exact; its diagnostics are the findings
/// of lint() on the same inputs (those about the map only when the request
/// kept the sections), read again from a definition file as its identity is.
/// A failed run still gives a valid report whose diagnostics end with the
/// failure messages.
void write_json(std::ostream& out, const analysis& result, const report_details& details = {});

/// CSV (RFC 4180, CR LF): one row per section in map order, header
/// name,start,size,unit,line,fate,range,group,reason.
void write_sections_csv(std::ostream& out, const analysis& result);

/// CSV: one row per range, header id,kind,label,start,size,used,free,used_pct,sections.
void write_ranges_csv(std::ostream& out, const analysis& result);

/// The Markdown summary: the ranges, the area totals, the SEARCH breakdown
/// and the dropped bytes by reason.
void write_markdown(std::ostream& out, const analysis& result, const report_details& details = {});

}  // namespace vemora
